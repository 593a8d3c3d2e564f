#include <gtest/gtest.h>

#include <functional>

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QMessageBox>

#include "app/program/qt_notice_sink.h"
#include "tests/gui/gui_support.h"

namespace tx {
namespace {

// Answers the next message box once it is up: records its parent and text,
// then presses `button` (or Esc when it is NoButton).
void AnswerNextBox(QMessageBox::StandardButton button, QWidget** parent, QString* text) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      ADD_FAILURE() << "no message box";
      return;
    }
    *parent = box->parentWidget();
    *text = box->text();
    if (button == QMessageBox::NoButton) {
      QTest::keyClick(box, Qt::Key_Escape);
    } else {
      box->button(button)->click();
    }
  });
}

TEST(ProgramNoticeSink, BoxesBelongToTheMainWindowAndEscTakesTheSafeAnswer) {
  guitest::App();
  QWidget mainWindow;
  QWidget other;
  QtNoticeSink sink(&mainWindow);
  QWidget* parent = nullptr;
  QString text;

  AnswerNextBox(QMessageBox::Yes, &parent, &text);
  EXPECT_EQ(sink.AskYesNoCancel("save?", "Tesserix"), NoticeAnswer::Yes);
  EXPECT_EQ(parent, &mainWindow);
  EXPECT_EQ(text, "save?");

  // Closing the box without a choice never means yes.
  AnswerNextBox(QMessageBox::NoButton, &parent, &text);
  EXPECT_EQ(sink.AskYesNoCancel("save?", "Tesserix"), NoticeAnswer::Cancel);
  AnswerNextBox(QMessageBox::NoButton, &parent, &text);
  EXPECT_EQ(sink.AskYesNo("go on?", "Tesserix"), NoticeAnswer::No);

  // An owner that is one of our widgets parents the box; any other pointer
  // is not trusted.
  AnswerNextBox(QMessageBox::Ok, &parent, &text);
  EXPECT_EQ(sink.Ask(&other, "note", "Tesserix", NoticeButtons::Ok, NoticeIcon::Warning),
            NoticeAnswer::Ok);
  EXPECT_EQ(parent, &other);
  const int notAWidget = 0;
  AnswerNextBox(QMessageBox::Ok, &parent, &text);
  sink.Ask(&notAWidget, "note", "Tesserix", NoticeButtons::Ok, NoticeIcon::None);
  EXPECT_EQ(parent, &mainWindow);
}

}  // namespace
}  // namespace tx
