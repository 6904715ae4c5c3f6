// Telling UTF-8 names from ANSI ones, and reading ANSI names as Windows-1252.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/backend.h"
#include "foundation/text_encoding.h"
#ifdef _WIN32
#include "foundation/win32/code_page.h"
#endif

namespace {

std::string cp1252_to_utf8(const std::string& text) {
  char out[3 * 256 + 1];
  EXPECT_TRUE(text_cp1252_to_utf8(text, out, sizeof out)) << "a short text must fit";
  return out;
}

}  // namespace

TEST(TextEncoding, Utf8IsTellingWellFormedTextApart) {
  const struct {
    std::string text;
    bool utf8;
    bool wide;
  } cases[] = {
      {"plain.txt", true, false},
      {"r\xC3\xA9sum\xC3\xA9.txt", true, true},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", true, true},
      {"\xF0\x9F\x98\x80", true, true},
      {"r\xE9sum\xE9.txt", false, false},       // Windows-1252
      {"\x95\x5C.txt", false, false},           // code page 932
      {"\xC0\xAF", false, false},               // an overlong "/"
      {"\xED\xA0\x80", false, false},           // a surrogate
      {"\xF4\x90\x80\x80", false, false},       // past U+10FFFF
      {"\xE6\x97", false, false},               // cut short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.utf8, text_is_utf8(c.text));
    EXPECT_EQ(c.wide, text_is_wide_utf8(c.text)) << "only UTF-8 that is not ASCII goes to the wide functions";
  }
}

TEST(TextEncoding, Windows1252BecomesUtf8) {
  EXPECT_EQ("caf\xC3\xA9\\r\xC3\xA9sum\xC3\xA9.txt", cp1252_to_utf8("caf\xE9\\r\xE9sum\xE9.txt"));
  EXPECT_EQ("\xE2\x82\xAC \xC5\xB8 \xC3\xBF", cp1252_to_utf8("\x80 \x9F \xFF"));
  // The bytes the code page leaves undefined keep their own code points.
  EXPECT_EQ("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", cp1252_to_utf8("\x81\x8D\x8F\x90\x9D"));
  for (int byte = 1; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    const std::string converted = cp1252_to_utf8(std::string(1, static_cast<char>(byte)));
    EXPECT_TRUE(text_is_utf8(converted)) << "every byte becomes a UTF-8 character";
#ifdef _WIN32
    // The platform's own conversion of the code page is the reference.
    os_set_ansi_code_page(1252);
    char reference[8];
    const char text[2] = {static_cast<char>(byte), 0};
    ASSERT_TRUE(os_ansi_to_utf8(text, reference, sizeof reference));
    EXPECT_EQ(std::string(reference), converted);
    os_set_ansi_code_page(0);
#endif
  }
}

TEST(TextEncoding, Windows1252ConversionStaysInItsBuffer) {
  // Three bytes out for each byte in: 2 of them and the zero need 7 bytes.
  char out[8];
  for (size_t size = 1; size <= 7; ++size) {
    SCOPED_TRACE(size);
    memset(out, 'x', sizeof out);
    EXPECT_EQ(size == 7, text_cp1252_to_utf8("\x80\x80", out, size));
    EXPECT_EQ('x', out[size]) << "nothing is written past the buffer";
    if (size < 7) {
      EXPECT_STREQ("", out) << "a result that does not fit leaves the buffer empty";
    }
  }
}
