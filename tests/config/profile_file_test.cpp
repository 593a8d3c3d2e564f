#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <climits>
#include <fstream>
#include <future>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "config/profile_file.h"
#include "tests/support/test_images.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

using Lines = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProfileFile, NamesMatchWithoutAsciiCaseAndTheFirstOccurrenceWins) {
  ProfileFile p =
      ProfileFile::Parse("top=0\n[Test]\nKey=1\nkey=2\n[TEST]\nkey=3\nother=4\n[Größe]\nk=5\n");
  EXPECT_EQ(p.Get("test", "KEY"), "1");
  EXPECT_EQ(p.Get("tEsT", "other"), std::nullopt) << "only the first [test] counts";
  EXPECT_EQ(p.Get("", "top"), std::nullopt) << "lines before any section belong to none";
  EXPECT_EQ(p.Get("GRößE", "K"), "5");
  EXPECT_EQ(p.Get("GRÖßE", "k"), std::nullopt) << "only ASCII letters fold";
  EXPECT_TRUE(p.HasSection(" test "));
  EXPECT_EQ(p.SectionNames(), (Lines{"Test", "Größe"}));
}

TEST(ProfileFile, ValuesLoseOuterBlanksAndOnePairOfQuotes) {
  const std::pair<const char*, const char*> cases[] = {
      {"k =  spaced value \t", "spaced value"},
      {"k=\" quoted \"", " quoted "},
      {"k='single'", "single"},
      {"k=\"\"twice\"\"", "\"twice\""},
      {"k=\"mixed'", "\"mixed'"},
      {"k=\"", "\""},
      {"k=a=b", "a=b"},
      {"\tk\t=x", "x"},
      {"k=", ""},
  };
  for (auto [line, value] : cases) {
    EXPECT_EQ(ProfileFile::Parse(std::string("[s]\n") + line).Get("s", "k"), value) << line;
  }
}

TEST(ProfileFile, ParseProfileIntReadsLikeTheWindowsCalls) {
  const std::pair<const char*, int> cases[] = {
      {"12abc", 12},
      {"  -7", -7},
      {"abc", 0},
      {"0x1F", 31},
      {"0X1f", 31},
      {"-0x10", -16},
      {"+5", 5},
      {"\t9", 9},
      {"- 5", 0},
      {"0x", 0},
      {"-0", 0},
      {"", 0},
      {"4294967297", 1},
      {"2147483648", INT_MIN},
      {"-2147483648", INT_MIN},
      {"99999999999999999999", 1661992959},
  };
  for (auto [text, value] : cases) {
    EXPECT_EQ(ParseProfileInt(text), value) << text;
  }
}

TEST(ProfileFile, CutUtf8NeverSplitsACharacter) {
  const std::tuple<std::string, std::size_t, std::string> cases[] = {
      {"aé", 2, "a"},
      {"aé", 3, "aé"},
      {"€x", 2, ""},
      {"€x", 3, "€"},
      {"abc", 0, ""},
      {"\xF0\x9F\x98", 2, ""},        // a truncated character
      {"\xC3\xA9\xA9\xA9z", 3, ""},   // a lead byte with too many continuations
      {"a\x80\x80\x80", 2, "a\x80"},  // stray continuations may be cut anywhere
  };
  for (const auto& [text, maxBytes, cut] : cases) {
    EXPECT_EQ(CutUtf8(text, maxBytes), cut) << text;
  }
}

TEST(ProfileFile, MissingOrEmptyValuesGiveTheFallback) {
  ProfileFile p = ProfileFile::Parse("[s]\nempty=\nquotes=\"\"\nn= 0x10 \ntext=héllo\n");
  EXPECT_EQ(p.GetString("s", "empty", "fb"), "fb");
  EXPECT_EQ(p.GetString("s", "quotes", "fb"), "fb");
  EXPECT_EQ(p.GetString("s", "missing", "fb"), "fb");
  EXPECT_EQ(p.GetString("none", "text", "fb"), "fb");
  EXPECT_EQ(p.GetString("s", "text", "fb"), "héllo");
  EXPECT_EQ(p.GetString("s", "text", "fb", 2), "h");
  EXPECT_EQ(p.GetString("s", "missing", "fallback", 4), "fall");
  EXPECT_EQ(p.GetInt("s", "n", -1), 16);
  EXPECT_EQ(p.GetInt("s", "empty", -1), -1);
  EXPECT_EQ(p.GetInt("s", "missing", -1), -1);
  EXPECT_EQ(p.GetInt("s", "text", -1), 0);
}

