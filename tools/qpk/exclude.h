// The --exclude patterns of a create: shell-style wildcards matched the same
// way on every platform. "*" matches any run of characters and "?" one,
// "[...]" one of a set ("a-z" ranges, "!" or "^" first negates, "]" first is
// itself, a "[" with no closing "]" is itself); none of them matches a folder
// separator. "/" and "\" both separate folders in a pattern, and there is no
// escape character: "[*]" matches a "*". Letters compare with their case, so
// of two names that differ only in case one can be left out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether the pattern matches the whole text, separators matching separators.
bool pattern_matches(std::string_view pattern, std::string_view text);

// Whether a file or folder found under this stored name ("\"-separated) is
// left out. A pattern without a separator is matched against the last
// component, one with a separator against the whole name; a pattern ending in
// a separator matches folders only. The walk asks for every folder before
// entering it, so a folder left out takes everything under it along.
bool name_excluded(const std::vector<std::string>& patterns, std::string_view name, bool folder);

// A pattern that matches exactly this name and nothing else, with "/" between
// its folders: what to pass to --exclude to leave that one file out.
std::string literal_pattern(std::string_view name);
