// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <thread>
#include <utility>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {

namespace {

// The events of every entry, one after the other, and where each entry's
// value ends and its Tab begins.
struct Entries {
  KeyEvents events;
  std::vector<std::size_t> value_ends;
};

Status build(const ResultSheet& sheet, Entries& entries) {
  if (Status fits = check_itemcount(sheet); !fits) return fits;
  for (int i = 0; i < sheet.itemcount; ++i) {
    const std::u16string& value = sheet.itemvalue[static_cast<std::size_t>(i)];
    ParsedKeys parsed = parse_key_string(value);
    if (parsed.error) {
      return Status::failure(u"Entry " + to_text(i + 1) + u" (" + quoted(value) +
                             u") cannot be typed, at character " +
                             to_text(static_cast<std::int64_t>(parsed.error->position) + 1) +
                             u": " + parsed.error->explanation);
    }
    entries.events.insert(entries.events.end(), parsed.events.begin(), parsed.events.end());
    entries.value_ends.push_back(entries.events.size());
    entries.events.push_back(KeyEvent::of_key(Key::tab));
  }
  return Status::success();
}

// The modifiers that `delivered` leaves held down, in the order pressed.
std::vector<Modifier> held_after(std::span<const KeyEvent> delivered) {
  std::vector<Modifier> held;
  for (const KeyEvent& event : delivered) {
    if (event.type == KeyEvent::Type::press) {
      held.push_back(event.modifier);
    } else if (event.type == KeyEvent::Type::release) {
      const auto it = std::find(held.rbegin(), held.rend(), event.modifier);
      if (it != held.rend()) held.erase(std::next(it).base());
    }
  }
  return held;
}

std::u16string count_of(std::size_t n, std::u16string_view one, std::u16string_view many) {
  return to_text(static_cast<std::int64_t>(n)) + u" " + std::u16string(n == 1 ? one : many);
}

// Whether keys sent now would reach nothing, or the wrong program.
bool unfit_target(Focus::Kind kind) {
  return kind != Focus::Kind::other && kind != Focus::Kind::unknown;
}

Status focus_refusal(Focus::Kind kind) {
  if (kind == Focus::Kind::elevated) {
    return Status::failure(
        u"Nothing was typed because the window with the focus runs as administrator, and "
        u"Windows does not let tavrino type into it. Start tavrino as administrator too, or use "
        u"the program without administrator rights.");
  }
  if (kind == Focus::Kind::secure) {
    return Status::failure(
        u"Nothing was typed because the screen is locked or Windows is asking for permission; "
        u"unlock it or answer the prompt, then press START again.");
  }
  const std::u16string_view where = kind == Focus::Kind::own
                                        ? u"tavrino's own window had the keyboard focus"
                                        : u"no window had the keyboard focus";
  return Status::failure(u"Nothing was typed because " + std::u16string(where) +
                         u" when the countdown ended; press START, then click into the first "
                         u"field of the other program's form before the countdown runs out.");
}

}  // namespace

std::u16string held_keys_text(const HeldKeys& keys) {
  // By HeldKey.
  static constexpr std::u16string_view kNames[] = {u"Shift", u"Ctrl", u"Alt", u"AltGr",
                                                   u"the Windows (Super) key"};
  std::vector<std::u16string> names;
  for (const HeldKey key : keys) names.emplace_back(kNames[static_cast<std::size_t>(key)]);
  return listed(names);
}

std::u16string stop_reason_text(StopReason reason) {
  // By StopReason.
  static constexpr std::u16string_view kTexts[] = {
      u"Esc was pressed.",
      u"the keyboard focus moved away from the window typing started in.",
      u"the keyboard layout changed.",
      u"tavrino was closed.",
  };
  return std::u16string(kTexts[static_cast<std::size_t>(reason)]);
}

Status playback_events(const ResultSheet& sheet, KeyEvents& events) {
  events.clear();
  Entries entries;
  Status status = build(sheet, entries);
  if (status) events = std::move(entries.events);
  return status;
}

