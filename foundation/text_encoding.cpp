// UTF-8 validity and the Windows-1252 to UTF-8 conversion.
#include "foundation/text_encoding.h"

#include <cstdint>
#include <cstring>

namespace {

// Windows-1252 bytes 0x80..0x9F; the rest of the code page is Latin-1, whose
// byte is its code point. Undefined bytes keep their own code point.
constexpr uint16_t CP1252_HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence at text[at], or 0.
size_t sequence_length(std::string_view text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || text.size() - at < length) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  // The second byte's range rules out overlong forms, surrogates and code
  // points past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (second < low || second > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!is_continuation(static_cast<unsigned char>(text[at + i]))) return 0;
  return length;
}

size_t put_utf8(uint32_t code, char* out) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (code >> 12));
  out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (code & 0x3F));
  return 3;
}

}  // namespace

bool text_is_ascii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

bool text_is_utf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    size_t length = sequence_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool text_is_wide_utf8(std::string_view text) { return !text_is_ascii(text) && text_is_utf8(text); }

bool text_cp1252_to_utf8(std::string_view text, char* out, size_t size) {
  if (size == 0) return false;
  size_t length = 0;
  for (unsigned char c : text) {
    const uint32_t code = c >= 0x80 && c < 0xA0 ? CP1252_HIGH_CONTROLS[c - 0x80] : c;
    char encoded[3];
    const size_t encoded_length = put_utf8(code, encoded);
    if (encoded_length >= size - length) {
      out[0] = '\0';
      return false;
    }
    memcpy(out + length, encoded, encoded_length);
    length += encoded_length;
  }
  out[length] = '\0';
  return true;
}
