// Makes the benchmark's data sets from a seed, byte for byte the same on every
// machine: text that compresses like prose, incompressible bytes, and a tree
// of small text files in nested folders.
//   datagen text   FILE BYTES SEED
//   datagen random FILE BYTES SEED
//   datagen tree   DIR  COUNT SEED
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

// splitmix64: tiny, fast and fully specified, unlike the std distributions.
struct rng {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t bound) { return static_cast<uint32_t>((next() >> 32) * bound >> 32); }
};

constexpr int VOCABULARY_SIZE = 6000;
constexpr size_t LINE_WIDTH = 72;
constexpr size_t CHUNK_SIZE = 1 << 20;

// Pseudo-words drawn with Zipf-like frequencies: a few short words are very
// common and a long tail is rare, which is what gives prose its ratio.
// Each word also has a few usual followers, so that phrases recur as in real
// text and give the matcher something to find.
constexpr int FOLLOWERS = 4;
constexpr uint32_t FOLLOW_PERCENT = 65;
struct vocabulary {
  std::vector<std::string> words;
  std::vector<uint64_t> cumulative;  // running sum of the weights, scaled
  std::vector<std::array<uint32_t, FOLLOWERS>> followers;
};

uint32_t draw_word(const vocabulary& v, rng& random) {
  uint64_t point = random.next() >> 32;
  auto it = std::upper_bound(v.cumulative.begin(), v.cumulative.end(), point);
  return static_cast<uint32_t>(it - v.cumulative.begin());
}

vocabulary make_vocabulary(rng& random) {
  static constexpr std::array<std::string_view, 24> SYLLABLES = {
      "an", "er", "th", "in", "re", "on", "at", "en", "es", "or", "te", "is",
      "al", "ti", "st", "ar", "ne", "de", "ro", "le", "co", "ma", "si", "ve"};
  static constexpr std::string_view VOWELS = "aeiouy";
  vocabulary v;
  double total = 0;
  std::vector<double> weights;
  for (int rank = 0; rank < VOCABULARY_SIZE; ++rank) {
    // Common words are short; rare ones are longer.
    uint32_t syllables = 1 + random.below(rank < 100 ? 2 : 4);
    std::string word;
    for (uint32_t s = 0; s < syllables; ++s) {
      word += SYLLABLES[random.below(SYLLABLES.size())];
      if (random.below(3) == 0) word += VOWELS[random.below(VOWELS.size())];
    }
    v.words.push_back(word);
    double weight = 1.0 / std::pow(rank + 2.7, 1.15);
    weights.push_back(weight);
    total += weight;
  }
  double running = 0;
  for (double weight : weights) {
    running += weight;
    v.cumulative.push_back(static_cast<uint64_t>(running / total * 4294967296.0));
  }
  v.cumulative.back() = 4294967296ull;
  for (int rank = 0; rank < VOCABULARY_SIZE; ++rank) {
    std::array<uint32_t, FOLLOWERS> next{};
    for (uint32_t& word : next) word = draw_word(v, random);
    v.followers.push_back(next);
  }
  return v;
}

uint32_t pick_word(const vocabulary& v, rng& random, uint32_t previous) {
  if (random.below(100) < FOLLOW_PERCENT) return v.followers[previous][random.below(FOLLOWERS)];
  return draw_word(v, random);
}

// Appends sentences to out until it holds at least `bytes`, then cuts it there.
void append_text(const vocabulary& v, rng& random, size_t bytes, std::string& out) {
  size_t line_start = out.size();
  bool sentence_start = true;
  uint32_t previous = 0;
  while (out.size() < bytes) {
    previous = pick_word(v, random, previous);
    std::string word = v.words[previous];
    if (sentence_start) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    sentence_start = false;
    uint32_t mark = random.below(100);
    if (mark < 8) {
      word += '.';
      sentence_start = true;
    } else if (mark < 14) {
      word += ',';
    }
    if (out.size() - line_start + word.size() + 1 > LINE_WIDTH) {
      out += '\n';
      line_start = out.size();
    } else if (out.size() > line_start) {
      out += ' ';
    }
    out += word;
  }
  out.resize(bytes);
}

