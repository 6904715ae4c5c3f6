// The copy of a builder program as a self-extractor's stub: a signed program
// is copied as it was before signing, so the result can be signed; and what a
// refused build reports. The archive tests' environment starts the foundation.
#include <gtest/gtest.h>

#include <string>

#include "archive/executable_image.h"
#include "archive/self_extractor_build.h"
#include "archive_fixture.h"
#include "signed_image.h"
#include "test_util.h"

namespace {

class StubCopy : public ::testing::Test {
 protected:
  // The stub copied from a program of these bytes; "<failed>" when the copy
  // reports a failure.
  std::string copy_of(const std::string& program) {
    write_file(dir_.path("program.exe"), program);
    file_handle source = NO_FILE, target = NO_FILE;
    EXPECT_EQ(0, file_open(dir_.path("program.exe").c_str(), &source, FILE_MODE_READ));
    EXPECT_EQ(0, file_open(dir_.path("stub.exe").c_str(), &target, FILE_MODE_CREATE));
    const int status = se_copy_stub(source, target);
    file_close(source);
    file_close(target);
    return status == 0 ? read_file(dir_.path("stub.exe")) : "<failed>";
  }
  scratch_dir dir_;
};

TEST_F(StubCopy, SignedProgramLosesItsCertificateTableOthersAreCopiedWhole) {
  const size_t image_end = 0x3FB;
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    const std::string image = crafted_pe(wide, image_end);
    const std::string signed_program = append_certificate(image, wide, 5);
    ASSERT_NE(image, signed_program.substr(0, image_end)) << "signing names the table in the header";
    EXPECT_EQ(image, copy_of(signed_program))
        << "the copy ends with the image and its security directory is cleared, nothing else changed";
    EXPECT_EQ(image, copy_of(image)) << "an unsigned program is copied whole";
  }
  const std::string not_a_pe = "\x7F" "ELF" + std::string(3000, 'x');
  EXPECT_EQ(not_a_pe, copy_of(not_a_pe));
}

// The message names the archive as the caller names it; only a failure that
// the system explains names a file for the reason line.
TEST(SelfExtractorBuild, RefusalsSayWhatFailedAndWhichFileTheReasonConcerns) {
  scratch_dir dir;
  const std::string stub = dir.path("stub.exe"), archive = dir.path("data.qpk");
  write_file(stub, "MZ" + random_bytes(998, 3));
  write_file(archive, make_archive({stored("a.txt", "alpha")}));
  write_file(dir.path("setup.exe"), make_self_extractor(read_file(stub), read_file(archive)));
  write_file(dir.path("file"), "a plain file");
  const struct {
    const char* what;
    std::string archive;
    std::string output;
    std::string message;
    std::string path;
  } cases[] = {
      {"missing archive", dir.path("none.qpk"), dir.path("out.exe"), "ERROR: Unable to open the archive \"shown\"",
       dir.path("none.qpk")},
      {"self-extractor as archive", dir.path("setup.exe"), dir.path("out.exe"), "ERROR: \"shown\" is not a QPK archive",
       ""},
      {"output below a file", archive, dir.path("file/out.exe"), "Error copying self-extractor",
       dir.path("file/out.exe")},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    se_build_inputs inputs;
    se_result result;
    const bool built =
        se_open_inputs(stub.c_str(), test.archive.c_str(), "shown", &inputs, &result) &&
        se_build_output(stub.c_str(), inputs, option_block{}, test.output.c_str(), nullptr, &result);
    se_close_inputs(&inputs);
    EXPECT_FALSE(built);
    EXPECT_GT(0, result.status) << "a refusal carries the failed step's status";
    EXPECT_EQ(test.message, result.message);
    EXPECT_EQ(test.path, result.path) << "the file the reason line names, or none";
    EXPECT_FALSE(path_exists(dir.path("out.exe"))) << "a refused build writes nothing";
  }
}

}  // namespace
