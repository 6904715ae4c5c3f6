// Signed programs: a self-extractor's archive found before the certificate
// table a signer appends, and the image's end with and without that table.
#include <cstdint>
#include <string>

#include "archive/executable_image.h"
#include "archive/layout.h"
#include "archive/locate.h"
#include "archive_fixture.h"
#include "signed_image.h"

namespace {

constexpr size_t IMAGE_END = 0x400;

struct located {
  int status;
  archive_bounds bounds;
};
located locate(const scratch_dir& dir, const std::string& bytes) {
  write_file(dir.path("signed.exe"), bytes);
  located result{ERROR_FILE_OPEN, {}};
  file_handle file = NO_FILE;
  if (file_open(dir.path("signed.exe").c_str(), &file, FILE_MODE_READ) != 0) return result;
  result.status = archive_locate(file, &result.bounds);
  file_close(file);
  return result;
}

TEST(ArchiveSigned, TrailerIsFoundBeforeTheCertificateTableAndItsAlignment) {
  scratch_dir dir;
  const std::string archive = make_archive({stored("a.txt", "alpha")});
  const uint32_t start = IMAGE_END + 324, end = start + static_cast<uint32_t>(archive.size());
  for (bool wide : {false, true}) {
    const std::string unsigned_exe = make_self_extractor(crafted_pe(wide, IMAGE_END), archive);
    for (size_t padding = 0; padding <= CERTIFICATE_ALIGNMENT_LIMIT; ++padding) {
      SCOPED_TRACE(::testing::Message() << (wide ? "PE32+" : "PE32") << ", padding " << padding);
      located found = locate(dir, append_certificate(unsigned_exe, wide, padding));
      ASSERT_EQ(0, found.status);
      EXPECT_EQ(start, found.bounds.start);
      EXPECT_EQ(end, found.bounds.end) << "the entries end where the trailer starts";
    }
  }
}

TEST(ArchiveSigned, HostileOrMisplacedTablesNeverYieldAWrongArchive) {
  scratch_dir dir;
  const std::string archive = make_archive({stored("a.txt", "alpha")});
  const std::string image = crafted_pe(false, IMAGE_END);
  const std::string exe = make_self_extractor(image, archive);
  const uint32_t start = IMAGE_END + 324, end = start + static_cast<uint32_t>(archive.size());
  std::string nonzero_padding = append_certificate(exe, false, 3);
  nonzero_padding[exe.size() + 2] = 1;
  std::string wrong_pointer = exe;
  store_le(wrong_pointer, exe.size() - 4, start - 4, 4);
  std::string pointer_past_trailer = exe;
  store_le(pointer_past_trailer, exe.size() - 4, end, 4);
  const std::string signed_exe = append_certificate(exe, false, 0);
  const uint32_t table = static_cast<uint32_t>(exe.size());
  const uint32_t length = static_cast<uint32_t>(signed_exe.size()), huge = 0xFFFFFF00u, wrapping = length + 0x100u;
  const uint32_t too_early = 2, rest = length - too_early;
  const uint32_t short_size = 63;
  struct {
    const char* what;
    std::string bytes;
    int expected;
  } cases[] = {
      {"a nonzero byte among the alignment", nonzero_padding, ERROR_FILE_END},
      {"more zero bytes than a signer aligns with", append_certificate(exe, false, 8), ERROR_ARCHIVE_SIGNATURE},
      {"a trailer pointing before the archive", append_certificate(wrong_pointer, false, 1), ERROR_ARCHIVE_SIGNATURE},
      {"a trailer pointing past itself", append_certificate(pointer_past_trailer, false, 0), ERROR_FILE_END},
      {"a signed program with no archive", append_certificate(image, false, 0), ERROR_ARCHIVE_SIGNATURE},
      {"a table offset that wraps around", append_certificate(exe, false, 0, 64, &huge, &wrapping),
       ERROR_ARCHIVE_SIGNATURE},
      {"a table starting before a trailer fits", append_certificate(exe, false, 0, 64, &too_early, &rest),
       ERROR_ARCHIVE_SIGNATURE},
      {"a table ending before the file does", append_certificate(exe, false, 0, 64, &table, &short_size),
       ERROR_ARCHIVE_SIGNATURE},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    EXPECT_EQ(test.expected, locate(dir, test.bytes).status);
  }
  // Data appended after a table that a builder kept: the table no longer
  // ends the file, and the file's last bytes are the trailer again.
  located appended = locate(dir, make_self_extractor(append_certificate(image, false, 0), archive));
  ASSERT_EQ(0, appended.status);
  EXPECT_EQ(signed_exe.size() - exe.size() + start, appended.bounds.start);
}

TEST(ArchiveSigned, ImageEndCountsAnAdjacentTableOnly) {
  scratch_dir dir;
  const size_t image_end = 0x3FD;  // three zero bytes align a table after it
  const std::string image = crafted_pe(true, image_end);
  std::string damaged = make_self_extractor(image, make_archive({}));
  store_le(damaged, damaged.size() - 4, 12345, 4);
  struct {
    const char* what;
    std::string bytes;
    size_t end;  // with the table counted; the unsigned end is always image_end
  } cases[] = {
      {"an unsigned program", image, image_end},
      {"a signed program", append_certificate(image, true, 3), image_end + 3 + 64},
      {"a signed self-extractor whose trailer was damaged", append_certificate(damaged, true, 3), image_end},
      {"a table further away than alignment", append_certificate(image, true, 8), image_end},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    write_file(dir.path("program.exe"), test.bytes);
    file_handle file = NO_FILE;
    ASSERT_EQ(0, file_open(dir.path("program.exe").c_str(), &file, FILE_MODE_READ));
    uint32_t end = 0, unsigned_end = 0;
    EXPECT_EQ(0, executable_image_end(file, &end));
    EXPECT_EQ(0, executable_image_unsigned_end(file, &unsigned_end));
    file_close(file);
    EXPECT_EQ(test.end, end) << "bytes past this end make the program a damaged self-extractor";
    EXPECT_EQ(image_end, unsigned_end);
  }
}

}  // namespace
