// SPDX-License-Identifier: MIT
// The portal keyboard against a fake portal (fake_portal.py) on a private
// session bus: portal_test PYTHON FAKE_PORTAL, run under dbus-run-session.
#include "platform/portal/portal_keyboard.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QThread>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/scratch_dir.h"
#include "base/text.h"
#include "platform/portal/restore_token.h"
#include "platform/xkb/test_keymaps.h"
#include "playback/typekeys.h"

namespace tavrino {
namespace {

QStringList fake_command;  // the interpreter and the script, from the command line

const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

bool portal_registered() {
  return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortalName).value();
}

// Waits up to 10 seconds for `done`, letting the event loop run.
template <typename Done>
bool wait_for(Done done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  return done();
}

// One fake portal for a test, with its log.
class FakePortal {
 public:
  explicit FakePortal(const ScratchDir& dir, QStringList options = {})
      : log_(dir.path() / "portal.log") {
    QStringList arguments = fake_command.mid(1);
    arguments << QString::fromStdString(log_.string()) << options;
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(fake_command.first(), arguments);
    ready_ = process_.waitForStarted() && wait_for([this] {
               return portal_registered() || process_.state() == QProcess::NotRunning;
             }) &&
             portal_registered();
  }
  ~FakePortal() {
    process_.terminate();
    process_.waitForFinished();
    // The next test's portal must not meet this one on the bus.
    wait_for([] { return !portal_registered(); });
  }
  bool ready() const { return ready_; }

  // The calls so far, one a line, without the first ("ready").
  std::vector<std::string> calls() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (line != "ready") lines.push_back(line);
    }
    return lines;
  }
  // The same as one line: "CreateSession, Start, key 0x34 down, ...".
  std::string log() const {
    std::string joined;
    for (const std::string& call : calls()) joined += (joined.empty() ? "" : ", ") + call;
    return joined;
  }
  std::size_t count(const std::string& prefix) const {
    std::size_t n = 0;
    for (const std::string& line : calls()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

 private:
  std::filesystem::path log_;
  QProcess process_;
  bool ready_ = false;
};

ResultSheet sheet_of(std::vector<std::u16string> values) {
  ResultSheet sheet;
  sheet.itemcount = static_cast<std::int16_t>(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) sheet.itemvalue[i] = values[i];
  return sheet;
}

// Runs a playback as the window does, the event loop turning between steps.
Status play(const ResultSheet& sheet, Keyboard& keyboard) {
  Playback playback(sheet, keyboard);
  while (const auto delay = playback.step()) {
    QCoreApplication::processEvents();
    QThread::msleep(static_cast<unsigned long>(delay->count()));
  }
  return playback.result();
}

class PortalKeyboardTest : public ::testing::Test {
 protected:
  PortalKeyboardOptions options() {
    PortalKeyboardOptions made;
    made.show_status = [this](std::u16string_view text) { statuses.emplace_back(text); };
    made.read_keymap = [](std::string& text) {
      text = keymap_text_for("us");
      return Status::success();
    };
    made.token_file = dir.path() / "token";
    made.answer_wait = std::chrono::seconds(10);
    return made;
  }

  ScratchDir dir;
  std::vector<std::u16string> statuses;
};

TEST_F(PortalKeyboardTest, AsksOnceThenTypesEveryKeyAndClosesTheSession) {
  FakePortal portal(dir);
  ASSERT_TRUE(portal.ready());
  PortalKeyboard keyboard(options());
  const Status result = play(sheet_of({u"45", u"A+(b)"}), keyboard);
  EXPECT_TRUE(result) << utf16_to_utf8(result.message());
  // Version 1 persists nothing. A Shift tap wakes the session up; for a
  // capital the compositor presses Shift itself.
  EXPECT_EQ(portal.log(),
            "GetAll org.freedesktop.portal.RemoteDesktop, CreateSession, SelectDevices types=1, "
            "Start, key 0xffe1 down, key 0xffe1 up, key 0x34 down, key 0x34 up, key 0x35 down, "
            "key 0x35 up, key 0xff09 down, key 0xff09 up, key 0x41 down, key 0x41 up, "
            "key 0xffe1 down, key 0x62 down, key 0x62 up, key 0xffe1 up, key 0xff09 down, "
            "key 0xff09 up, Session.Close");
  // The window said why the dialog came, and took the line away after it.
  ASSERT_EQ(statuses.size(), 2u);
  EXPECT_NE(statuses[0].find(u"asks whether tavrino may type"), std::u16string::npos);
  EXPECT_EQ(statuses[1], u"");
}

TEST_F(PortalKeyboardTest, ACancelledOrRefusedDialogTypesNothingAndSaysSo) {
  const std::pair<const char*, std::u16string> answers[] = {{"1", u"cancelled"},
                                                            {"2", u"did not allow"}};
  for (const auto& [response, reason] : answers) {
    SCOPED_TRACE(response);
    const ScratchDir run;
    FakePortal portal(run, {QStringLiteral("--start-response"), QString::fromLatin1(response)});
    ASSERT_TRUE(portal.ready());
    PortalKeyboard keyboard(options());
    const Status result = play(sheet_of({u"45"}), keyboard);
    EXPECT_EQ(result.message().rfind(u"Nothing was typed", 0), 0u);
    EXPECT_NE(result.message().find(reason), std::u16string::npos);
    EXPECT_EQ(portal.count("key"), 0u);
    EXPECT_EQ(portal.count("Session.Close"), 1u);
  }
}

TEST_F(PortalKeyboardTest, TheDesktopClosingTheSessionStopsTheTyping) {
  // The tap, then 45 and Tab, then the session ends in the middle of 52.
  FakePortal portal(dir, {QStringLiteral("--close-after"), QStringLiteral("9")});
  ASSERT_TRUE(portal.ready());
  PortalKeyboard keyboard(options());
  const Status result = play(sheet_of({u"45", u"52", u"38", u"61"}), keyboard);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.message().rfind(u"Typing stopped after 1 of 4 entries: ", 0), 0u)
      << utf16_to_utf8(result.message());
  EXPECT_NE(result.message().find(u"desktop"), std::u16string::npos)
      << utf16_to_utf8(result.message());
  // No key went through after the end.
  EXPECT_EQ(portal.count("key"), 9u);
  const std::string log = portal.log();
  const std::size_t closed = log.find("Closed");
  ASSERT_NE(closed, std::string::npos);
  EXPECT_EQ(log.find("key", closed), std::string::npos);
}

