// SPDX-License-Identifier: MIT
// Keystroke playback: each entry's value, then a Tab, for entries 0 to
// itemcount - 1, into the window that has the keyboard focus.
//
// Every value is parsed before anything is sent: if one is malformed, nothing
// is typed and the message names the entry number (from 1), its value and the
// problem. Then the keys go only where the user put the focus, arrive as
// written, and can be stopped:
// - Nothing is typed when this program's own window, or no window, has the
//   focus when typing would start: the user forgot to click into the form.
// - Modifier keys the user holds (a Shift would turn 45 into $%) are waited
//   for, up to kReleaseWait; still held then, nothing is typed.
// - Before each value and each Tab the focus must still be on the window
//   typing started in; otherwise typing stops.
// - Typing stops when the keyboard reports Esc or a change of layout, when
//   stop() is called, and when the keyboard fails.
// Whenever typing stops, every modifier the playback pressed is released, the
// keyboard is ended, and the message says how many entries were typed in full
// and why it stopped.
//
// A Playback runs in steps, so that the window stays responsive while it
// types: each step sends for at most kSlice and says when the next is due.
//
// Given a FieldReader, it notes the field that has the focus as each entry
// begins, and once every entry has been typed and the form has had kSettle
// to settle, reads each field back and compares (see read_back.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "base/status.h"
#include "keyboard.h"
#include "playback/field_reader.h"
#include "playback/read_back.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// The events that typekeys would send for the sheet: each value, then Tab.
// Fails like typekeys does for a malformed value, or for an itemcount that
// the sheet's 51 slots cannot hold.
Status playback_events(const ResultSheet& sheet, KeyEvents& events);

class Playback {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  // How long held modifier keys are waited for before typing is given up.
  static constexpr std::chrono::milliseconds kReleaseWait{3000};
  // How often the held keys are looked at while waiting.
  static constexpr std::chrono::milliseconds kReleasePoll{25};
  // How long one step may send before the window gets its turn again.
  static constexpr std::chrono::milliseconds kSlice{20};
  // The most events sent in one piece; the playback looks at the focus and
  // for a stop between pieces, so a long value does not hold it off.
  static constexpr std::size_t kPieceEvents = 256;
  // How long after the last key the fields are read back: a form changes a
  // field when it is left (upper-cases it, formats a number).
  static constexpr std::chrono::milliseconds kSettle{250};

  // Parses the sheet's values; `keyboard` and `reader` outlive the playback.
  // `now` is the clock (a test's own, in tests). Without a reader nothing is
  // read back.
  Playback(const ResultSheet& sheet, Keyboard& keyboard, Now now = &Clock::now,
           FieldReader* reader = nullptr);
  ~Playback();  // ends the keyboard if the playback is still running
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Runs the next step. Returns how long to wait before the next one, or
  // nothing once the playback has ended; result() then says how it went.
  std::optional<std::chrono::milliseconds> step();

  // Ends the playback before its next key, for `reason`: what is held is
  // released and the keyboard ended. Nothing once it has ended.
  void stop(StopReason reason);

  bool ended() const { return state_ == State::ended; }
  // While typing waits for the user to let go of keys: those keys.
  const HeldKeys& waiting_for() const { return waiting_for_; }
  // Success, or why nothing or not everything was typed; set once ended.
  const Status& result() const { return result_; }
  // What reading the fields back found: set once ended, when every entry
  // was typed and there is a reader.
  const std::optional<ReadBackReport>& read_back() const { return read_back_; }

 private:
  enum class State { start, waiting, typing, settling, ended };
  // A part of the events sent at once: some of an entry's value, or its Tab.
  struct Piece {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t entry = 0;  // the entry it belongs to
    bool tab = false;
  };

  void start();
  void wait_for_release();
  void begin_typing();
  void type();
  void check_fields();
  // Lets go of the modifiers that the keys sent so far hold, and ends the
  // keyboard.
  void end_keyboard();
  // Ends with `status`, ending the keyboard first.
  void finish(Status status);
  Status stopped(std::u16string_view why) const;
  // The piece that holds event number `event`.
  const Piece& piece_of(std::size_t event) const;
  std::optional<StopReason> check_before_piece();

  Keyboard& keyboard_;
  Now now_;
  FieldReader* reader_;
  bool reading_ = false;            // the reader could read when typing began
  bool focus_lost_ = false;         // no later entry gets a field
  std::vector<TypedEntry> fields_;  // with a reader: each entry and its field
  std::optional<ReadBackReport> read_back_;
  Clock::time_point settle_end_{};
  State state_ = State::start;
  Status result_ = Status::success();
  KeyEvents events_;
  std::vector<std::u16string> values_;  // of the entries typed, for messages
  std::vector<Piece> pieces_;
  std::size_t entries_ = 0;
  std::size_t entries_typed_ = 0;  // value and Tab delivered
  std::size_t next_piece_ = 0;
  std::size_t delivered_ = 0;  // events delivered so far
  bool keyboard_open_ = false;
  Focus target_;
  HeldKeys waiting_for_;
  Clock::time_point wait_deadline_{};
};

// Runs a whole playback at once, sleeping between steps: for programs and
// tests without an event loop.
Status typekeys(const ResultSheet& sheet, Keyboard& keyboard);

}  // namespace tavrino
