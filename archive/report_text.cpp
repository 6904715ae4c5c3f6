// What the archive reports share: texts from the file shown so that none can
// steer the terminal, and the line of a walk that failed.
#include <cstdio>

#include "archive/archive_report.h"

void report_printable(const char* field, size_t size, char* out, size_t out_size) {
  size_t used = 0;
  for (size_t i = 0; i < size && field[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(field[i]);
    const bool control = c < 0x20 || c == 0x7F;
    if (used + (control ? 4 : 1) >= out_size) break;
    if (control)
      used += static_cast<size_t>(snprintf(out + used, out_size - used, "\\x%02X", c));
    else
      out[used++] = static_cast<char>(c);
  }
  if (out_size > 0) out[used] = '\0';
}

int report_damaged(const report_output& output, const char* problem) {
  output.write(output.context, REPORT_ERR, output.subject);
  output.write(output.context, REPORT_ERR, ": damaged: ");
  output.write(output.context, REPORT_ERR, problem != nullptr ? problem : "cannot read the archive");
  output.write(output.context, REPORT_ERR, "\n");
  return 1;
}