TEST(ProfileFile, SetChangesOnlyWhatItMust) {
  ProfileFile p = ProfileFile::Parse(
      "; settings\r\nloose line\r\n[Main]\r\n  Width = 10 ; px\r\n# note\r\nwidth=99\r\nbare\r\n"
      "\r\n; tail\r\n\r\n[main]\r\nheight=3\r\n[Other]\r\nx=1");
  EXPECT_TRUE(p.Set("MAIN", "WIDTH", "20"));
  EXPECT_TRUE(p.Set(" main ", "Height", "5"));
  EXPECT_TRUE(p.Set("New", "k", "v"));
  EXPECT_EQ(p.Serialize(),
            "; settings\nloose line\n[Main]\n  Width = 20\n# note\nwidth=99\nbare\nHeight=5\n"
            "\n; tail\n\n[main]\nheight=3\n[Other]\nx=1\n\n[New]\nk=v\n");
  EXPECT_EQ(p.Get("MAIN", "height"), "5");

  ProfileFile empty;
  EXPECT_TRUE(empty.Set("A", "k", "1"));
  ProfileFile endsBlank = ProfileFile::Parse("[A]\nk=1\n\n");
  EXPECT_TRUE(endsBlank.Set("B", "k", "2"));
  EXPECT_EQ(empty.Serialize(), "[A]\nk=1\n");
  EXPECT_EQ(endsBlank.Serialize(), "[A]\nk=1\n\n[B]\nk=2\n");
}

TEST(ProfileFile, NamesThatWouldNotReadBackAreRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"s", ""},   {"s", "  "},  {"s", "a=b"},  {"s", "[k]"}, {"s", "]k"},
      {"s", ";k"}, {"s", "#k"},  {"s", "k\nx"}, {"s", "k\r"}, {"", "k"},
      {" ", "k"},  {"a]b", "k"}, {"a\nb", "k"},
  };
  ProfileFile p = ProfileFile::Parse("[s]\nk=1\n");
  for (auto [section, key] : cases) {
    EXPECT_FALSE(p.Set(section, key, "v")) << section << key;
  }
  EXPECT_FALSE(p.WriteSection("a]b", {"k=v"}));
  EXPECT_FALSE(p.WriteSection("s", {"k=v", " [Other] "})) << "a line may not start a section";
  EXPECT_EQ(p.Serialize(), "[s]\nk=1\n");
}

TEST(ProfileFile, ValuesReadBackAsSetAndCannotAddLines) {
  ProfileFile p;
  for (std::string value : {" padded ", "\"quoted\"", "'q'", "\"", "a=b", "", "\tx"}) {
    ASSERT_TRUE(p.Set("s", "k", value));
    EXPECT_EQ(ProfileFile::Parse(p.Serialize()).Get("s", "k"), value);
  }
  ASSERT_TRUE(p.Set("s", "k", "x\r\n[Evil]\nk2=1"));
  ProfileFile reread = ProfileFile::Parse(p.Serialize());
  EXPECT_EQ(reread.Get("s", "k"), "x  [Evil] k2=1");
  EXPECT_FALSE(reread.HasSection("Evil"));
  EXPECT_EQ(reread.Get("s", "k2"), std::nullopt);
}

TEST(ProfileFile, RemoveTakesEveryOccurrence) {
  ProfileFile p = ProfileFile::Parse("[a]\nk=1\nK=2\nj=3\n[b]\nk=4\n[A]\nk=5\n");
  EXPECT_TRUE(p.Remove("A", "k"));
  EXPECT_EQ(p.Serialize(), "[a]\nj=3\n[b]\nk=4\n[A]\n");
  EXPECT_FALSE(p.Remove("a", "k"));
  EXPECT_FALSE(p.Remove("none", "j"));
  EXPECT_TRUE(p.RemoveSection("a"));
  EXPECT_EQ(p.Serialize(), "[b]\nk=4\n");
  EXPECT_FALSE(p.RemoveSection("a"));
}

