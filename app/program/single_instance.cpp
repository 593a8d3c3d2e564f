#include "app/program/single_instance.h"

#include <algorithm>

#include <QtCore/QCryptographicHash>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

#include "app/program/program_log.h"
#include "config/settings_access.h"

namespace tx {
namespace {

// The requests of the channel, one line each, each answered by kAnswer.
constexpr char kRaise[] = "RAISE";
constexpr char kCommand[] = "COMMAND ";
constexpr char kAnswer[] = "OK";
// A request line never grows beyond this; a longer one drops the client.
constexpr qint64 kMaxLineBytes = 256;
// Room a socket path needs beside the name (the temporary folder).
constexpr int kMaxServerNameChars = 80;
constexpr int kKeptTailChars = 48;
constexpr int kConnectTimeoutMs = 2000;

}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_name(std::move(serverName)) {}

SingleInstance::~SingleInstance() {
  if (m_server != nullptr) m_server->close();
}

QString SingleInstance::ServerNameFor(const QString& executablePath) {
  QString name = executablePath;
  for (QChar& c : name) {
    if (c == u'/' || c == u'\\' || c == u':') c = u'_';
  }
  if (name.size() <= kMaxServerNameChars) return name;
  const QByteArray hash =
      QCryptographicHash::hash(executablePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
  return QString::fromLatin1(hash) + name.right(kKeptTailChars);
}

bool SingleInstance::listening() const {
  return m_server != nullptr && m_server->isListening();
}

SingleInstance::Outcome SingleInstance::Claim() {
  {
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(kConnectTimeoutMs)) {
      probe.disconnectFromServer();
      return Outcome::Running;
    }
    // Another user's instance owns a channel we may not open.
    if (probe.error() == QLocalSocket::SocketAccessError) return Outcome::OtherSession;
  }
  // Nobody answers: a channel left by a crashed instance is removed first.
  QLocalServer::removeServer(m_name);
  m_server = new QLocalServer(this);
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(m_name)) {
    ProgramLog("single instance: cannot listen: " + m_server->errorString().toStdString());
    const bool inUse = m_server->serverError() == QAbstractSocket::AddressInUseError;
    delete m_server;
    m_server = nullptr;
    // A channel that exists but can be neither opened nor replaced is
    // another session's; any other failure lets this instance run alone.
    return inUse ? Outcome::OtherSession : Outcome::First;
  }
  connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
  return Outcome::First;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    m_clients.push_back(socket);
    connect(socket, &QLocalSocket::readyRead, this, &SingleInstance::ServeAll);
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), socket), m_clients.end());
      socket->deleteLater();
    });
  }
  ServeAll();
}

void SingleInstance::ServeAll() {
  if (m_serving) return;
  m_serving = true;
  // Answering may run a nested event loop that brings more requests; they are
  // served here, in turn, once the current one is done.
  bool served = true;
  while (served) {
    served = false;
    const std::vector<QLocalSocket*> clients = m_clients;
    for (QLocalSocket* socket : clients) {
      if (std::find(m_clients.begin(), m_clients.end(), socket) == m_clients.end()) continue;
      if (socket->canReadLine()) {
        Serve(socket);
        served = true;
      } else if (socket->bytesAvailable() > kMaxLineBytes) {
        socket->abort();
      }
    }
  }
  m_serving = false;
}

void SingleInstance::Serve(QLocalSocket* socket) {
  const QByteArray line = socket->readLine(kMaxLineBytes + 1).trimmed();
  if (line == kRaise) {
    ProgramLog("single instance: raise");
    emit raiseRequested();
  } else if (line.startsWith(kCommand)) {
    bool ok = false;
    const int id = line.mid(int(sizeof(kCommand) - 1)).toInt(&ok);
    ProgramLog("single instance: command " + std::to_string(id));
    if (ok) emit commandReceived(id);
  } else {
    socket->abort();
    return;
  }
  // The socket may have gone while the request was answered.
  if (std::find(m_clients.begin(), m_clients.end(), socket) == m_clients.end()) return;
  socket->write(QByteArray(kAnswer) + '\n');
  socket->flush();
}

bool SingleInstance::Request(QLocalSocket& socket, const QByteArray& line, int timeoutMs) {
  socket.write(line + '\n');
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  while (!socket.canReadLine()) {
    if (!socket.waitForReadyRead(timeoutMs)) return false;
  }
  return socket.readLine(kMaxLineBytes + 1).trimmed() == kAnswer;
}

bool SingleInstance::HandOver(const std::vector<std::string>& names, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(m_name);
  if (!socket.waitForConnected(timeoutMs)) return false;
  if (!Request(socket, kRaise, timeoutMs)) return false;
  for (const std::string& name : names) {
    // A name that cannot be written is not announced: the first instance
    // would read an older name back and open the wrong file.
    if (!WriteUserString(kTransferNameKey, name)) return false;
    ProgramLog("hand over " + name);
    if (!Request(socket, QByteArray(kCommand) + QByteArray::number(kCmdOpenTransferName),
                 timeoutMs))
      return false;
  }
  socket.disconnectFromServer();
  return true;
}

}  // namespace tx
