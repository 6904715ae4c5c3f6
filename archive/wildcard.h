// The wildcard matcher for entry names: a pattern's directory part must begin
// the name's, and its file-name and extension parts are matched separately,
// "*" accepting the rest of a part and letters compared without case.
#pragma once

// 1 when the entry name matches the pattern ("*.*" matches every name), else 0.
int wildcard_match(const char* pattern, const char* name);
// 1 when one part of a name (a file name or an extension) matches the
// pattern's part, else 0.
int wildcard_match_part(const char* pattern, const char* text);