Playback::Playback(const ResultSheet& sheet, Keyboard& keyboard, Now now, FieldReader* reader)
    : keyboard_(keyboard), now_(std::move(now)), reader_(reader) {
  Entries entries;
  if (Status built = build(sheet, entries); !built) {
    state_ = State::ended;
    result_ = std::move(built);
    return;
  }
  events_ = std::move(entries.events);
  entries_ = entries.value_ends.size();
  values_.assign(sheet.itemvalue.begin(),
                 sheet.itemvalue.begin() + static_cast<std::ptrdiff_t>(entries_));
  // A value in pieces of at most kPieceEvents, then its Tab on its own.
  std::size_t at = 0;
  for (std::size_t entry = 0; entry < entries_; ++entry) {
    const std::size_t value_end = entries.value_ends[entry];
    for (; at < value_end; at = std::min(at + kPieceEvents, value_end)) {
      pieces_.push_back({at, std::min(at + kPieceEvents, value_end), entry, false});
    }
    pieces_.push_back({value_end, value_end + 1, entry, true});
    if (reader_ != nullptr) {
      const std::size_t value_begin = entry == 0 ? 0 : entries.value_ends[entry - 1] + 1;
      const std::span<const KeyEvent> value =
          std::span<const KeyEvent>(events_).subspan(value_begin, value_end - value_begin);
      fields_.push_back({entry + 1, sheet.itemname[entry], typed_text(value), std::nullopt});
    }
    at = value_end + 1;
  }
  if (events_.empty()) state_ = State::ended;
}

Playback::~Playback() {
  if (!ended()) stop(StopReason::quit);
}

std::optional<std::chrono::milliseconds> Playback::step() {
  switch (state_) {
    case State::start:
      start();
      break;
    case State::waiting:
      wait_for_release();
      break;
    case State::typing:
      type();
      break;
    case State::settling:
      check_fields();
      break;
    case State::ended:
      break;
  }
  if (state_ == State::ended) return std::nullopt;
  if (state_ == State::waiting) return kReleasePoll;
  if (state_ == State::settling) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(settle_end_ - now_()));
  }
  return std::chrono::milliseconds(0);
}

void Playback::stop(StopReason reason) {
  if (ended()) return;
  // Everything was typed; only the fields are not read back.
  if (state_ == State::settling) return finish(Status::success());
  finish(stopped(stop_reason_text(reason)));
}

void Playback::start() {
  if (Status opened = keyboard_.begin(); !opened) return finish(std::move(opened));
  keyboard_open_ = true;
  // Checked first, so that a user who forgot to click into the form is told
  // that, rather than about a key held in tavrino's own window.
  const Focus focus = keyboard_.focus();
  if (unfit_target(focus.kind)) {
    return finish(focus_refusal(focus.kind));
  }
  waiting_for_ = keyboard_.held_keys();
  if (waiting_for_.empty()) return begin_typing();
  state_ = State::waiting;
  wait_deadline_ = now_() + kReleaseWait;
}

void Playback::wait_for_release() {
  waiting_for_ = keyboard_.held_keys();
  if (waiting_for_.empty()) return begin_typing();
  if (now_() < wait_deadline_) return;
  const std::u16string keys =
      held_keys_text(waiting_for_) + (waiting_for_.size() == 1 ? u" was" : u" were");
  waiting_for_.clear();
  finish(Status::failure(
      u"Nothing was typed because " + keys + u" still held down " +
      to_text(std::chrono::duration_cast<std::chrono::seconds>(kReleaseWait).count()) +
      u" seconds after the countdown ended; let go of every key before it runs out."));
}

void Playback::begin_typing() {
  if (const auto untypable = keyboard_.untypable(events_)) {
    const std::size_t entry = piece_of(untypable->event).entry;
    return finish(Status::failure(
        u"Nothing was typed because entry " + to_text(static_cast<std::int64_t>(entry) + 1) +
        u" (" + quoted(values_[entry]) + u") cannot be typed: " + untypable->reason));
  }
  if (Status prepared = keyboard_.prepare(events_); !prepared) return finish(std::move(prepared));
  // Taken again after any wait: the window that has the focus now is the one
  // the keys are for.
  target_ = keyboard_.focus();
  if (unfit_target(target_.kind)) {
    return finish(focus_refusal(target_.kind));
  }
  reading_ = reader_ != nullptr && reader_->available();
  state_ = State::typing;
}

