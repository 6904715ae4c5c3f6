// The entry attribute bits: the file attributes they give, the bits a stored
// file's attributes give back, and the letters a listing shows.
#include "archive/attributes.h"
#include "archive/layout.h"
#include "foundation/backend.h"
#include "gtest/gtest.h"

namespace {

TEST(ArchiveAttributes, EntryAttributesBecomeFileAttributes) {
  struct {
    uint32_t entry;
    uint32_t system;
  } cases[] = {
      {0, 0},
      {ENTRY_ATTR_READONLY, OS_ATTR_READONLY},
      {ENTRY_ATTR_ARCHIVE, OS_ATTR_ARCHIVE},
      {ENTRY_ATTR_HIDDEN, OS_ATTR_HIDDEN},
      {ENTRY_ATTR_SYSTEM, OS_ATTR_SYSTEM},
      {0x1E, OS_ATTR_READONLY | OS_ATTR_ARCHIVE | OS_ATTR_HIDDEN | OS_ATTR_SYSTEM},
      {0x01 | 0x20 | 0x40 | 0x80000000, 0},
#ifdef _WIN32
      {ENTRY_ATTR_EXECUTE, 0},
#else
      {ENTRY_ATTR_EXECUTE | ENTRY_ATTR_READONLY, OS_ATTR_EXECUTE | OS_ATTR_READONLY},
#endif
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.entry);
    EXPECT_EQ(test.system, entry_attributes_to_system(test.entry));
  }
}

TEST(ArchiveAttributes, AStoredFileKeepsTheBitsThisSystemHas) {
  const uint32_t everything = 0xFFFFFFFF;
#ifdef _WIN32
  const uint32_t kept = ENTRY_ATTR_READONLY | ENTRY_ATTR_ARCHIVE | ENTRY_ATTR_HIDDEN | ENTRY_ATTR_SYSTEM;
#else
  const uint32_t kept = ENTRY_ATTR_READONLY | ENTRY_ATTR_ARCHIVE | ENTRY_ATTR_HIDDEN | ENTRY_ATTR_SYSTEM |
                        ENTRY_ATTR_EXECUTE | ENTRY_ATTR_PRIVATE;
#endif
  EXPECT_EQ(kept, entry_attributes_from_system(entry_attributes_to_system(everything)))
      << "what extraction gives a file must be stored again as the same bits";
  EXPECT_EQ(0u, entry_attributes_from_system(OS_ATTR_DIRECTORY | OS_ATTR_NORMAL | OS_ATTR_LINK))
      << "attributes with no entry bit store none";
}

TEST(ArchiveAttributes, AListingShowsOneLetterPerBit) {
  struct {
    uint32_t entry;
    const char* shown;
  } cases[] = {
      {0, "-----"},
      {ENTRY_ATTR_READONLY | ENTRY_ATTR_EXECUTE, "R---X"},
      {ENTRY_ATTR_ARCHIVE | ENTRY_ATTR_HIDDEN | ENTRY_ATTR_SYSTEM, "-AHS-"},
      {ENTRY_ATTR_PRIVATE | 0x80000000, "-----"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.entry);
    char shown[ENTRY_ATTR_LETTERS_SIZE];
    entry_attribute_letters(test.entry, shown);
    EXPECT_STREQ(test.shown, shown);
  }
}

}  // namespace
