// SPDX-License-Identifier: MIT
// Bad input from every side the user can give it: a data file, a value that
// cannot be typed, a countdown text, a keyboard that fails. Each is answered
// with one message that says what is wrong and where, and leaves the sheet,
// the window and the target program as they were, with nothing stuck: the
// next START works as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/scratch_dir.h"
#include "base/text.h"
#include "playback/countdown.h"
#include "playback/fake_keyboard.h"
#include "sheet/file_reader.h"
#include "window/fakes.h"
#include "window/form1.h"
#include "window/layout.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kTypicalKeys = u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]";

// The window's logic over fakes, after start-up and a load of the typical
// file, so that every field and control holds something a bad input could
// disturb.
struct Window : FakeWindow {
  Window() {
    if (!load_typical()) throw std::runtime_error("typical file refused");
  }

  // START, then ticks until the count of 5 has run out.
  void start_and_wait() {
    form.cmdStart_Click();
    ticks(6);
  }

  // Every control's text or caption and enabled state, one per line.
  std::string screen() const {
    std::string out;
    for (const ControlLayout& control : form1_layout()) {
      out += std::string(control.name) + " " + printable(controls.shown(control.id)) +
             (controls.enabled(control.id) ? " on\n" : " off\n");
    }
    return out;
  }
};

// Whether `text` holds `part`, saying what it does hold when not.
testing::AssertionResult contains(std::u16string_view text, std::u16string_view part) {
  if (text.find(part) != std::u16string_view::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << printable(text) << " does not contain " << printable(part);
}

using MakeFile = std::function<fs::path(const ScratchDir& dir)>;

MakeFile content(std::string bytes) {
  return [bytes](const ScratchDir& dir) { return dir.write("data.ipt", bytes); };
}

// A file of 4 GB that takes no room on the disk: refused by its size, not
// after reading it.
fs::path sparse_file(const ScratchDir& dir) {
  const fs::path path = dir.write("disk.img", "3\nany\nA\n1\n");
  fs::resize_file(path, std::uintmax_t{4} << 30);
  return path;
}

// A name in Latin-1, as old USB sticks hold them; skipped where paths are
// UTF-16.
fs::path latin1_name(const ScratchDir& dir) {
  if (fs::path::preferred_separator != '/') return {};
  return dir.write(std::string("Zo\xEB M\xFCller.ipt"),
                   "1\nany\nZo\xEB\n45\nany\nany\n7A\nany\nArt\nany\nFinal\nT3\n");
}

TEST(BadInput, DataFiles) {
  const struct {
    const char* what;
    MakeFile make;
    // A distinctive part of the message; empty when the file is accepted.
    std::u16string message;
    // Accepted files: what the list pane shows and what START then types.
    std::u16string pane = {};
    std::u16string keys = {};
  } cases[] = {
      {"missing file", [](const ScratchDir& dir) { return dir.path() / "missing.ipt"; },
       u"No such file or directory."},
      // Accepted: not UTF-8 as a whole, so read as Windows-1252, where 0x80 is
      // the euro sign (Latin-1 would make it a control character).
      {"invalid UTF-8, read as Windows-1252",
       content("2\nany\nJ\xF6rg_%_Zo\xEB\n1_%_2\x80\nany\nany\n7A\nany\nArt\nany\nFinal\nT3\n"),
       u"", u"1. J\u00F6rg\t\t1\r\n2. Zo\u00EB\t\t2\u20AC\r\n", u"1 [TAB] 2 \u20AC [TAB]"},
      {"unterminated quote", content("3\nany\n\"Ann_%_Bob\n45_%_52\n"),
       u"The quoted item that starts on line 3 of"},
      {"4 GB sparse file", sparse_file, u"is larger than 16 MB"},
      {"name that is not UTF-8", latin1_name, u"", u"1. Zo\u00EB\t\t45\r\n", u"4 5 [TAB]"},
  };

  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    const ResultSheet sheet_before = w.sheet;
    const std::string screen_before = w.screen();
    const fs::path path = c.make(dir);
    if (path.empty()) continue;

    w.open(path_text(path));

    if (c.message.empty()) {
      EXPECT_TRUE(w.messages.shown().empty()) << utf16_to_utf8(w.only_message());
      EXPECT_EQ(w.controls.shown(ControlId::lbltext), c.pane);
      EXPECT_EQ(w.controls.shown(ControlId::txtfile), path_text(path));
    } else {
      EXPECT_TRUE(contains(w.only_message(), c.message));
      EXPECT_TRUE(contains(w.only_message(), tavrino::quoted(path_text(path))));
      EXPECT_TRUE(w.sheet == sheet_before);
      EXPECT_EQ(w.screen(), screen_before);
    }
    EXPECT_EQ(w.typed(), u"");

    // Nothing is left stuck: the next START types the sheet as it stands.
    w.start_and_wait();
    EXPECT_EQ(w.typed(), c.message.empty() ? c.keys : kTypicalKeys);
    EXPECT_FALSE(w.controls.timer_on());
    EXPECT_EQ(w.messages.shown().size(), c.message.empty() ? 0u : 1u);
  }
}

