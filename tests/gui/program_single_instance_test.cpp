#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtNetwork/QLocalServer>

#include "app/program/single_instance.h"
#include "app/program/startup.h"
#include "config/config_keys.h"
#include "config/settings_access.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

using guitest::ProgramEnvironment;

// A channel name of its own for each test, so tests never meet a running
// program or each other.
QString UniqueName(const char* what) {
  static int counter = 0;
  return QStringLiteral("tesserix-test-%1-%2-%3")
      .arg(QCoreApplication::applicationPid())
      .arg(QLatin1String(what))
      .arg(++counter);
}

// Runs `work` on another thread while this one answers the channel, as the
// first instance's event loop would.
template <typename Work>
void RunBesideEventLoop(Work work) {
  std::atomic<bool> done = false;
  std::thread thread([&] {
    work();
    done = true;
  });
  QElapsedTimer clock;
  clock.start();
  while (!done && clock.elapsed() < 20000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  thread.join();
}

TEST(ProgramSingleInstance, ASecondStartIsForwardedAndTheFirstReceivesEveryName) {
  ProgramEnvironment env;
  const QString name = UniqueName("handover");
  SingleInstance first(name);
  ASSERT_EQ(first.Claim(), SingleInstance::Outcome::First);
  EXPECT_TRUE(first.listening());

  int raises = 0;
  std::vector<std::string> received;
  QObject::connect(&first, &SingleInstance::raiseRequested, [&raises] { ++raises; });
  QObject::connect(&first, &SingleInstance::commandReceived, [&](int id) {
    // What the main window does for command 121: read the name back.
    std::string value;
    ReadUserString(kTransferNameKey, "", value);
    received.push_back(std::to_string(id) + " " + value);
  });

  SingleInstance::Outcome outcome = SingleInstance::Outcome::First;
  bool handed = false;
  RunBesideEventLoop([&] {
    SingleInstance second(name);
    outcome = second.Claim();
    if (outcome == SingleInstance::Outcome::Running)
      handed = second.HandOver({"/photos/a b/one.jpg", "/photos/two.png"}, 10000);
  });
  EXPECT_EQ(outcome, SingleInstance::Outcome::Running);
  EXPECT_TRUE(handed);
  EXPECT_EQ(raises, 1);
  EXPECT_EQ(received, (std::vector<std::string>{"121 /photos/a b/one.jpg", "121 /photos/two.png"}));
}

TEST(ProgramSingleInstance, AChannelLeftByACrashedInstanceIsTakenOver) {
  ProgramEnvironment env;
  const QString name = UniqueName("stale");
  // A socket file that nobody listens on, as a killed instance leaves it.
  const QString path = QDir::tempPath() + QLatin1Char('/') + name;
  { std::ofstream(path.toStdString()) << ""; }
  SingleInstance instance(name);
  EXPECT_EQ(instance.Claim(), SingleInstance::Outcome::First);
  EXPECT_TRUE(instance.listening());
}

TEST(ProgramSingleInstance, HandingOverWithNobodyListeningFails) {
  ProgramEnvironment env;
  SingleInstance lonely(UniqueName("nobody"));
  EXPECT_FALSE(lonely.HandOver({"/photos/one.jpg"}, 500));
}

TEST(ProgramSingleInstance, ChannelNamesComeFromTheWholeExecutablePath) {
  EXPECT_EQ(SingleInstance::ServerNameFor("/opt/tesserix/bin/tesserix"),
            "_opt_tesserix_bin_tesserix");
  EXPECT_EQ(SingleInstance::ServerNameFor("C:\\Tesserix\\tesserix.exe"),
            "C__Tesserix_tesserix.exe");
  // Long paths stay usable as socket names and still tell installations apart.
  const QString tail = "/" + QString(120, u'x') + "/bin/tesserix";
  const QString a = SingleInstance::ServerNameFor("/home/ann" + tail);
  const QString b = SingleInstance::ServerNameFor("/home/bob" + tail);
  EXPECT_LE(a.size(), 80);
  EXPECT_NE(a, b);
  EXPECT_FALSE(a.contains(u'/'));
}

TEST(ProgramStartup, CommandLineNamesSkipOptionsAndBecomeAbsolute) {
  const QStringList arguments{
      "tesserix", "-debug", "/photos/My Trip/a.jpg", "relative/b.jpeg", "--x", "c.bmp", ""};
  EXPECT_EQ(CommandLineFiles(arguments, "/home/ann"),
            (std::vector<std::string>{"/photos/My Trip/a.jpg", "/home/ann/relative/b.jpeg",
                                      "/home/ann/c.bmp"}));
  EXPECT_TRUE(CommandLineFiles({"tesserix"}, "/home/ann").empty());
}

}  // namespace
}  // namespace tx
