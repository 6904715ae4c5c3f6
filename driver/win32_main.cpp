// The Win32 start: the GUI subsystem's entry hands the command-line tail to
// program_entry.
#include <windows.h>

#include <cstring>

#include "driver/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_tail, int) {
  // The tail is split in place and its words live for the whole run, so the
  // program keeps its own copy (a command line is at most 32767 characters).
  static char tail[32768];
  size_t length = strnlen(command_tail, sizeof tail - 1);
  memcpy(tail, command_tail, length);
  tail[length] = '\0';
  return program_entry(instance, tail);
}
