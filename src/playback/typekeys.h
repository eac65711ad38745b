// SPDX-License-Identifier: MIT
// Keystroke playback: each entry's value, then a Tab, for entries 0 to
// itemcount - 1, into the window that has the keyboard focus.
//
// Every value is parsed before anything is sent: if one is malformed, nothing
// is typed and the message names the entry number (from 1), its value and the
// problem. Then what reaches the target is exactly what the playback says
// arrived, however slow the target is and whatever the user does meanwhile:
// - Nothing is typed when this program's own window, or no window, has the
//   focus when typing would start (the user forgot to click into the form),
//   nor while the user holds a modifier key (a Shift would turn 45 into $%)
//   or another program holds the keyboard; those are waited for, up to
//   kReleaseWait. Esc ends the wait, typing nothing.
// - The keys go in batches of at most kBatchEvents, and each Tab in a batch
//   of its own, so that a Tab never follows a value into a window the focus
//   moved to on the way. Before each batch the playback looks at the
//   keyboard and the focus: Esc, a change of layout,
//   a key or click of the user's that reached the target in among the
//   playback's own keys, or the focus on another window than the one typing
//   began in stop the typing; a modifier the user holds, or another
//   program's hold on the keyboard, pause it until they are gone.
// - It is never more than kMostAhead events ahead of what the target has
//   said it has taken. A target that falls behind is waited for, with a
//   status line; one silent for kSilenceLimit stops the typing. A target
//   that cannot say gets a slower pace.
// - Whenever typing stops, every modifier the playback pressed is released,
//   and the target gets the time to take the keys already sent (Esc again
//   gives up). The message says how many entries the target took in full,
//   which entries may be incomplete, and why it stopped.
//
// A Playback runs in steps, so that the window stays responsive while it
// types: each step sends for at most kSlice and says when the next is due.
//
// Given a FieldReader, it notes the field that has the focus as each entry
// begins (once the target has taken the Tab before it), and once every entry
// has been typed and the form has had kSettle to settle, reads each field
// back and compares (see read_back.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "keyboard.h"
#include "playback/entry_events.h"
#include "playback/field_reader.h"
#include "playback/playback_messages.h"
#include "playback/read_back.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// Why a playback stopped before its end at someone's request.
enum class StopReason : std::uint8_t {
  escape,  // the user pressed Esc
  quit,    // the program was closed or asked to quit
};

class Playback {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;

  struct Options {
    // The clock the playback waits by (a test's own, in tests).
    Now now = &Clock::now;
    // Whether a window of this program is the active one. Where the
    // platform cannot tell whose window has the focus (Wayland), this is
    // how the playback knows it must not type.
    std::function<bool()> own_window_active;
    // The entry (from 0) typing begins with, so that a playback that
    // stopped can go on where it did; the entries before it are neither
    // checked nor typed, and messages number and count entries from 0 all
    // the same.
    std::size_t first_entry = 0;
    // Reads back what typing left in each field; nothing is read back
    // without one. It outlives the playback.
    FieldReader* fields = nullptr;
  };

  // How long held modifier keys, or another program's hold on the keyboard,
  // are waited for before typing is given up.
  static constexpr std::chrono::milliseconds kReleaseWait{3000};
  // How often the keyboard is looked at while waiting.
  static constexpr std::chrono::milliseconds kPoll{25};
  // How long one step may send before the window gets its turn again.
  static constexpr std::chrono::milliseconds kSlice{20};
  // The most events sent at once; the keyboard and the focus are looked at
  // between batches.
  static constexpr std::size_t kBatchEvents = 32;
  // How many events may be on their way to a target that says when it has
  // taken them.
  static constexpr std::size_t kMostAhead = 8 * kBatchEvents;
  // The pause after each batch to a target that cannot say.
  static constexpr std::chrono::milliseconds kBlindPace{1};
  // How long a wait in the middle of typing goes on before its status line
  // shows; shorter waits are part of typing.
  static constexpr std::chrono::milliseconds kWaitNotice{500};
  // How long a target may take nothing, a modifier may stay held or another
  // program may hold the keyboard in the middle of typing before the
  // typing stops.
  static constexpr std::chrono::milliseconds kSilenceLimit{30000};
  // How long after the last key the fields are read back: a form changes a
  // field when it is left (upper-cases it, formats a number).
  static constexpr std::chrono::milliseconds kSettle{250};

  // Parses the sheet's values; `keyboard` outlives the playback.
  Playback(const ResultSheet& sheet, Keyboard& keyboard, Options options);
  Playback(const ResultSheet& sheet, Keyboard& keyboard) : Playback(sheet, keyboard, Options{}) {}
  ~Playback();  // ends the keyboard session if the playback is still running
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Runs the next step. Returns how long to wait before the next one, or
  // nothing once the playback has ended; result() then says how it went.
  std::optional<std::chrono::milliseconds> step();

