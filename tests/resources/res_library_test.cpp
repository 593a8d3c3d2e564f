// The resource libraries as the program sees them: opened by name from the
// build's bin folder, asked through the exports of res_api.h.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/shared_library.h"
#include "resources/library/res_api.h"

namespace {

using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

constexpr unsigned kLabelId = 0xFFFF;  // the id -1 of static labels
constexpr unsigned kIdOk = 1;
constexpr unsigned kIdCancel = 2;

// The exports of one library.
struct ResourceApi {
  const char* (*fontName)();
  int (*fontSize)();
  int (*fontSet)();
  int (*fontOffsetV)();
  int (*fontHeigh)();
  unsigned (*language)();
  const char* (*string)(unsigned);
  unsigned (*stringCount)();
  unsigned (*stringIdAt)(unsigned);
  const TxResDialog* (*dialog)(unsigned);
  const TxResMenu* (*menu)(unsigned);
  const TxResAcceleratorTable* (*accelerators)(unsigned);
  const unsigned char* (*icon)(unsigned, unsigned*);
  const char* (*versionValue)(const char*);
};

class ResourceLibrary {
 public:
  explicit ResourceLibrary(const char* name) {
    std::string error;
    m_library = tx::SharedLibrary::Open(TESSERIX_BIN_DIR, name, error);
    EXPECT_TRUE(m_library.isOpen()) << error;
    m_api = {Get<decltype(m_api.fontName)>("ResFontName"),
             Get<decltype(m_api.fontSize)>("ResFontSize"),
             Get<decltype(m_api.fontSet)>("ResFontSet"),
             Get<decltype(m_api.fontOffsetV)>("ResFontOffsetV"),
             Get<decltype(m_api.fontHeigh)>("ResFontHeigh"),
             Get<decltype(m_api.language)>("ResLanguage"),
             Get<decltype(m_api.string)>("ResString"),
             Get<decltype(m_api.stringCount)>("ResStringCount"),
             Get<decltype(m_api.stringIdAt)>("ResStringIdAt"),
             Get<decltype(m_api.dialog)>("ResDialog"),
             Get<decltype(m_api.menu)>("ResMenu"),
             Get<decltype(m_api.accelerators)>("ResAccelerators"),
             Get<decltype(m_api.icon)>("ResIcon"),
             Get<decltype(m_api.versionValue)>("ResVersionValue")};
  }

  bool complete() const { return m_missing.empty(); }
  const std::vector<std::string>& missing() const { return m_missing; }
  const ResourceApi& api() const { return m_api; }

 private:
  template <typename F>
  F Get(const char* symbol) {
    F function = m_library.Function<F>(symbol);
    if (!function) m_missing.push_back(symbol);
    return function;
  }

  tx::SharedLibrary m_library;
  ResourceApi m_api{};
  std::vector<std::string> m_missing;
};

class ResTxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_library.complete())
        << "missing exports: " << ::testing::PrintToString(m_library.missing());
  }
  const ResourceApi& res() const { return m_library.api(); }

  ResourceLibrary m_library{"Res_TX"};
};

TEST_F(ResTxTest, FontExportsAndLanguage) {
  EXPECT_STREQ(res().fontName(), "Noto Sans CJK TC");
  EXPECT_EQ(res().fontSize(), 15);
  EXPECT_EQ(res().fontSet(), 0);
  EXPECT_EQ(res().fontOffsetV(), res().fontSet());
  EXPECT_EQ(res().fontHeigh(), 14);
  EXPECT_EQ(res().language(), 1028u);
}

TEST_F(ResTxTest, StringsById) {
  EXPECT_STREQ(res().string(3087), "Tesserix");
  EXPECT_STREQ(res().string(33100), "TesserixClipboardFmt");
  EXPECT_EQ(res().string(65535), nullptr);
  // An id beyond 16 bits must not be cut down to an existing one.
  EXPECT_EQ(res().string(3087 + 0x10000), nullptr);
}

TEST_F(ResTxTest, EnumeratesStringsInAscendingOrder) {
  const unsigned count = res().stringCount();
  ASSERT_GT(count, 0u);
  for (unsigned i = 0; i < count; ++i) {
    const unsigned id = res().stringIdAt(i);
    if (i > 0) {
      EXPECT_LT(res().stringIdAt(i - 1), id) << "at index " << i;
    }
    EXPECT_NE(res().string(id), nullptr) << "id " << id;
  }
  EXPECT_EQ(res().stringIdAt(count), 0u);
}

