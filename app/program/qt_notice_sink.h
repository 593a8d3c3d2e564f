#pragma once
// The notice interface answered with Qt message boxes: the engine's messages
// and questions appear as modal boxes over the main window, and the beep is
// the desktop's.

#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include "platform/notices.h"

namespace tx {

class QtNoticeSink : public NoticeSink {
 public:
  /// `mainWindow` parents every box whose owner is null; it may be set later
  /// (boxes shown before it exists have no parent).
  explicit QtNoticeSink(QWidget* mainWindow = nullptr) : m_mainWindow(mainWindow) {}
  void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }

  void Show(const std::string& text, const std::string& title, NoticeIcon icon) override;
  NoticeAnswer AskYesNo(const std::string& text, const std::string& title) override;
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) override;
  void Beep() override;
  /// A non-null `owner` parents the box when it is one of the application's
  /// live widgets; any other pointer is ignored and the main window used.
  NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                   NoticeButtons buttons, NoticeIcon icon) override;

 private:
  QWidget* Parent(NoticeOwner owner) const;

  QPointer<QWidget> m_mainWindow;
};

}  // namespace tx