  // Stops typing before its next key. For escape, the target still gets its
  // time to take the keys already sent, in further steps (a second stop
  // gives up waiting); for quit the playback ends at once. Nothing once it
  // has ended.
  void stop(StopReason reason);

  bool ended() const { return phase_ == Phase::ended; }
  // What the window's status line should say now; empty when nothing.
  const std::u16string& status() const { return status_; }
  // While typing waits for the user to let go of keys: those keys.
  const HeldKeys& waiting_for() const { return waiting_for_; }
  // Success, or why nothing or not everything was typed; set once ended.
  const Status& result() const { return result_; }
  // The entries the target has taken in full, counted from entry 0 (those
  // before first_entry count as typed): where the next playback goes on.
  std::size_t entries_typed() const;
  // What reading the fields back found: set once ended, when every entry
  // was typed and there is a reader that could read.
  const std::optional<ReadBackReport>& read_back() const { return read_back_; }

 private:
  enum class Phase { opening, holding, typing, draining, settling, ended };
  // A question to the target and how many events it covers.
  struct Ask {
    std::size_t number = 0;
    std::size_t events = 0;
  };

  void open();
  void hold(const KeyboardWatch& watch);
  void type(const KeyboardWatch& watch);
  void drain();
  // Everything typed: reads the fields back once they have settled, or ends.
  void complete();
  void read_fields();
  // Before the first key of an entry: notes the field it goes into, once
  // the target has taken the Tab before it; false while waiting for that.
  bool note_field();
  // Sends the next batch; false when the step must end (waiting, stopped).
  bool send_batch();
  // Where the batch to send next ends (a part of it may have gone out).
  std::size_t next_batch_end();
  // Takes in the target's answers, waiting at most `wait` for a new one.
  void take_answers(std::chrono::milliseconds wait);
  // Waits, in the middle of typing, showing `wait.status` once it has gone
  // on for kWaitNotice; stops once it has gone on for kSilenceLimit, saying
  // `wait.gave_up`.
  void wait_for(MidWait wait);
  // Waits for the target to take what was sent.
  void wait_for_target();
  std::optional<std::u16string> focus_problem();
  // Ends typing for `why`, letting the target take what is on its way.
  void stop_typing(std::u16string why);
  // Ends with `status`, after letting go of what the sent keys hold.
  void finish(Status status);
  void close_session();
  // Lets go of every modifier that the keys sent so far leave held; false
  // when they leave none.
  bool release_held();
  std::u16string stopped_text(std::u16string_view why) const;
  void show(std::u16string status);

  Keyboard& keyboard_;
  Options options_;
  Phase phase_ = Phase::opening;
  Status result_ = Status::success();
  std::unique_ptr<KeyboardSession> session_;
  KeyEvents events_;
  std::vector<std::size_t> tab_at_;      // per entry: the index of its Tab
  std::vector<std::size_t> batch_ends_;  // where each batch ends, in order
  std::size_t next_batch_ = 0;
  std::vector<std::u16string> values_;  // of the entries typed, for messages
  std::size_t first_ = 0;               // the entry typing begins with
  Focus target_;
  std::size_t sent_ = 0;   // events the session took
  std::size_t taken_ = 0;  // events the target has said it took
  // Events that reached the target as sent, before something the user or
  // another program did came in among them.
  static constexpr std::size_t kAllIntact = static_cast<std::size_t>(-1);
  std::size_t intact_ = kAllIntact;
  bool blind_ = false;     // the target cannot say what it took
  std::deque<Ask> asks_;   // questions not answered yet
  std::size_t asked_ = 0;  // questions asked so far
  bool catch_up_ = false;  // the session must see everything taken first
  bool target_gone_ = false;
  unsigned escapes_ = 0;  // Escs seen so far
  HeldKeys waiting_for_;
  std::u16string status_;
  Clock::time_point hold_since_{};
  Clock::time_point wait_since_{};  // a wait in the middle of typing
  bool waiting_ = false;
  bool waiting_on_target_ = false;  // the wait is for the target's answers
  Clock::time_point pace_until_{};
  std::optional<std::u16string> stop_why_;  // the stop being drained
  bool reading_ = false;                    // the fields are read back: the reader could read
  bool focus_lost_ = false;                 // an entry got no field: no later entry gets one
  std::vector<TypedEntry> fields_;          // with a reader: each entry and its field
  std::optional<ReadBackReport> read_back_;
  Clock::time_point settle_end_{};
};

// Runs a whole playback at once, sleeping between steps: for programs and
// tests without an event loop.
Status typekeys(const ResultSheet& sheet, Keyboard& keyboard);

}  // namespace tavrino
