#include "app/program/qt_notice_sink.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

namespace tx {
namespace {

QMessageBox::Icon BoxIcon(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::None:
      return QMessageBox::NoIcon;
    case NoticeIcon::Information:
      return QMessageBox::Information;
    case NoticeIcon::Warning:
      return QMessageBox::Warning;
    case NoticeIcon::Error:
      return QMessageBox::Critical;
    case NoticeIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(NoticeButtons buttons) {
  switch (buttons) {
    case NoticeButtons::Ok:
      return QMessageBox::Ok;
    case NoticeButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case NoticeButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case NoticeButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

NoticeAnswer AnswerOf(int button, NoticeButtons buttons) {
  switch (button) {
    case QMessageBox::Ok:
      return NoticeAnswer::Ok;
    case QMessageBox::Yes:
      return NoticeAnswer::Yes;
    case QMessageBox::No:
      return NoticeAnswer::No;
    default:
      // A box closed with Esc or the window manager: the safe answer.
      if (buttons == NoticeButtons::YesNo) return NoticeAnswer::No;
      if (buttons == NoticeButtons::Ok) return NoticeAnswer::Ok;
      return NoticeAnswer::Cancel;
  }
}

}  // namespace

QWidget* QtNoticeSink::Parent(NoticeOwner owner) const {
  if (owner != nullptr) {
    // The engine's owner is opaque; only a widget that really lives here is used.
    for (QWidget* widget : QApplication::allWidgets()) {
      if (static_cast<const void*>(widget) == owner) return widget;
    }
  }
  return m_mainWindow.data();
}

void QtNoticeSink::Show(const std::string& text, const std::string& title, NoticeIcon icon) {
  Ask(nullptr, text, title, NoticeButtons::Ok, icon);
}

NoticeAnswer QtNoticeSink::AskYesNo(const std::string& text, const std::string& title) {
  return Ask(nullptr, text, title, NoticeButtons::YesNo, NoticeIcon::Question);
}

NoticeAnswer QtNoticeSink::AskYesNoCancel(const std::string& text, const std::string& title) {
  return Ask(nullptr, text, title, NoticeButtons::YesNoCancel, NoticeIcon::Question);
}

void QtNoticeSink::Beep() {
  QApplication::beep();
}

NoticeAnswer QtNoticeSink::Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                               NoticeButtons buttons, NoticeIcon icon) {
  QMessageBox box(BoxIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                  BoxButtons(buttons), Parent(owner));
  box.setWindowModality(Qt::ApplicationModal);
  return AnswerOf(box.exec(), buttons);
}

}  // namespace tx