TEST_F(ResTxTest, DialogsHoldTheirControls) {
  struct Case {
    unsigned dialog;
    std::vector<unsigned> controlIds;  // besides labels
  };
  const Case cases[] = {
      {123, {1003, 1004, kIdOk, kIdCancel}},
      {21012, {202, 203, 201, 9921}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dialog " + std::to_string(c.dialog));
    const TxResDialog* dialog = res().dialog(c.dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->id, c.dialog);
    std::vector<unsigned> ids;
    for (unsigned i = 0; i < dialog->controlCount; ++i) {
      const TxResControl& control = dialog->controls[i];
      ASSERT_NE(control.text, nullptr);
      if (control.id != kLabelId) ids.push_back(control.id);
    }
    EXPECT_THAT(ids, UnorderedElementsAreArray(c.controlIds));
  }
  EXPECT_EQ(res().dialog(124), nullptr);
}

TEST_F(ResTxTest, ControlsKeepKindAndGeometry) {
  const TxResDialog* dialog = res().dialog(21012);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->controlCount, 4);
  const TxResControl& scrollBar = dialog->controls[3];
  EXPECT_EQ(scrollBar.id, 201);
  EXPECT_EQ(scrollBar.kind, TX_RES_SCROLLBAR);
  EXPECT_STREQ(scrollBar.text, "");
  EXPECT_EQ(scrollBar.x, 50);
  EXPECT_EQ(scrollBar.y, 22);
  EXPECT_EQ(scrollBar.cx, 200);
  EXPECT_EQ(scrollBar.cy, 10);
  EXPECT_EQ(dialog->controls[1].kind, TX_RES_AUTOCHECKBOX);
}

TEST_F(ResTxTest, MenusOpenAPopUpWithTheirCommand) {
  struct Case {
    unsigned menu;
    unsigned command;
  };
  for (const Case& c : {Case{221, 220}, Case{109, 40006}}) {
    SCOPED_TRACE("menu " + std::to_string(c.menu));
    const TxResMenu* menu = res().menu(c.menu);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->itemCount, 1);
    const TxResMenuItem& popup = menu->items[0];
    EXPECT_EQ(popup.flags, TX_RES_MENU_POPUP);
    EXPECT_EQ(popup.command, 0);
    ASSERT_EQ(popup.childCount, 1);
    EXPECT_EQ(popup.children[0].command, c.command);
    EXPECT_EQ(popup.children[0].flags, 0);
    EXPECT_STRNE(popup.children[0].text, "");
  }
  EXPECT_EQ(res().menu(222), nullptr);
}

TEST_F(ResTxTest, AcceleratorTable501) {
  const TxResAcceleratorTable* table = res().accelerators(501);
  ASSERT_NE(table, nullptr);
  std::vector<std::vector<unsigned>> entries;
  for (unsigned i = 0; i < table->count; ++i) {
    const TxResAccelerator& a = table->entries[i];
    entries.push_back({a.virtualKey, a.modifiers, a.command});
  }
  const std::vector<std::vector<unsigned>> expected = {{0x70, 0, 21903},             // F1
                                                       {0x1B, 0, 128},               // Esc
                                                       {0x09, 0, 256},               // Tab
                                                       {'Q', TX_RES_CONTROL, 502},   // Ctrl+Q
                                                       {'X', TX_RES_CONTROL, 505},   // Ctrl+X
                                                       {'C', TX_RES_CONTROL, 506},   // Ctrl+C
                                                       {'V', TX_RES_CONTROL, 507}};  // Ctrl+V
  EXPECT_THAT(entries, ElementsAreArray(expected));
  EXPECT_EQ(res().accelerators(502), nullptr);
}

TEST_F(ResTxTest, IconIsAPngFile) {
  unsigned size = 0;
  const unsigned char* icon = res().icon(3009, &size);
  ASSERT_NE(icon, nullptr);
  ASSERT_GT(size, 8u);
  EXPECT_EQ(std::memcmp(icon, "\x89PNG\r\n\x1A\n", 8), 0);
  EXPECT_EQ(res().icon(3009, nullptr), icon);  // the size is optional

  size = 123;
  EXPECT_EQ(res().icon(3010, &size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(ResTxTest, VersionValues) {
  EXPECT_STREQ(res().versionValue("ProductName"), "Tesserix");
  EXPECT_STREQ(res().versionValue("CompanyName"), "Korvex");
  EXPECT_EQ(res().versionValue("NoSuchKey"), nullptr);
  EXPECT_EQ(res().versionValue(nullptr), nullptr);
}

// Two languages open at once must each answer from their own tables, which
// holds only while nothing but the exports is visible outside a library.
TEST(ResourceLibraries, TwoLanguagesSideBySide) {
  ResourceLibrary chinese("Res_TX");
  ResourceLibrary english("Res_EN");
  ASSERT_TRUE(chinese.complete() && english.complete());
  EXPECT_EQ(chinese.api().language(), 1028u);
  EXPECT_EQ(english.api().language(), 1033u);
  EXPECT_NE(chinese.api().fontName(), english.api().fontName());
  EXPECT_EQ(chinese.api().language(), 1028u);  // still its own after the second opened
}

}  // namespace