TEST(ProfileFile, ReadSectionGivesTheLinesAsWritten) {
  ProfileFile p = ProfileFile::Parse(
      "[Names]\n  Key1:=:Some name  \n; comment\n\nKey2 = x\nbare line\n=value\n[unterminated\n"
      "[Next]\nz=1\n");
  EXPECT_EQ(p.ReadSection("names", 4096),
            (Lines{"Key1:=:Some name", "Key2 = x", "bare line", "=value", "[unterminated"}));
  EXPECT_EQ(p.Get("names", "Key1:"), ":Some name");
  EXPECT_EQ(p.Get("names", "bare line"), std::nullopt);
  EXPECT_EQ(p.Get("names", ""), std::nullopt);
  EXPECT_TRUE(p.ReadSection("missing", 4096).empty());
}

TEST(ProfileFile, ReadSectionKeepsToTheBufferSize) {
  // "a=1" and "bb=2" take 4 and 5 bytes with their zeros; one more zero ends the buffer.
  ProfileFile p = ProfileFile::Parse("[s]\na=1\nbb=2\n");
  const std::pair<std::size_t, std::size_t> cases[] = {{0, 0}, {1, 0},  {4, 0},  {5, 1},
                                                       {9, 1}, {10, 2}, {100, 2}};
  for (auto [maxBytes, count] : cases) {
    EXPECT_EQ(p.ReadSection("s", maxBytes).size(), count) << maxBytes;
  }
}

TEST(ProfileFile, WriteSectionReplacesTheSectionAndDropsDuplicates) {
  ProfileFile p =
      ProfileFile::Parse("[List]\n; old\nold=1\n\n[Keep]\nx=1\n[LIST]\nold=2\n[Keep2]\ny=2\n");
  ASSERT_TRUE(p.WriteSection("list", {"Key1:=:Some name", "Key2:=:Other\r\n[Evil]", "k=v"}));
  EXPECT_EQ(p.Serialize(),
            "[List]\nKey1:=:Some name\nKey2:=:Other\nk=v\n\n[Keep]\nx=1\n[Keep2]\ny=2\n");
  const Lines stored = {"Key1:=:Some name", "Key2:=:Other", "k=v"};
  EXPECT_EQ(ProfileFile::Parse(p.Serialize()).ReadSection("LIST", 4096), stored);

  ASSERT_TRUE(p.WriteSection("Fresh", {"a=1"}));
  EXPECT_EQ(p.ReadSection("fresh", 4096), Lines{"a=1"});
  ASSERT_TRUE(p.WriteSection("list", {}));
  EXPECT_TRUE(p.HasSection("list"));
  EXPECT_TRUE(p.ReadSection("list", 4096).empty());
}

TEST(ProfileFile, HostileTextIsKeptAndNeverBreaksReading) {
  std::mt19937 random(1234);
  std::string garbage;
  for (int i = 0; i < 20000; ++i) {
    garbage += static_cast<char>(random() & 0xFF);
  }
  std::string duplicates;
  for (int i = 0; i < 10000; ++i) {
    duplicates += "[dup]\nk=" + std::to_string(i) + "\n";
  }
  const std::string withNuls("a\0b=1\n[s]\nk=\0x\n", 15);
  const std::string longLine(100000, 'x');
  const std::string longEntry = "[s]\n" + longLine + "=" + longLine + "\n";
  const std::string cases[] = {
      garbage,
      withNuls,
      "[",
      "[unterminated\nk=1",
      "[s]\r\nk=1\r\r\n\r",
      "=value\n[s]\n=value\n",
      longLine,
      longEntry,
      duplicates,
  };
  for (const std::string& text : cases) {
    ProfileFile p = ProfileFile::Parse(text);
    const std::string once = p.Serialize();
    EXPECT_EQ(ProfileFile::Parse(once).Serialize(), once);
    p.ReadSection("s", 1 << 20);
    EXPECT_TRUE(p.Set("s", "k", "v"));
    EXPECT_EQ(p.Get("s", "k"), "v");
  }

  EXPECT_EQ(ProfileFile::Parse(withNuls).Serialize(), withNuls) << "NULs are kept as text";
  EXPECT_EQ(ProfileFile::Parse(withNuls).Get("s", "k"), std::string("\0x", 2));
  EXPECT_TRUE(ProfileFile::Parse("[\n[unterminated\nk=1").SectionNames().empty());
  EXPECT_EQ(ProfileFile::Parse(longEntry).Get("s", longLine), longLine);

  ProfileFile dup = ProfileFile::Parse(duplicates);
  EXPECT_EQ(dup.Get("DUP", "k"), "0");
  EXPECT_EQ(dup.SectionNames(), Lines{"dup"});
  ASSERT_TRUE(dup.WriteSection("dup", {"k=new"}));
  EXPECT_EQ(dup.Serialize(), "[dup]\nk=new\n");
}