TEST(BadInput, ValuesThatCannotBeTyped) {
  const struct {
    std::string value;  // entry 2, after a good one, so a partial typing would show
    std::u16string problem;
  } cases[] = {
      {"B+", u"at character 2"},
      // Alt pressed alone would open the target's menu bar.
      {"%{x 0}", u"at character 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Window w;
    ScratchFile file("2\nany\nAnn_%_Bob\n45_%_" + c.value + "\nany\nany\n7A\nany\nM\nany\nE\nN\n");
    ASSERT_TRUE(w.form.open_path(file.path()));
    const ResultSheet loaded = w.sheet;

    w.start_and_wait();

    EXPECT_EQ(w.typed(), u"");
    EXPECT_TRUE(contains(w.only_message(), u"Entry 2 (" + utf8_to_utf16("\"" + c.value + "\")")));
    EXPECT_TRUE(contains(w.only_message(), c.problem));
    EXPECT_EQ(w.controls.shown(ControlId::txtTime), kCountdownReset);
    EXPECT_FALSE(w.controls.timer_on());
    EXPECT_TRUE(w.sheet == loaded);
  }
}

TEST(BadInput, CountdownOutOfRange) {
  for (const std::u16string box : {u"99999", u"-32769"}) {
    SCOPED_TRACE(utf16_to_utf8(box));
    Window w;
    w.controls.user_types(ControlId::txtTime, box);

    w.form.cmdStart_Click();
    w.tick();

    EXPECT_EQ(w.only_message(), countdown_range_message());
    EXPECT_EQ(w.typed(), u"");
    EXPECT_EQ(w.controls.shown(ControlId::txtTime), box);
    EXPECT_FALSE(w.controls.timer_on());

    // The user corrects the box and starts again.
    w.start_now();
    w.tick();
    EXPECT_EQ(w.typed(), kTypicalKeys);
  }
}

// A keyboard that fails part-way: the modifier it held is let go, and the
// message says how far typing got and where to go on.
TEST(BadInput, KeyboardFails) {
  Window w;
  ScratchFile file("3\nany\nA_%_B_%_C\n4_%_+(ab)_%_^c\nany\nany\n7A\nany\nM\nany\nE\nN\n");
  ASSERT_TRUE(w.form.open_path(file.path()));
  // Event 4 is the "b" in "+(ab)", with Shift held for the group.
  w.keyboard.fail_at(4, u"The display went away.");

  w.start_and_wait();

  EXPECT_EQ(w.typed(), u"4 [TAB] [SHIFT down] a [SHIFT up]");
  EXPECT_TRUE(w.keyboard.held().empty());
  EXPECT_TRUE(contains(w.only_message(),
                       u"after 1 of 3 entries: The display went away. Entry 2 got only part of "
                       u"its value. Click into the field for entry 2, B,"));
  // The box is reset before the message appears over it.
  EXPECT_EQ(w.log[w.log.size() - 2], R"(set_text txtTime "5")");
  EXPECT_FALSE(w.controls.timer_on());
}

}  // namespace
}  // namespace tavrino
