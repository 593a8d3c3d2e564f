#pragma once
// The notice interface: how the engine shows messages and asks questions.
//
// The engine never draws a message box itself; it calls the current notice
// sink. The interface installs one that answers with dialogs, the
// command-line tool keeps the default one, which writes to stderr and takes
// each question's default answer. Texts are UTF-8.

#include <functional>
#include <memory>
#include <string>

namespace tx {

enum class NoticeIcon { None, Information, Warning, Error, Question };

/// Answers to the questions, numbered as the platform's message boxes number them.
enum class NoticeAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

/// The buttons of a notice.
enum class NoticeButtons { Ok, OkCancel, YesNo, YesNoCancel };

/// The window a notice belongs to, opaque to the engine; null means the main
/// window. The interface's sink parents its box to it.
using NoticeOwner = const void*;

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  /// Shows a message with an OK button and waits until it is dismissed.
  virtual void Show(const std::string& text, const std::string& title, NoticeIcon icon) = 0;
  /// Asks a question with Yes and No; returns Yes or No.
  virtual NoticeAnswer AskYesNo(const std::string& text, const std::string& title) = 0;
  /// Asks a question with Yes, No and Cancel.
  virtual NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) = 0;
  /// The short warning sound for a command that has nothing to act on.
  virtual void Beep() = 0;
  /// The general form: any button set, an icon and an owner. Returns the
  /// button chosen (Ok for a plain notice). By default it is answered with
  /// the calls above, OK/Cancel asked as Yes/No.
  virtual NoticeAnswer Ask(NoticeOwner owner, const std::string& text, const std::string& title,
                           NoticeButtons buttons, NoticeIcon icon);
};

/// Writes every notice to stderr; questions get the answer given at
/// construction (Yes by default, so headless runs go on).
class StderrNoticeSink : public NoticeSink {
 public:
  explicit StderrNoticeSink(NoticeAnswer answer = NoticeAnswer::Yes) : m_answer(answer) {}
  void Show(const std::string& text, const std::string& title, NoticeIcon icon) override;
  NoticeAnswer AskYesNo(const std::string& text, const std::string& title) override;
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string& title) override;
  void Beep() override;

 private:
  NoticeAnswer m_answer;
};

/// The sink in use; a StderrNoticeSink until another is installed.
std::shared_ptr<NoticeSink> Notices();

/// Installs `sink` and returns the previous one (tests restore it).
std::shared_ptr<NoticeSink> SetNoticeSink(std::shared_ptr<NoticeSink> sink);

/// Turns a string id of the message catalogue into its text. The resource
/// binding installs the real resolver; until then ids read as "#<id>".
using StringResolver = std::function<std::string(int id)>;
void SetStringResolver(StringResolver resolver);
std::string ResolveString(int id);

/// Shows catalogue text `id` with the program name as title.
void ShowNoticeId(int id, NoticeIcon icon = NoticeIcon::Information);

}  // namespace tx
