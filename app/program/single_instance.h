#pragma once
// One instance per installation.
//
// The first instance listens on a local socket named after its executable's
// path; a later start of the same executable connects to it, asks it to come
// forward and hands over its file names, each written to TransferName in the
// user profile and followed by command 121, which the first instance's main
// window answers by reading the name back. Every request is answered, so a
// name is never overwritten before the first instance has read it.

#include <functional>
#include <string>
#include <vector>

#include <QtCore/QObject>
#include <QtCore/QString>

class QLocalServer;
class QLocalSocket;

namespace tx {

/// The command that asks the main window to open TransferName.
inline constexpr int kCmdOpenTransferName = 121;
/// The user-profile key that carries a handed-over file name.
inline constexpr char kTransferNameKey[] = "TransferName";
/// How long a later start waits for the first instance to answer.
inline constexpr int kHandOverTimeoutMs = 30000;

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Outcome {
    /// No instance ran: this one now listens and is the first.
    First,
    /// Another instance of ours runs (this process should end).
    Running,
    /// The channel belongs to another user's session.
    OtherSession,
  };

  /// `serverName`: the channel's name (ServerNameFor of the executable).
  explicit SingleInstance(QString serverName, QObject* parent = nullptr);
  ~SingleInstance() override;

  /// The channel name of an executable: its full path with every '/', '\'
  /// and ':' turned into '_'; a path too long for a socket name keeps its
  /// end behind a hash of the whole.
  static QString ServerNameFor(const QString& executablePath);

  /// Looks for a running instance; when there is none, starts listening.
  Outcome Claim();

  /// From a later start: asks the first instance to come forward, then hands
  /// over `names` one at a time (TransferName, then command 121, waiting for
  /// the answer). False when the first instance stopped answering or a name
  /// could not be written (that name and the rest are not sent).
  bool HandOver(const std::vector<std::string>& names, int timeoutMs = kHandOverTimeoutMs);

  const QString& serverName() const { return m_name; }
  bool listening() const;

 signals:
  /// A later start asks this instance's window to come forward.
  void raiseRequested();
  /// A later start sends command `id` (121: open TransferName).
  void commandReceived(int id);

 private:
  void OnNewConnection();
  void ServeAll();
  void Serve(QLocalSocket* socket);
  bool Request(QLocalSocket& socket, const QByteArray& line, int timeoutMs);

  QString m_name;
  QLocalServer* m_server = nullptr;
  std::vector<QLocalSocket*> m_clients;
  // True while a request is being answered: a dialog opened by the answer
  // runs its own event loop, and further requests wait until it is over.
  bool m_serving = false;
};

}  // namespace tx
