// The print screen on the program's own window: the Print button and the
// printer set-up, the layout list, the size and copies arrows with their
// limits, the preview's repaints and printing into a PDF file.

#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>
#include <QtTest/QTest>

#include "app/printing/poster_printing.h"
#include "app/program/montage_path.h"
#include "app/views/print_preview.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

class PrintScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    m_configuration = env.ProgramConfiguration();
    m_registry = env.MakeRegistry(*m_configuration, false);
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
    // Every set-up chooses a PDF file on an A4 sheet unless a test says
    // otherwise.
    print().printerSetup = [this](QPrinter& printer) {
      ++setups;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf.string()));
      UseDefaultPage(printer);
      printer.setPageOrientation(orientation);
      return confirm;
    };
  }
  void TearDown() override {
    window.reset();
    m_path.reset();
    SetStartupSettings(StartupSettings{});
  }

  PrintScreen& print() { return *m_path->printScreen(); }
  SkinPanelWidget& panel() { return window->panel(); }

  void OpenTarget(int w, int h) {
    const PackedImage image = testing::MakePatternImage(w, h, 24);
    const fs::path file = env.dir.path() / "target.bmp";
    ASSERT_EQ(EzSaveFile(image.get(), file.string().c_str(), kSaveByExtension, nullptr), 0);
    ASSERT_TRUE(window->OpenTargetFile(file));
  }

  void Click(const std::string& command, int argument = 0) {
    guitest::ClickButton(panel(), window->screen(), command, argument);
  }

  void ClickListItem(int id, int item) { guitest::ClickListRow(panel(), id, item); }

  // The pages of the PDF file written.
  int PdfPages() {
    QFile file(QString::fromStdString(pdf.string()));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
  }

  guitest::ProgramEnvironment env;
  fs::path pdf = env.dir.path() / "print.pdf";
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  bool confirm = true;
  int setups = 0;
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

// Whether the canvas is white all over `rect`.
bool AllWhite(const QImage& canvas, const PrintRect& rect) {
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      if (canvas.pixel(x, y) != qRgb(255, 255, 255)) return false;
    }
  }
  return true;
}

TEST_F(PrintScreenTest, PrintNeedsAPictureAndAConfirmedSetUp) {
  Click("Print");
  EXPECT_EQ(env.sink->beeps, 1);
  EXPECT_EQ(setups, 0);
  EXPECT_EQ(window->screen(), kScreenHome);
  // The screen cannot be entered without the Print button.
  EXPECT_FALSE(window->GoToScreen(kScreenPrint));

  OpenTarget(200, 150);
  // A second Print while the set-up is open does nothing; a cancelled
  // set-up stays home.
  confirm = false;
  print().printerSetup = [this](QPrinter&) {
    ++setups;
    m_path->Print();
    return confirm;
  };
  env.sink->beeps = 0;
  Click("Print");
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(env.sink->beeps, 0);
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(print().preview(), nullptr);
}

TEST_F(PrintScreenTest, TheLayoutFollowsThePrinterAndTheLabelsShowTheSettings) {
  OpenTarget(300, 200);
  orientation = QPageLayout::Landscape;
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  EXPECT_EQ(print().settings().layout, 1);
  EXPECT_GT(print().metrics().width, print().metrics().height);
  EXPECT_EQ(print().layoutText(), CatalogueText(6402));
  EXPECT_EQ(print().sizeText(), QStringLiteral("100"));
  EXPECT_EQ(print().copiesText(), QStringLiteral("1"));
  EXPECT_TRUE(print().printedSizeText().endsWith(QLatin1Char('"')));
  ASSERT_NE(print().preview(), nullptr);
  EXPECT_TRUE(print().preview()->isVisible());
  EXPECT_EQ(print().preview()->geometry(), ToQRect(panel().panel().GetButtonRect(100)));

  Click("PrintCancel");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(print().preview(), nullptr);

  // A portrait printer makes the layout even again; centimetres when the
  // settings file asks for them.
  StartupSettings startup;
  startup.units = 1;
  SetStartupSettings(startup);
  orientation = QPageLayout::Portrait;
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  EXPECT_EQ(print().settings().layout, 0);
  EXPECT_LT(print().metrics().width, print().metrics().height);
  EXPECT_TRUE(print().printedSizeText().endsWith(QStringLiteral("cm")));
  EXPECT_EQ(env.sink->beeps, 0);
}

