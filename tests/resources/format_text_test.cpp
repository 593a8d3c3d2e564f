#include "resources/format_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tx {
namespace {

std::string Format(std::string_view format, std::vector<FormatArg> args) {
  return FormatText(format, args);
}

TEST(FormatText, ConversionsAsTheyAreWrittenInTheCatalogue) {
  struct Case {
    const char* format;
    std::vector<FormatArg> args;
    const char* expected;
  };
  const Case cases[] = {
      {"  位置： ( %d, %d )", {12, -3}, "  位置： ( 12, -3 )"},
      {"請將 %s圖庫: %s 插入 %s 磁碟機。 ",
       {"Tesserix CD", "動物", "D:"},
       "請將 Tesserix CD圖庫: 動物 插入 D: 磁碟機。 "},
      {"%s----無法找到這個檔案。", {"/tmp/a b.jpg"}, "/tmp/a b.jpg----無法找到這個檔案。"},
      {"%u %x %X %#x %c%%", {4294967295u, 255, 255, 255, 'A'}, "4294967295 ff FF 0xff A%"},
      {"[%5d] [%-5d] [%05d] [%.3d] [%05d]",
       {42, 42, 42, 7, -42},
       "[   42] [42   ] [00042] [007] [-0042]"},
      {"[%.2s] [%4s] [%-4s]", {"abc", "ab", "ab"}, "[ab] [  ab] [ab  ]"},
      {"%ld %hd %lu %I64d %lld", {1, 2, 3, 4, 5}, "1 2 3 4 5"},
      {"%d", {-2147483647 - 1}, "-2147483648"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Format(c.format, c.args), c.expected) << c.format;
}

TEST(FormatText, MismatchedArgumentsNeverReadWhatWasNotGiven) {
  EXPECT_EQ(Format("%s and %s and %d", {"one"}), "one and  and ");
  EXPECT_EQ(Format("%d items", {}), " items");
  EXPECT_EQ(Format("%s", {42}), "42");
  EXPECT_EQ(Format("%d", {"text"}), "text");
  EXPECT_EQ(Format("%c", {"字元"}), "字");
  EXPECT_EQ(Format("%s", {static_cast<const char*>(nullptr)}), "");
  EXPECT_EQ(Format("only %s", {"a", "b", "c"}), "only a");
  // Unknown conversions print their character; a lone '%' at the end nothing.
  EXPECT_EQ(Format("%q %", {1}), "q ");
}

TEST(FormatText, ResultStaysWithinItsBudget) {
  std::string big(5000, 'x');
  EXPECT_EQ(Format("%s", {big}).size(), kMaxFormattedBytes);
  EXPECT_EQ(Format("%99999d", {1}).size(), kMaxFormattedBytes);
  EXPECT_EQ(Format(big, {}).size(), kMaxFormattedBytes);
  // A cut never splits a character: 500 three-byte characters cut at 1023
  // bytes keep 341 whole ones.
  std::string wide;
  for (int i = 0; i < 500; ++i)
    wide += "字";
  std::string cut = Format("%s", {wide});
  EXPECT_EQ(cut.size(), 1023u);
  EXPECT_EQ(FormatText("%s", std::vector<FormatArg>{wide}, 10).size(), 9u);
  EXPECT_EQ(Format("%.4s", {"字字"}), "字");
}

}  // namespace
}  // namespace tx