bool write_all(FILE* file, const void* data, size_t size) {
  return fwrite(data, 1, size, file) == size;
}

int make_text(const char* path, uint64_t bytes, uint64_t seed) {
  FILE* file = fopen(path, "wb");
  if (!file) return perror(path), 1;
  rng random{seed};
  vocabulary v = make_vocabulary(random);
  std::string chunk;
  for (uint64_t done = 0; done < bytes;) {
    size_t size = static_cast<size_t>(std::min<uint64_t>(CHUNK_SIZE, bytes - done));
    chunk.clear();
    append_text(v, random, size, chunk);
    if (!write_all(file, chunk.data(), chunk.size())) return perror(path), fclose(file), 1;
    done += size;
  }
  return fclose(file) == 0 ? 0 : (perror(path), 1);
}

int make_random(const char* path, uint64_t bytes, uint64_t seed) {
  FILE* file = fopen(path, "wb");
  if (!file) return perror(path), 1;
  rng random{seed};
  std::vector<uint64_t> chunk(CHUNK_SIZE / sizeof(uint64_t));
  for (uint64_t done = 0; done < bytes;) {
    size_t size = static_cast<size_t>(std::min<uint64_t>(CHUNK_SIZE, bytes - done));
    for (uint64_t& word : chunk) word = random.next();
    if (!write_all(file, chunk.data(), size)) return perror(path), fclose(file), 1;
    done += size;
  }
  return fclose(file) == 0 ? 0 : (perror(path), 1);
}

bool make_folder(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// COUNT files of 1 to 8 KiB spread over up to three folder levels:
// 16 top folders, 8 below each, 4 below those.
int make_tree(const char* root, uint64_t count, uint64_t seed) {
  rng random{seed};
  vocabulary v = make_vocabulary(random);
  if (!make_folder(root)) return perror(root), 1;
  std::string text;
  for (uint64_t i = 0; i < count; ++i) {
    std::string folder = std::string(root) + "/d" + std::to_string(random.below(16));
    uint32_t depth = random.below(3);
    if (!make_folder(folder)) return perror(folder.c_str()), 1;
    if (depth >= 1) {
      folder += "/s" + std::to_string(random.below(8));
      if (!make_folder(folder)) return perror(folder.c_str()), 1;
    }
    if (depth >= 2) {
      folder += "/t" + std::to_string(random.below(4));
      if (!make_folder(folder)) return perror(folder.c_str()), 1;
    }
    char name[32];
    snprintf(name, sizeof name, "/f%06llu.txt", static_cast<unsigned long long>(i));
    std::string path = folder + name;
    text.clear();
    append_text(v, random, 1024 + random.below(7 * 1024 + 1), text);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return perror(path.c_str()), 1;
    bool written = write_all(file, text.data(), text.size());
    if (fclose(file) != 0 || !written) return perror(path.c_str()), 1;
  }
  return 0;
}

bool parse_number(const char* text, uint64_t* out) {
  char* end = nullptr;
  errno = 0;
  unsigned long long value = strtoull(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0') return false;
  *out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t amount = 0;
  uint64_t seed = 0;
  if (argc != 5 || !parse_number(argv[3], &amount) || !parse_number(argv[4], &seed)) {
    fprintf(stderr, "usage: datagen text|random FILE BYTES SEED | datagen tree DIR COUNT SEED\n");
    return 2;
  }
  std::string_view kind = argv[1];
  if (kind == "text") return make_text(argv[2], amount, seed);
  if (kind == "random") return make_random(argv[2], amount, seed);
  if (kind == "tree") return make_tree(argv[2], amount, seed);
  fprintf(stderr, "datagen: unknown kind %s\n", argv[1]);
  return 2;
}
