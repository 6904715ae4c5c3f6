// The program's entry, for the platform's start-up code. Includes no status
// header, so that the Win32 start can include it beside <windows.h>.
#pragma once

// Puts the program's own path and the words of the command-line tail in the
// argument vector and runs; returns the process's exit status.
int program_entry(void* instance, char* command_tail);
// Start-up, the option parse, the one run the program's own file calls for
// and shut-down, over the argument vector (entry 0 the program's own path);
// returns the process's exit status.
int driver_run(int argc, char** argv);