TEST_F(PrintScreenTest, ALayoutPickedFromTheListRedrawsLabelsAndPreview) {
  OpenTarget(100, 400);  // tall and narrow
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  const QString onePage = print().printedSizeText();

  Click("ChooseLayout");
  SkinnedList* list = panel().lists().FindList(kPrintLayoutList);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->store().count(), kLayoutCount);
  EXPECT_EQ(list->store().selection(), 0);
  // The open list covers the copies box, whose number gives way to it.
  QWidget* copies = nullptr;
  for (QWidget* child : panel().findChildren<QWidget*>()) {
    if (child->accessibleName() == print().copiesText()) copies = child;
  }
  ASSERT_NE(copies, nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !copies->isVisible(); }));
  ClickListItem(kPrintLayoutList, 6);
  EXPECT_EQ(panel().lists().FindList(kPrintLayoutList), nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return copies->isVisible(); }));
  EXPECT_EQ(print().settings().layout, 6);
  EXPECT_EQ(print().layoutText(), CatalogueText(6407));
  EXPECT_NE(print().printedSizeText(), onePage);

  // Only the middle column gets the tall picture: four empty white sheets
  // and two with their half of the picture.
  const PrintPreview& preview = *print().preview();
  ASSERT_EQ(preview.drawn().outlines.size(), 6u);
  int empty = 0;
  for (const PrintRect& sheet : preview.drawn().outlines)
    empty += AllWhite(preview.canvas(), sheet) ? 1 : 0;
  EXPECT_EQ(empty, 4);
  EXPECT_FALSE(AllWhite(preview.canvas(), preview.drawn().outlines[1]));
  EXPECT_FALSE(AllWhite(preview.canvas(), preview.drawn().outlines[4]));
  // Outside the sheets the square stays black.
  EXPECT_EQ(preview.canvas().pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(PrintScreenTest, CopiesAndSizeStopAtTheirLimitsWithABeep) {
  OpenTarget(300, 200);
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  Click("StepCopies", 1);
  EXPECT_EQ(print().copiesText(), QStringLiteral("2"));
  for (int i = 2; i < kMaxCopies; ++i)
    print().StepCopies(1);
  EXPECT_EQ(print().settings().copies, 100);
  EXPECT_EQ(env.sink->beeps, 0);
  Click("StepCopies", 1);
  EXPECT_EQ(print().settings().copies, 100);
  EXPECT_EQ(print().copiesText(), QStringLiteral("100"));
  EXPECT_EQ(env.sink->beeps, 1);

  Click("StepSize", 1);
  EXPECT_EQ(env.sink->beeps, 2);
  Click("StepSize", -1);
  EXPECT_EQ(print().sizeText(), QStringLiteral("99"));
  for (int i = 99; i > kMinSizePercent; --i)
    print().StepSizePercent(-1);
  EXPECT_EQ(print().settings().sizePercent, 50);
  EXPECT_EQ(env.sink->beeps, 2);
  print().StepSizePercent(-1);
  EXPECT_EQ(print().settings().sizePercent, 50);
  EXPECT_EQ(env.sink->beeps, 3);
}

// A preview changed step by step shows exactly what one drawn afresh shows.
TEST_F(PrintScreenTest, SizeStepsLeaveNoRemainsOfTheLargerPicture) {
  QImage picture(240, 500, QImage::Format_RGB32);
  picture.fill(qRgb(200, 30, 30));
  PrinterMetrics a4;
  a4.width = 2480;
  a4.height = 3508;
  a4.dpiX = a4.dpiY = 300;
  for (int layout : {0, 3, 4, 6}) {
    PrintPreview stepped(nullptr);
    stepped.SetPicture(picture, a4, layout, 100);
    stepped.SetSizePercent(99);
    PrintPreview fresh(nullptr);
    fresh.SetPicture(picture, a4, layout, 99);
    EXPECT_EQ(stepped.canvas(), fresh.canvas()) << "layout " << layout << " down to 99";

    // Back up: the larger picture covers the smaller one.
    stepped.SetSizePercent(100);
    fresh.SetSizePercent(50);
    fresh.SetPicture(picture, a4, layout, 100);
    EXPECT_EQ(stepped.canvas(), fresh.canvas()) << "layout " << layout << " up to 100";
  }
  // Without a picture nothing is drawn.
  PrintPreview none(nullptr);
  none.SetPicture(QImage(), a4, 0, 100);
  EXPECT_FALSE(none.hasPicture());
  EXPECT_TRUE(none.canvas().isNull());
}

TEST_F(PrintScreenTest, PrintingWritesAPagePerNonEmptySheetAndReturnsHome) {
  OpenTarget(100, 400);
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  print().SetLayout(6);
  Click("PrintNow");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(print().preview(), nullptr);
  EXPECT_EQ(print().lastSheetsPrinted(), 2);
  EXPECT_EQ(PdfPages(), 2);

  // The settings stay for the run: layout 4 on a wide picture fills all
  // four sheets.
  OpenTarget(400, 300);
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  EXPECT_EQ(print().settings().layout, 6);
  print().SetLayout(4);
  print().PrintNow();
  EXPECT_EQ(print().lastSheetsPrinted(), 4);
  EXPECT_EQ(PdfPages(), 4);
  EXPECT_TRUE(env.sink->shown.empty());
  EXPECT_EQ(env.sink->beeps, 0);
}

TEST_F(PrintScreenTest, APrinterThatCannotPrintSaysSo) {
  OpenTarget(300, 200);
  // A PDF file in a folder that does not exist cannot be written.
  pdf = env.dir.path() / "missing" / "print.pdf";
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  Click("PrintNow");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_NE(print().lastPrintMessage(), 0u);
  EXPECT_EQ(print().lastSheetsPrinted(), 0);
  ASSERT_EQ(env.sink->shown.size(), 1u);
  EXPECT_EQ(env.sink->shown[0], LoadText(print().lastPrintMessage()));

  // A printer that is neither a file nor a known system printer is refused
  // before anything is sent.
  print().printerSetup = [](QPrinter& printer) {
    printer.setOutputFileName(QString());
    printer.setPrinterName(QStringLiteral("no such printer"));
    return true;
  };
  Click("Print");
  ASSERT_EQ(window->screen(), kScreenPrint);
  Click("PrintNow");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(print().lastPrintMessage(), CheckPrinter(print().printer()));
  EXPECT_NE(print().lastPrintMessage(), 0u);
  EXPECT_EQ(print().lastSheetsPrinted(), 0);
  ASSERT_EQ(env.sink->shown.size(), 2u);
  EXPECT_EQ(env.sink->shown[1], LoadText(print().lastPrintMessage()));
}

}  // namespace
}  // namespace tx