std::optional<StopReason> Playback::check_before_piece() {
  if (const auto interruption = keyboard_.interruption()) return interruption;
  const Focus focus = keyboard_.focus();
  const bool moved =
      unfit_target(focus.kind) || (target_.kind == Focus::Kind::other && focus != target_);
  if (moved) return StopReason::focus_moved;
  return std::nullopt;
}

void Playback::type() {
  const Clock::time_point slice_end = now_() + kSlice;
  do {
    if (next_piece_ == pieces_.size()) {
      if (reader_ == nullptr) return finish(Status::success());
      end_keyboard();
      state_ = State::settling;
      settle_end_ = now_() + (reading_ ? kSettle : std::chrono::milliseconds(0));
      return;
    }
    const Piece& piece = pieces_[next_piece_];
    // The field an entry goes into is the one with the focus when its first
    // key is due, once the Tab before it has moved the focus on. (Taken
    // before the look at the focus below, since the reader may wait.)
    const bool begins_entry = next_piece_ == 0 || pieces_[next_piece_ - 1].tab;
    if (reading_ && !focus_lost_ && begins_entry) {
      const std::optional<FieldHandle> before =
          piece.entry == 0 ? std::nullopt : fields_[piece.entry - 1].field;
      fields_[piece.entry].field = reader_->focused_field(before);
      // No field for this entry (the focus is on a button, or did not reach
      // the next field in time): any field seen later could still be news
      // of this entry's, so no later entry is given one.
      focus_lost_ = !fields_[piece.entry].field;
    }
    if (const auto reason = check_before_piece()) return stop(*reason);
    const std::span<const KeyEvent> events =
        std::span<const KeyEvent>(events_).subspan(piece.begin, piece.end - piece.begin);
    const Keyboard::Sent sent = keyboard_.send(events);
    delivered_ += std::min(sent.delivered, events.size());
    if (sent.delivered < events.size()) {
      std::u16string reason = sent.status.message();
      if (reason.empty()) reason = u"the keyboard did not take the remaining keys.";
      return finish(stopped(reason));
    }
    // An entry counts as typed once its Tab has gone out.
    if (piece.tab) entries_typed_ = piece.entry + 1;
    ++next_piece_;
  } while (now_() < slice_end);
}

const Playback::Piece& Playback::piece_of(std::size_t event) const {
  const auto it = std::upper_bound(pieces_.begin(), pieces_.end(), event,
                                   [](std::size_t e, const Piece& p) { return e < p.end; });
  return it == pieces_.end() ? pieces_.back() : *it;
}

Status Playback::stopped(std::u16string_view why) const {
  return Status::failure(u"Typing stopped after " +
                         to_text(static_cast<std::int64_t>(entries_typed_)) + u" of " +
                         count_of(entries_, u"entry", u"entries") + u": " + std::u16string(why));
}

void Playback::check_fields() {
  if (now_() < settle_end_) return;
  read_back_ = report_read_back(tavrino::read_back(fields_, *reader_), reader_->how_to_read());
  finish(Status::success());
}

void Playback::end_keyboard() {
  if (keyboard_open_) {
    // A modifier left down would turn the user's next keystrokes into
    // shortcuts in the target program, so let go of each one, even when the
    // keyboard has just failed.
    const std::vector<Modifier> held =
        held_after(std::span<const KeyEvent>(events_).first(delivered_));
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
      const KeyEvent release = KeyEvent::release_of(*it);
      (void)keyboard_.send(std::span<const KeyEvent>(&release, 1));
    }
    keyboard_.end();
    keyboard_open_ = false;
  }
}

void Playback::finish(Status status) {
  end_keyboard();
  waiting_for_.clear();
  state_ = State::ended;
  result_ = std::move(status);
}

Status typekeys(const ResultSheet& sheet, Keyboard& keyboard) {
  Playback playback(sheet, keyboard);
  while (const auto delay = playback.step()) std::this_thread::sleep_for(*delay);
  return playback.result();
}

}  // namespace tavrino
