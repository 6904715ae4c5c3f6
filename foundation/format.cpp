// The bounded formatter behind os_vformat on POSIX; it follows the rules of the
// Win32 formatted-printing function so that texts read the same everywhere.
#include "foundation/format.h"

#include <cstdint>

namespace {

// One conversion as parsed from the format.
struct conversion {
  bool left = false;
  bool hex_prefix = false;
  bool zero_pad = false;
  unsigned width = 0;
  unsigned precision = 0;
  char type = 0;
};

// The output with its bound: characters beyond the room are dropped.
struct sink {
  char* out;
  size_t room;  // characters that may still be written, the zero excluded
  size_t length = 0;

  void put(char c) {
    if (length < room) out[length++] = c;
  }
  void put_repeated(char c, unsigned count) {
    for (unsigned i = 0; i < count; ++i) put(c);
  }
  bool full() const { return length >= room; }
};

// A width or precision beyond the Win32 text limit is capped there, which
// also keeps the parsing from overflowing.
constexpr unsigned FIELD_LIMIT = 1024;

unsigned parse_number(const char*& p) {
  unsigned value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value < FIELD_LIMIT) value = value * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  return value < FIELD_LIMIT ? value : FIELD_LIMIT;
}

// Parses the part after "%"; p ends on the conversion letter.
conversion parse_conversion(const char*& p) {
  conversion c;
  if (*p == '-') c.left = true, ++p;
  if (*p == '#') c.hex_prefix = true, ++p;
  if (*p == '0') c.zero_pad = true, ++p;
  c.width = parse_number(p);
  if (*p == '.') {
    ++p;
    c.precision = parse_number(p);
  }
  // The size letters choose narrow or wide text; numbers are 32-bit anyway.
  if (*p == 'l' || *p == 'h') ++p;
  c.type = *p;
  if (c.left) c.zero_pad = false;
  return c;
}

// Writes digits of value in the base into text (at least 12 bytes), most
// significant first; returns their count.
unsigned to_digits(uint32_t value, unsigned base, bool upper, char* text) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[12];
  unsigned count = 0;
  do {
    reversed[count++] = digits[value % base];
    value /= base;
  } while (value != 0);
  for (unsigned i = 0; i < count; ++i) text[i] = reversed[count - 1 - i];
  return count;
}

void put_padded(sink& s, const conversion& c, unsigned body_width, const char* body, unsigned body_length) {
  unsigned pad = c.width > body_width ? c.width - body_width : 0;
  if (!c.left) s.put_repeated(' ', pad);
  for (unsigned i = 0; i < body_length; ++i) s.put(body[i]);
  if (c.left) s.put_repeated(' ', pad);
}

void put_string(sink& s, const conversion& c, const char* text) {
  if (text == nullptr) text = "(null)";
  unsigned length = 0;
  while (text[length] != 0 && (c.precision == 0 || length < c.precision)) ++length;
  put_padded(s, c, length, text, length);
}

// Numbers: the digits (with "-" for a negative signed value) are widened with
// zeros to the precision, or to the width with the "0" flag; the "#" prefix
// of hexadecimal numbers comes on top and does not count against the width.
void put_number(sink& s, conversion c, uint32_t raw) {
  char text[16];
  unsigned length = 0;
  bool negative = false;
  uint32_t magnitude = raw;
  if ((c.type == 'd' || c.type == 'i') && static_cast<int32_t>(raw) < 0) {
    negative = true;
    magnitude = 0u - raw;
  }
  if (negative) text[length++] = '-';
  bool hex = c.type == 'x' || c.type == 'X';
  length += to_digits(magnitude, hex ? 16 : 10, c.type == 'X', text + length);

  unsigned precision = c.precision > length ? c.precision : length;
  if (c.zero_pad && c.width > precision) precision = c.width;
  bool prefix = hex && c.hex_prefix;

  if (!c.left) s.put_repeated(' ', c.width > precision ? c.width - precision : 0);
  if (prefix) {
    s.put('0');
    s.put(c.type);
  }
  unsigned digits_from = 0;
  if (negative) {
    s.put('-');
    digits_from = 1;
  }
  s.put_repeated('0', precision - length);
  for (unsigned i = digits_from; i < length; ++i) s.put(text[i]);
  if (c.left) s.put_repeated(' ', c.width > precision ? c.width - precision : 0);
}

}  // namespace

int bounded_vformat(char* out, size_t size, const char* format, va_list args) {
  if (out == nullptr || size == 0) return 0;
  sink s{out, size - 1};
  const char* p = format != nullptr ? format : "";
  while (*p != 0 && !s.full()) {
    if (*p != '%') {
      s.put(*p++);
      continue;
    }
    ++p;
    if (*p == '%') {
      s.put(*p++);
      continue;
    }
    conversion c = parse_conversion(p);
    switch (c.type) {
      case 'c': {
        char one = static_cast<char>(va_arg(args, int));
        put_padded(s, c, 1, &one, 1);
        break;
      }
      case 's':
        put_string(s, c, va_arg(args, const char*));
        break;
      case 'd':
      case 'i':
        put_number(s, c, static_cast<uint32_t>(va_arg(args, int)));
        break;
      case 'u':
      case 'x':
      case 'X':
        put_number(s, c, va_arg(args, uint32_t));
        break;
      default:
        // An unknown conversion prints its width in spaces (unless aligned
        // left); its letter is then read again as ordinary text (a "%" starts
        // a new conversion, the end of the format prints nothing).
        if (!c.left) s.put_repeated(' ', c.width);
        continue;
    }
    ++p;
  }
  out[s.length] = 0;
  return static_cast<int>(s.length);
}
