// Which Win32 reparse points are links. Kept free of <windows.h> so that both
// builds test it: a cloud placeholder, a deduplicated or an offline file is a
// reparse point too, yet it stands for itself and must be written into as a
// plain folder or file; only a name surrogate (symbolic link, junction, mount
// point) leads elsewhere.
#pragma once

#include <cstdint>

constexpr uint32_t REPARSE_ATTRIBUTE = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
constexpr uint32_t REPARSE_TAG_NAME_SURROGATE = 0x20000000;

// attributes: what the system reports for the path; tag: its reparse tag, or
// null when it could not be read. An unread tag counts as a link (refusing is
// safe), and so does tag 0, which no reparse point has: Wine reports a Unix
// symbolic link as a reparse point with tag 0.
constexpr bool reparse_is_link(uint32_t attributes, const uint32_t* tag) {
  if (attributes == 0xFFFFFFFF || (attributes & REPARSE_ATTRIBUTE) == 0) return false;
  return tag == nullptr || *tag == 0 || (*tag & REPARSE_TAG_NAME_SURROGATE) != 0;
}
