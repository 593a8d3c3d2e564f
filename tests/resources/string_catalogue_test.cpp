// The message catalogue of both shipped languages, and the message
// operations over the bound library.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/notices.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

// Every string id the program's catalogue must hold.
std::vector<unsigned> CatalogueIds() {
  const std::pair<unsigned, unsigned> ranges[] = {
      {108, 108},     {111, 113},     {119, 119},   {140, 142},     {162, 162},     {800, 818},
      {1999, 2053},   {2276, 2276},   {2281, 2281}, {2304, 2304},   {2321, 2333},   {2341, 2342},
      {2348, 2348},   {2356, 2356},   {2363, 2364}, {2378, 2378},   {2389, 2396},   {2544, 2547},
      {2651, 2651},   {2653, 2653},   {3078, 3079}, {3081, 3091},   {6100, 6107},   {6109, 6115},
      {6200, 6204},   {6305, 6305},   {6308, 6309}, {6320, 6320},   {6401, 6408},   {6425, 6425},
      {6433, 6436},   {6448, 6448},   {6453, 6453}, {6460, 6460},   {6462, 6462},   {6464, 6466},
      {8003, 8003},   {9200, 9200},   {9800, 9801}, {9831, 9836},   {9838, 9841},   {9900, 9901},
      {9905, 9908},   {9910, 9920},   {9922, 9923}, {33100, 33100}, {34050, 34050}, {34060, 34060},
      {34465, 34465}, {64468, 64468},
  };
  std::vector<unsigned> ids;
  for (auto [first, last] : ranges) {
    for (unsigned id = first; id <= last; ++id)
      ids.push_back(id);
  }
  return ids;
}

// The conversions of a format string in order ("%d, %s" gives "ds"), with
// the size prefixes and flags left out.
std::string Conversions(const std::string& text) {
  std::string types;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    std::size_t j = i + 1;
    while (j < text.size() &&
           std::string_view("-#0123456789.lhI").find(text[j]) != std::string_view::npos) {
      ++j;
    }
    if (j < text.size() && text[j] != '%') types += text[j];
    i = j;
  }
  return types;
}

class Catalogue : public ::testing::Test {
 protected:
  static std::unique_ptr<ResourceLibrary> Load(const char* name) {
    std::string error;
    auto library = ResourceLibrary::Load(TESSERIX_BIN_DIR, name, error);
    EXPECT_TRUE(library) << error;
    return library;
  }
};

TEST_F(Catalogue, BothLanguagesHoldEveryIdWithMatchingArguments) {
  auto chinese = Load("Res_TX");
  auto english = Load("Res_EN");
  ASSERT_TRUE(chinese && english);
  EXPECT_EQ(chinese->language(), 1028u);
  EXPECT_EQ(english->language(), 1033u);
  std::vector<unsigned> ids = CatalogueIds();
  EXPECT_EQ(ids.size(), 215u);
  for (unsigned id : ids) {
    const char* tx = chinese->String(id);
    const char* en = english->String(id);
    ASSERT_TRUE(tx && *tx) << "Res_TX lacks " << id;
    ASSERT_TRUE(en && *en) << "Res_EN lacks " << id;
    EXPECT_EQ(Conversions(tx), Conversions(en)) << "arguments differ for " << id;
  }
}

TEST_F(Catalogue, KeyNamesAndFontsComeFromTheLibrary) {
  auto chinese = Load("Res_TX");
  auto english = Load("Res_EN");
  ASSERT_TRUE(chinese && english);
  EXPECT_STREQ(chinese->String(kKeyStyle), "樣式");
  EXPECT_STREQ(english->String(kKeyStyle), "Style");
  EXPECT_STREQ(chinese->String(kKeyBlockNum), "BlockNum");
  // Two image-editor keys are nameless in both languages.
  EXPECT_EQ(chinese->String(kKeyEditorOption1), nullptr);
  EXPECT_EQ(english->String(kKeyEditorOption2), nullptr);
  // Each library names a face that holds its script's glyphs.
  EXPECT_EQ(chinese->font().faceName, "Noto Sans CJK TC");
  EXPECT_EQ(english->font().faceName, "DejaVu Sans");
  for (const auto* library : {chinese.get(), english.get()}) {
    EXPECT_EQ(library->font().height, 15);
    EXPECT_EQ(library->font().charSet, 0);
  }
}

