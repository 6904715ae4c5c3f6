// Entry names as the archive stores them: relative, "\"-separated, at most
// 127 characters, and never able to leave the folder they are extracted to.
#pragma once

#include <string>
#include <string_view>

// Why the name cannot be stored, or nullptr when it can.
const char* entry_name_problem(std::string_view name);

// The stored name of a file given as base + relative components ("a/b.txt" or
// "a\b.txt" on Win32): separators become "\".
std::string entry_name_from_relative(std::string_view relative);
