// SPDX-License-Identifier: MIT
#include "window/fakes.h"

#include "base/text.h"
#include "playback/key_event.h"
#include "window/layout.h"

namespace tavrino {
std::string printable(std::u16string_view text) {
  return utf16_to_utf8(u"\"" + escape_hidden(text) + u"\"");
}

FakeControls::FakeControls(EventLog& log) : log_(log) {
  for (const ControlLayout& control : form1_layout()) {
    text_[control.id] = std::u16string(control.text);
    enabled_[control.id] = control.enabled;
  }
}

Status FakeControls::attempt(ControlOp op, ControlId id, std::string detail) {
  std::string line = std::string(op_name(op)) + " " + std::string(layout_of(id).name);
  if (!detail.empty()) line += " " + detail;
  Status status = check_applies(op, id);
  if (status && failing_.contains({op, id})) {
    status = Status::failure(utf8_to_utf16(std::string("The control ") +
                                           std::string(layout_of(id).name) + " did not take " +
                                           std::string(op_name(op)) + "."));
  }
  if (!status) line += " FAILED";
  log_.push_back(line);
  return status;
}

Status FakeControls::set_text(ControlId box, std::u16string_view text) {
  Status status = attempt(ControlOp::set_text, box, printable(text));
  if (status) text_[box] = std::u16string(text);
  return status;
}

Status FakeControls::get_text(ControlId box, std::u16string& text) {
  Status status = attempt(ControlOp::get_text, box, "");
  if (status) text = text_[box];
  return status;
}

Status FakeControls::set_caption(ControlId label, std::u16string_view caption) {
  Status status = attempt(ControlOp::set_caption, label, printable(caption));
  if (status) text_[label] = std::u16string(caption);
  return status;
}

Status FakeControls::set_enabled(ControlId button, bool enabled) {
  Status status = attempt(ControlOp::set_enabled, button, enabled ? "on" : "off");
  if (status) enabled_[button] = enabled;
  return status;
}

Status FakeControls::set_timer(ControlId timer, bool on) {
  Status status = attempt(ControlOp::set_timer, timer, on ? "on" : "off");
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
  return 1;
}

void RecordingMessages::show_status(std::u16string_view text) {
  log_.push_back("status " + printable(text));
}

void RecordingMessages::log(std::u16string_view text) {
  log_.push_back("log " + printable(text));
}

FakeKeyboard logging_keyboard(TestClock& clock, EventLog& log) {
  FakeKeyboard keyboard(&clock);
  keyboard.on_send([&log](std::span<const KeyEvent> events) {
    log.push_back("keys " + utf16_to_utf8(describe(KeyEvents(events.begin(), events.end()))));
  });
  return keyboard;
}

std::optional<std::chrono::milliseconds> FakeScheduler::take() {
  if (pending_.empty()) return std::nullopt;
  const std::chrono::milliseconds delay = pending_.front();
  pending_.pop_front();
  return delay;
}

}  // namespace tavrino