TEST_F(PortalKeyboardTest, FromVersionTwoEachRunUsesTheLastTokenAndStoresTheNextOne) {
  FakePortal portal(dir, {QStringLiteral("--version"), QStringLiteral("2")});
  ASSERT_TRUE(portal.ready());
  const PortalKeyboardOptions made = options();
  ASSERT_TRUE(write_restore_token(made.token_file, "from-before"));
  for (int run = 1; run <= 2; ++run) {
    PortalKeyboard keyboard(made);
    const Status result = play(sheet_of({u"7"}), keyboard);
    EXPECT_TRUE(result) << utf16_to_utf8(result.message());
    EXPECT_EQ(read_restore_token(made.token_file), "token-" + std::to_string(run));
  }
  // The second run asks with the token the first stored.
  const std::string log = portal.log();
  const std::size_t first =
      log.find("SelectDevices types=1 persist_mode=2 restore_token=from-before,");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("SelectDevices types=1 persist_mode=2 restore_token=token-1,", first),
            std::string::npos);
}

TEST_F(PortalKeyboardTest, ACharacterTheDesktopsLayoutLacksIsRefusedBeforeTheDialog) {
  FakePortal portal(dir);
  ASSERT_TRUE(portal.ready());
  PortalKeyboard keyboard(options());
  const Status result = play(sheet_of({u"45", u"Zoë"}), keyboard);
  // Named by its entry and the character.
  EXPECT_NE(result.message().find(u"entry 2 (\"Zoë\")"), std::u16string::npos);
  EXPECT_NE(result.message().find(u"no key for \"ë\""), std::u16string::npos);
  EXPECT_EQ(portal.count("CreateSession"), 0u);
  EXPECT_TRUE(statuses.empty());
}

TEST_F(PortalKeyboardTest, APortalWithoutAKeyboardIsNoWayToType) {
  FakePortal portal(dir, {QStringLiteral("--device-types"), QStringLiteral("2")});
  ASSERT_TRUE(portal.ready());
  PortalKeyboard keyboard(options());
  const Keyboard::Opened opened = keyboard.begin();
  EXPECT_FALSE(opened.status);
  EXPECT_NE(opened.status.message().find(u"portal"), std::u16string::npos);
}

}  // namespace
}  // namespace tavrino

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) tavrino::fake_command << QString::fromLocal8Bit(argv[i]);
  if (tavrino::fake_command.size() < 2) {
    std::fputs("usage: portal_test PYTHON FAKE_PORTAL (under dbus-run-session)\n", stderr);
    return 64;
  }
  return RUN_ALL_TESTS();
}
