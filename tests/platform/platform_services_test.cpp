#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <fstream>

#include "platform/cancel_flag.h"
#include "platform/file_io.h"
#include "platform/notices.h"
#include "platform/paths.h"
#include "tests/support/test_images.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

TEST(CancelFlag, PollReportsOnceAndClears) {
  ClearCancel();
  EXPECT_FALSE(PollCancel());
  RequestCancel();
  RequestCancel();
  EXPECT_TRUE(PollCancel());
  EXPECT_FALSE(PollCancel()) << "a request is reported once";
  RequestCancel();
  ClearCancel();
  EXPECT_FALSE(PollCancel());
}

class RecordingSink : public NoticeSink {
 public:
  void Show(const std::string& text, const std::string& title, NoticeIcon) override {
    shown += title + "|" + text + ";";
  }
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override {
    return NoticeAnswer::No;
  }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return NoticeAnswer::Cancel;
  }
  void Beep() override { ++beeps; }
  std::string shown;
  int beeps = 0;
};

TEST(Notices, InstalledSinkReceivesNoticesAndIdsResolve) {
  auto sink = std::make_shared<RecordingSink>();
  auto previous = SetNoticeSink(sink);
  SetStringResolver([](int id) { return "text " + std::to_string(id); });
  ShowNoticeId(2356);
  Notices()->Beep();
  EXPECT_EQ(sink->shown, "Tesserix|text 2356;");
  EXPECT_EQ(sink->beeps, 1);
  EXPECT_EQ(Notices()->AskYesNoCancel("q", "t"), NoticeAnswer::Cancel);
  SetStringResolver(nullptr);
  EXPECT_EQ(ResolveString(7), "#7");
  SetNoticeSink(previous);
}

TEST(Notices, StderrSinkTakesTheDefaultAnswer) {
  StderrNoticeSink yes;
  StderrNoticeSink no(NoticeAnswer::No);
  EXPECT_EQ(yes.AskYesNo("question", "title"), NoticeAnswer::Yes);
  EXPECT_EQ(no.AskYesNo("question", "title"), NoticeAnswer::No);
  EXPECT_EQ(no.AskYesNoCancel("question", "title"), NoticeAnswer::No);
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old, m_had = true;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (m_had)
      ::setenv(m_name, m_old.c_str(), 1);
    else
      ::unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::string m_old;
  bool m_had = false;
};

TEST(Paths, OverridesWin) {
  ScopedEnv user("TESSERIX_USER_DIR", "/tmp/tx-user");
  ScopedEnv program("TESSERIX_PROGRAM_DIR", "/tmp/tx-program");
  EXPECT_EQ(UserDir(), fs::path("/tmp/tx-user"));
  EXPECT_EQ(ProgramDir(), fs::path("/tmp/tx-program"));
}

TEST(Paths, UserDirFollowsXdgDataHome) {
  ScopedEnv user("TESSERIX_USER_DIR", nullptr);
  ScopedEnv xdg("XDG_DATA_HOME", "/data");
  EXPECT_EQ(UserDir(), fs::path("/data/Korvex/Tesserix/3.1.0"));
  ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(UserDir(), fs::path("/home/someone/.local/share/Korvex/Tesserix/3.1.0"));
}

TEST(Paths, ProgramDirDefaultsToTheExecutablesFolder) {
  ScopedEnv program("TESSERIX_PROGRAM_DIR", nullptr);
  EXPECT_TRUE(fs::exists(ProgramDir() / "platform_tests"));
}

TEST(FileIo, AtomicWriteReplacesAndReadsBack) {
  testing::TempDir dir;
  fs::path file = dir / "a.bin";
  std::string error;
  std::vector<std::uint8_t> first{1, 2, 3}, second{9, 8};
  ASSERT_TRUE(WriteFileAtomically(file, first, error)) << error;
  ASSERT_TRUE(WriteFileAtomically(file, second, error)) << error;
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadWholeFile(file, 100, read, error)) << error;
  EXPECT_EQ(read, second);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file is left behind";
  EXPECT_FALSE(ReadWholeFile(file, 1, read, error)) << "the size cap holds";
  EXPECT_FALSE(ReadWholeFile(dir / "missing", 100, read, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(FileIo, FailedWriteKeepsTheOldFile) {
  testing::TempDir dir;
  fs::path file = dir / "keep.bin";
  std::string error;
  std::vector<std::uint8_t> old{7};
  ASSERT_TRUE(WriteFileAtomically(file, old, error));

  // A file-size limit makes the write fail as a full disc would, even for root.
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 16;
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::vector<std::uint8_t> fresh(4096, 1);
  bool written = WriteFileAtomically(file, fresh, error);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  EXPECT_NE(error.find("keep.bin"), std::string::npos) << error;
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadWholeFile(file, 100, read, error));
  EXPECT_EQ(read, old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "the temporary file is removed";
}

}  // namespace
}  // namespace tx
