// SPDX-License-Identifier: MIT
#include "window/fakes.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

#include "playback/key_event.h"
#include "sheet/text.h"
#include "window/layout.h"

namespace tavrino {
namespace {

const char* op_name(FakeControls::Op op) {
  switch (op) {
    case FakeControls::Op::set_text:
      return "set_text";
    case FakeControls::Op::get_text:
      return "get_text";
    case FakeControls::Op::set_caption:
      return "set_caption";
    case FakeControls::Op::set_enabled:
      return "set_enabled";
    case FakeControls::Op::set_timer:
      return "set_timer";
  }
  return "?";
}

// The controls each operation applies to, as the Controls contract lists them.
bool applies(FakeControls::Op op, ControlId id) {
  switch (op) {
    case FakeControls::Op::set_text:
      return id == ControlId::lbltext || id == ControlId::txtTime || id == ControlId::txtfile;
    case FakeControls::Op::get_text:
      return id == ControlId::txtTime || id == ControlId::txtfile;
    case FakeControls::Op::set_caption:
      return id == ControlId::lblClass || id == ControlId::lblSub || id == ControlId::lblexam;
    case FakeControls::Op::set_enabled:
      return id == ControlId::cmdStart;
    case FakeControls::Op::set_timer:
      return id == ControlId::Timer1;
  }
  return false;
}

}  // namespace

std::string printable(std::u16string_view text) {
  std::u16string out = u"\"";
  for (char16_t c : text) {
    switch (c) {
      case u'\r':
        out += u"\\r";
        break;
      case u'\n':
        out += u"\\n";
        break;
      case u'\t':
        out += u"\\t";
        break;
      default:
        out += c;
    }
  }
  out += u'"';
  return utf16_to_utf8(out);
}

FakeControls::FakeControls(EventLog& log) : log_(log) {
  for (const ControlLayout& control : form1_layout()) {
    text_[control.id] = std::u16string(control.text);
    enabled_[control.id] = control.enabled;
  }
}

Status FakeControls::attempt(Op op, ControlId id, std::string detail) {
  std::string line = std::string(op_name(op)) + " " + std::string(layout_of(id).name);
  if (!detail.empty()) line += " " + detail;
  const bool fails = failing_.contains({op, id}) || !applies(op, id);
  if (fails) line += " FAILED";
  log_.push_back(line);
  if (!fails) return Status::success();
  return Status::failure(utf8_to_utf16(std::string("The control ") +
                                       std::string(layout_of(id).name) + " did not take " +
                                       op_name(op) + "."));
}

Status FakeControls::set_text(ControlId box, std::u16string_view text) {
  Status status = attempt(Op::set_text, box, printable(text));
  if (status) text_[box] = std::u16string(text);
  return status;
}

Status FakeControls::get_text(ControlId box, std::u16string& text) {
  Status status = attempt(Op::get_text, box, "");
  if (status) text = text_[box];
  return status;
}

Status FakeControls::set_caption(ControlId label, std::u16string_view caption) {
  Status status = attempt(Op::set_caption, label, printable(caption));
  if (status) text_[label] = std::u16string(caption);
  return status;
}

Status FakeControls::set_enabled(ControlId button, bool enabled) {
  Status status = attempt(Op::set_enabled, button, enabled ? "on" : "off");
  if (status) enabled_[button] = enabled;
  return status;
}

Status FakeControls::set_timer(ControlId timer, bool on) {
  Status status = attempt(Op::set_timer, timer, on ? "on" : "off");
  if (status) enabled_[timer] = on;
  return status;
}

Status ScriptedOpenDialog::show_open(std::u16string_view filter, std::u16string& file_name) {
  calls_.push_back({std::u16string(filter), file_name});
  if (fail_next_) {
    fail_next_ = false;
    return Status::failure(u"The Open dialog could not be shown.");
  }
  file_name.clear();
  if (!answers_.empty()) {
    file_name = std::move(answers_.front());
    answers_.pop_front();
  }
  return Status::success();
}

void RecordingMessages::show_message(std::u16string_view text) {
  shown_.emplace_back(text);
  log_.push_back("message " + printable(text));
}

std::int32_t FakePlacement::set_window_pos(WindowHandle window, std::intptr_t insert_after, int x,
                                           int y, int cx, int cy, std::uint32_t flags) {
  calls_.push_back({window, insert_after, x, y, cx, cy, flags});
  return result_;
}

Status LoggingKeyboard::begin(std::span<const KeyEvent> all_events) {
  return inner_.begin(all_events);
}

Keyboard::Sent LoggingKeyboard::send(std::span<const KeyEvent> events) {
  log_.push_back("keys " + utf16_to_utf8(describe(KeyEvents(events.begin(), events.end()))));
  return inner_.send(events);
}

ScratchFile::ScratchFile(std::string_view content) {
  // A random part keeps two test runs at the same time apart.
  static const unsigned run = std::random_device{}();
  static std::atomic<int> counter = 0;
  path_ = std::filesystem::temp_directory_path() /
          ("tavrino_window_test_" + std::to_string(run) + "_" + std::to_string(counter++) + ".ipt");
  std::ofstream out(path_, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path_.string());
}

ScratchFile::~ScratchFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace tavrino
