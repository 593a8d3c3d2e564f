// tesserix-cli print ...: the layout as JSON, PDF output, and refusals.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::TempDir;

// No printer can be reached through a scheduler socket that does not exist.
constexpr const char* kNoScheduler = "CUPS_SERVER=/nonexistent/cups.sock TESSERIX_LANG=en";

class CliPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    PackedImage picture = MakePatternImage(101, 60, 24);
    ASSERT_EQ(EzSaveFile(picture.get(), Path("picture.bmp").c_str(), kSaveByExtension, nullptr), 0);
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  TempDir m_dir;
};

TEST_F(CliPrint, PlanGivesTheSheetsAsJson) {
  // Two portrait sheets side by side, the picture 2000 x 1188 across both
  // and centred; the odd width's middle column is left out.
  const CliRun two =
      RunCli("print " + Path("picture.bmp") + " --layout 2 --sheet 1000x1400 --dpi 100 --plan");
  EXPECT_EQ(two.exitCode, 0) << two.out;
  EXPECT_EQ(two.out,
            "{\"layout\": 2, \"cols\": 2, \"rows\": 1, \"sheets\": ["
            "{\"source\": [0, 0, 50, 60], \"sheet\": [0, 106, 1000, 1294]}, "
            "{\"source\": [51, 0, 101, 60], \"sheet\": [0, 106, 1000, 1294]}], "
            "\"label\": \"   20.0\\\" x 11.8\\\"   \"}\n");
  // Without a sheet: A4 at 300 dpi in the layout's orientation.
  const CliRun a4 = RunCli("print " + Path("picture.bmp") + " --layout 1 --plan", kNoScheduler);
  EXPECT_EQ(a4.exitCode, 0) << a4.out;
  EXPECT_NE(a4.out.find("\"sheet\": [0, "), std::string::npos) << a4.out;
  EXPECT_NE(a4.out.find("3508"), std::string::npos) << a4.out;
}

TEST_F(CliPrint, PdfHoldsOnePagePerNonEmptySheet) {
  const CliRun run =
      RunCli("print " + Path("picture.bmp") + " --layout 4 --pdf " + Path("poster.pdf"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out, "printed 4 sheets to " + Path("poster.pdf") + "\n");
  std::ifstream file(Path("poster.pdf"), std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos;
       at = pdf.find("/Type /Page\n", at + 1)) {
    ++pages;
  }
  EXPECT_EQ(pages, 4);
}

TEST_F(CliPrint, RefusesWhatItCannotDo) {
  const std::string picture = Path("picture.bmp");
  struct Case {
    std::string arguments;
    std::string reason;
  };
  for (const Case& c : {
           Case{picture + " --copies 101 --plan", "--copies takes a whole number from 1 to 100"},
           Case{picture + " --copies 0 --plan", "--copies takes"},
           Case{picture + " --size 49 --plan", "--size takes a whole number from 50 to 100"},
           Case{picture + " --layout 8 --plan", "--layout takes a whole number from 0 to 7"},
           Case{picture, "give --printer NAME, --pdf OUT or --plan"},
           Case{picture + " --pdf a.pdf --printer b", "choose one"},
           Case{picture + " --sheet 0x5 --plan", "--sheet takes WIDTHxHEIGHT"},
           Case{picture + " --sheet 100x100 --pdf x.pdf", "--sheet and --dpi describe"},
           Case{Path("missing.bmp") + " --plan", "missing.bmp"},
           // No printer installed: the user is told so rather than nothing.
           Case{picture + " --printer Office", "No printer is installed"},
       }) {
    const CliRun run = RunCli("print " + c.arguments, kNoScheduler);
    EXPECT_EQ(run.exitCode, 1) << c.arguments;
    EXPECT_NE(run.out.find(c.reason), std::string::npos) << c.arguments << ": " << run.out;
  }
  // At the limits the values are taken.
  EXPECT_EQ(RunCli("print " + picture + " --copies 100 --size 50 --plan").exitCode, 0);
}

}  // namespace
}  // namespace tx