// A file that starts with two byte-order marks (the second written by a tool
// that did not see the first) reads like one with a single mark, so that
// what is written reads back the same.
TEST(ProfileFile, RepeatedByteOrderMarksAreAllSkipped) {
  ProfileFile p = ProfileFile::Parse("\xEF\xBB\xBF\xEF\xBB\xBF[Main]\r\nName=x\r\n");
  EXPECT_EQ(p.Get("Main", "Name"), "x");
  const std::string once = p.Serialize();
  EXPECT_EQ(once, "[Main]\nName=x\n");
  EXPECT_EQ(ProfileFile::Parse(once).Serialize(), once);
}

TEST(ProfileFile, SaveWritesAtomicallyAndReadsBack) {
  testing::TempDir dir;
  const fs::path file = dir / "settings.ini";
  ProfileFile created = ProfileFile::Load(file);
  EXPECT_TRUE(created.loadError().empty());
  EXPECT_TRUE(created.SectionNames().empty());
  ASSERT_TRUE(created.Set("Main", "Name", "Tëst"));
  std::string error;
  ASSERT_TRUE(created.Save(file, error)) << error;
  EXPECT_EQ(ProfileFile::Load(file).Get("main", "name"), "Tëst");

  // A byte-order mark is skipped and CRLF becomes LF; nothing else changes.
  std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBF; note\r\n[Main]\r\nName = x \r\n";
  ProfileFile loaded = ProfileFile::Load(file);
  EXPECT_EQ(loaded.Get("main", "name"), "x");
  ASSERT_TRUE(loaded.Save(file, error)) << error;
  EXPECT_EQ(ReadFile(file), "; note\n[Main]\nName = x \n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file is left behind";

  // Text too large to read back again is not saved over the readable file.
  ASSERT_TRUE(loaded.Set("Main", "big", std::string(kMaxProfileFileBytes, 'x')));
  EXPECT_FALSE(loaded.Save(file, error));
  EXPECT_EQ(ReadFile(file), "; note\n[Main]\nName = x \n");
}

TEST(ProfileFile, FilesThatCannotBeReadAreNeverOverwritten) {
  testing::TempDir dir;
  const fs::path folder = dir / "folder.ini";
  const fs::path big = dir / "big.ini";
  const fs::path pipe = dir / "pipe.ini";
  fs::create_directory(folder);
  std::ofstream(big) << "[s]\nk=1\n";
  fs::resize_file(big, 5u << 20);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

  for (const fs::path& path : {folder, big, pipe}) {
    // Opening a pipe for reading waits for a writer; a load that does so must
    // fail the test, not hang it.
    auto loading = std::async(std::launch::async, [&path] { return ProfileFile::Load(path); });
    if (loading.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
      std::ofstream release(path);
      ADD_FAILURE() << "loading blocked: " << path;
    }
    ProfileFile p = loading.get();
    EXPECT_FALSE(p.loadError().empty()) << path;
    EXPECT_TRUE(p.SectionNames().empty()) << path;
    ASSERT_TRUE(p.Set("s", "k", "2"));
    std::string error;
    EXPECT_FALSE(p.Save(path, error)) << path;
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::file_size(big), 5u << 20);
  EXPECT_TRUE(fs::is_fifo(pipe));
}

}  // namespace
}  // namespace tx