class RecordingSink : public NoticeSink {
 public:
  struct Notice {
    std::string text;
    std::string title;
    NoticeButtons buttons;
    NoticeIcon icon;
  };
  void Show(const std::string&, const std::string&, NoticeIcon) override {}
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override { return answer; }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override { return answer; }
  void Beep() override {}
  NoticeAnswer Ask(NoticeOwner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override {
    notices.push_back({text, title, buttons, icon});
    return buttons == NoticeButtons::Ok ? NoticeAnswer::Ok : answer;
  }
  std::vector<Notice> notices;
  NoticeAnswer answer = NoticeAnswer::No;
};

class MessageOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    m_previous = SetNoticeSink(m_sink);
  }
  void TearDown() override {
    SetNoticeSink(m_previous);
    ReleaseResourceLibrary();
  }
  std::shared_ptr<RecordingSink> m_sink = std::make_shared<RecordingSink>();
  std::shared_ptr<NoticeSink> m_previous;
};

TEST_F(MessageOperations, LoadTextUsesTheLow16BitsAndTheBufferSize) {
  EXPECT_EQ(LoadText(100001), "Tesserix文件");
  EXPECT_EQ(LoadText(100001), LoadText(kStrPrintDocument));
  EXPECT_EQ(LoadText(kStrPrintDocument, 9), "Tesserix");
  // Cut inside "文" (3 bytes): the partial character is dropped.
  EXPECT_EQ(LoadText(kStrPrintDocument, 10), "Tesserix");
  EXPECT_EQ(LoadText(kStrPrintDocument, 0), "");
  EXPECT_EQ(LoadText(65000), "");
  EXPECT_EQ(ResolveString(static_cast<int>(kStrProgramName)), "Tesserix");
}

TEST_F(MessageOperations, FilterListsEndInTwoNuls) {
  std::string list = LoadTextList(kStrFilterAllTypes);
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list.substr(list.size() - 2), std::string(2, '\0'));
  std::vector<std::string> entries = SplitTextList(list);
  ASSERT_EQ(entries.size(), 16u);  // eight types, each a name and a pattern
  EXPECT_EQ(entries[10], "JPEG 影像 (*.JPG)");
  EXPECT_EQ(SplitTextList(LoadTextList(kStrFilterNoGif)).size(), 14u);
  EXPECT_EQ(LoadTextList(65000), "");
  // Two entries each followed by a line feed: the two entries and two NULs.
  EXPECT_EQ(SplitTextList(std::string("a\0b\0\0", 5)), (std::vector<std::string>{"a", "b"}));
}

TEST_F(MessageOperations, MessagesQuestionsAndFormattedTexts) {
  ShowMessage(kStrScreenTooSmall);
  ShowMessage(65000);  // missing: nothing shown
  ASSERT_EQ(m_sink->notices.size(), 1u);
  EXPECT_EQ(m_sink->notices[0].title, "Tesserix");
  EXPECT_EQ(m_sink->notices[0].icon, NoticeIcon::Warning);

  EXPECT_FALSE(AskYesNo(nullptr, 9914));
  m_sink->answer = NoticeAnswer::Yes;
  EXPECT_TRUE(AskYesNo(nullptr, 9914, "caption"));
  EXPECT_EQ(m_sink->notices.back().title, "caption");
  EXPECT_TRUE(AskYesNo(nullptr, 65000));  // missing string: yes, nothing asked
  EXPECT_EQ(m_sink->notices.size(), 3u);

  m_sink->answer = NoticeAnswer::Cancel;
  int answer = ShowFormatted(nullptr, 9911, kStrWarning, kMbOkCancel | kMbIconExclamation,
                             "Tesserix CD", "動物", "D:");
  EXPECT_EQ(answer, kIdCancel);
  EXPECT_EQ(m_sink->notices.back().text, "請將 Tesserix CD圖庫: 動物 插入 D: 磁碟機。 ");
  EXPECT_EQ(m_sink->notices.back().title, "警告");
  EXPECT_EQ(m_sink->notices.back().buttons, NoticeButtons::OkCancel);
  EXPECT_EQ(ShowFormatted(nullptr, 65000, kStrWarning, kMbYesNo), kIdYes);

  ShowWithCaptionId(nullptr, "text", 65000, kMbOk);
  EXPECT_EQ(m_sink->notices.back().title, "Tesserix");
}

TEST(ResourceBinding, MissingLibraryOrExportFailsWithAReason) {
  std::string error;
  EXPECT_FALSE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_XX", error));
  EXPECT_NE(error.find("Res_XX"), std::string::npos);
  EXPECT_EQ(ResourceInstance(), nullptr);
  EXPECT_EQ(LoadText(kStrProgramName), "");
  EXPECT_FALSE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_Partial", error));
  EXPECT_NE(error.find("lacks the export"), std::string::npos) << error;
  EXPECT_EQ(ResourceInstance(), nullptr);
}

}  // namespace
}  // namespace tx
