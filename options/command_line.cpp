// Cuts a command-line tail into words in place. Only the space separates
// words; a word may be quoted, and the quotes that open and close it are not
// part of it. There is no escape character.
#include "options/options.h"

int split_command_line(char* text, int* count, char** words, int capacity) {
  *count = 0;
  if (text == nullptr) return 0;
  char* scan = text;
  for (;;) {
    while (*scan == ' ') ++scan;
    if (*scan == '\0') return 0;  // trailing spaces make no word
    if (*count >= capacity) return ERROR_TOO_MANY_WORDS;
    char* word;
    if (*scan == '"') {
      // Runs to the closing quote or the end; whatever follows the closing
      // quote starts the next word, even without a space.
      word = ++scan;
      while (*scan != '\0' && *scan != '"') ++scan;
    } else {
      // A quote inside an unquoted word is an ordinary character.
      word = scan;
      while (*scan != '\0' && *scan != ' ') ++scan;
    }
    if (*scan != '\0') *scan++ = '\0';
    words[(*count)++] = word;
  }
}
