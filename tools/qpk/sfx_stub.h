// The builder program that `qpk sfx` copies as the stub of a self-extractor:
// where each choice finds it, and the check that it is a builder (a program
// image with nothing attached), so that a self-extractor is never copied as
// a stub.
#pragma once

#include <string>

#include "tools/qpk/commands.h"

// The stub's path for the settings: --stub's file, the 32-bit Windows
// program of the install layout (<qpk's folder>/../share/qpk2exe/windows/),
// or the builder beside qpk. "" when qpk's own path cannot be told.
std::string sfx_stub_path(const sfx_settings& settings);
// Why the file cannot serve as a stub, or "" when it can.
std::string sfx_stub_problem(const std::string& path);
