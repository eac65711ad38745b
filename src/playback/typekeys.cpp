// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <thread>
#include <utility>

#include "base/text.h"
#include "playback/key_string.h"
#include "playback/read_back.h"
#include "playback/window_focus.h"

namespace tavrino {

namespace {

// The events of every entry, one after the other, and where each entry's
// Tab is.
struct Entries {
  KeyEvents events;
  std::vector<std::size_t> tab_at;
};

// Entries from `first` on; those before it were typed by an earlier
// playback and are neither checked nor typed again.
Status build(const ResultSheet& sheet, std::size_t first, Entries& entries) {
  if (Status fits = check_itemcount(sheet); !fits) return fits;
  for (int i = static_cast<int>(std::min<std::size_t>(first, kSlotCount)); i < sheet.itemcount;
       ++i) {
    const std::u16string& value = sheet.itemvalue[static_cast<std::size_t>(i)];
    ParsedKeys parsed = value_events(value, sheet.literal);
    std::optional<std::u16string> problem;
    std::size_t position = 0;
    if (parsed.error) {
      problem = parsed.error->explanation;
      position = parsed.error->position;
    } else if (const auto caps = std::find(parsed.events.begin(), parsed.events.end(),
                                           KeyEvent::of_key(Key::capslock));
               caps != parsed.events.end()) {
      // Typing keeps Caps Lock off so that every value arrives as written,
      // and puts it back afterwards; a value that switches it would type the
      // rest of the playback in the wrong case.
      problem = u"Caps Lock cannot be typed; write the letters in the case they should have.";
      position = value.find(u'{');
      for (std::size_t at = 0; at < value.size(); ++at) {
        if (value.substr(at).starts_with(u"{") &&
            key_by_name(value.substr(at + 1, value.find(u'}', at + 1) - at - 1)) == Key::capslock) {
          position = at;
          break;
        }
      }
    }
    if (problem) {
      return Status::failure(u"Entry " + to_text(i + 1) + u" (" + quoted(value) +
                             u") cannot be typed, at character " +
                             to_text(static_cast<std::int64_t>(position) + 1) + u": " + *problem);
    }
    entries.events.insert(entries.events.end(), parsed.events.begin(), parsed.events.end());
    entries.tab_at.push_back(entries.events.size());
    entries.events.push_back(KeyEvent::of_key(Key::tab));
  }
  return Status::success();
}

std::u16string number(std::size_t n) {
  return to_text(static_cast<std::int64_t>(n));
}

std::u16string count_of(std::size_t n, std::u16string_view one, std::u16string_view many) {
  return number(n) + u" " + std::u16string(n == 1 ? one : many);
}

// "entry 4", "entries 4 and 5", "entries 4 to 9", numbered from 1.
std::u16string entries_text(std::size_t first, std::size_t last) {
  if (first == last) return u"entry " + number(first);
  return u"entries " + number(first) + (last == first + 1 ? u" and " : u" to ") + number(last);
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

// Why typing stopped when the focus went to `kind` in the middle of it.
std::u16string focus_stop(Focus::Kind kind) {
  if (kind == Focus::Kind::elevated) {
    return u"the keyboard focus went to a window that runs as administrator, which Windows does "
           u"not let tavrino type into.";
  }
  if (kind == Focus::Kind::secure)
    return u"the screen was locked, or Windows asked for permission.";
  return u"the keyboard focus moved away from the window typing started in.";
}

const std::u16string kAnotherPlayback =
    u"Another tavrino is typing on this display; nothing was typed. Press START again once it has "
    u"finished.";

const std::u16string kGrabbedNow =
    u"another program holds the keyboard (an open menu, a launcher or a screen lock)";

}  // namespace

std::u16string held_keys_text(const HeldKeys& keys) {
  // By HeldKey.
  static constexpr std::u16string_view kNames[] = {u"Shift", u"Ctrl", u"Alt", u"AltGr",
                                                   u"the Windows (Super) key"};
  std::vector<std::u16string> names;
  for (const HeldKey key : keys) names.emplace_back(kNames[static_cast<std::size_t>(key)]);
  return listed(names);
}

Status playback_events(const ResultSheet& sheet, KeyEvents& events) {
  events.clear();
  Entries entries;
  Status status = build(sheet, 0, entries);
  if (status) events = std::move(entries.events);
  return status;
}

Playback::Playback(const ResultSheet& sheet, Keyboard& keyboard, Options options)
    : keyboard_(keyboard), options_(std::move(options)) {
  if (!options_.now) options_.now = &Clock::now;
  Entries entries;
  if (Status built = build(sheet, options_.first_entry, entries); !built) {
    phase_ = Phase::ended;
    result_ = std::move(built);
    return;
  }
  events_ = std::move(entries.events);
  tab_at_ = std::move(entries.tab_at);
  const std::size_t count = sheet.itemcount > 0 ? static_cast<std::size_t>(sheet.itemcount) : 0;
  first_ = std::min(options_.first_entry, count);
  values_.assign(sheet.itemvalue.begin() + static_cast<std::ptrdiff_t>(first_),
                 sheet.itemvalue.begin() + static_cast<std::ptrdiff_t>(count));
  if (options_.fields != nullptr) {
    for (std::size_t i = 0; i < tab_at_.size(); ++i) {
      const std::size_t begin = i == 0 ? 0 : tab_at_[i - 1] + 1;
      const std::span<const KeyEvent> value =
          std::span<const KeyEvent>(events_).subspan(begin, tab_at_[i] - begin);
      fields_.push_back(
          {first_ + i + 1, sheet.itemname[first_ + i], typed_text(value), std::nullopt});
    }
  }
  std::size_t at = 0;
  for (const std::size_t tab : tab_at_) {
    for (; at < tab; at = std::min(at + kBatchEvents, tab)) {
      batch_ends_.push_back(std::min(at + kBatchEvents, tab));
    }
    batch_ends_.push_back(tab + 1);
    at = tab + 1;
  }
  if (events_.empty()) phase_ = Phase::ended;
}

Playback::~Playback() {
  if (!ended()) stop(StopReason::quit);
}

std::optional<std::chrono::milliseconds> Playback::step() {
  if (phase_ == Phase::opening) open();
  if (phase_ == Phase::holding) {
    // The step that starts typing ends there, so that the window shows
    // that it types before the first key goes out.
    hold(session_->watch());
  } else if (phase_ == Phase::typing) {
    type(session_->watch());
  }
  if (phase_ == Phase::draining) drain();
  if (phase_ == Phase::settling) read_fields();
  if (ended()) return std::nullopt;
  const Clock::time_point now = options_.now();
  if (phase_ == Phase::settling) {
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(settle_end_ - now));
  }
  if (phase_ == Phase::typing && !waiting_ && pace_until_ > now) {
    return std::chrono::ceil<std::chrono::milliseconds>(pace_until_ - now);
  }
  if (phase_ == Phase::holding || (waiting_ && !waiting_on_target_)) return kPoll;
  return std::chrono::milliseconds(0);
}

void Playback::stop(StopReason reason) {
  if (ended()) return;
  if (reason == StopReason::quit && phase_ != Phase::settling) {
    if (phase_ == Phase::typing || phase_ == Phase::draining) {
      return finish(Status::failure(stopped_text(u"tavrino was closed.")));
    }
    return finish(Status::failure(u"Nothing was typed: tavrino was closed."));
  }
  switch (phase_) {
    case Phase::opening:
    case Phase::holding:
      return finish(Status::failure(u"Nothing was typed: Esc was pressed."));
    case Phase::typing:
      return stop_typing(u"Esc was pressed.");
    case Phase::draining:
      // A second Esc: the user would rather not wait for the target.
      return finish(Status::failure(stopped_text(stop_why_.value_or(u"Esc was pressed."))));
    case Phase::settling:
      // Everything was typed; only the fields are not read back.
      return finish(Status::success());
    case Phase::ended:
      return;
  }
}

void Playback::open() {
  Keyboard::Opened opened = keyboard_.begin();
  if (!opened.status) return finish(std::move(opened.status));
  session_ = std::move(opened.session);
  if (!session_->lock()) return finish(Status::failure(kAnotherPlayback));
  // Checked first, so that a user who forgot to click into the form is told
  // that, rather than about a key held in tavrino's own window.
  if (const auto problem = focus_problem()) return finish(focus_refusal(target_.kind));
  if (const auto untypable = session_->untypable(events_)) {
    const std::size_t entry = entry_of(untypable->event);
    return finish(Status::failure(u"Nothing was typed because entry " + number(first_ + entry + 1) +
                                  u" (" + quoted(values_[entry]) + u") cannot be typed: " +
                                  untypable->reason));
  }
  if (Status prepared = session_->prepare(events_); !prepared) return finish(std::move(prepared));
  phase_ = Phase::holding;
  hold_since_ = options_.now();
}

void Playback::hold(const KeyboardWatch& watch) {
  if (!watch.broken.empty()) return finish(Status::failure(watch.broken));
  if (watch.escapes > 0) return finish(Status::failure(u"Nothing was typed: Esc was pressed."));
  if (watch.disturbed && watch.disturbed->kind == Disturbance::Kind::layout) {
    return finish(
        Status::failure(u"Nothing was typed: the keyboard layout changed as typing began."));
  }
  if (!watch.held.empty() || watch.grabbed) {
    waiting_for_ = watch.held;
    if (options_.now() - hold_since_ < kReleaseWait) {
      show(watch.held.empty()
               ? u"Another program holds the keyboard - typing starts once it lets go"
               : u"Let go of " + held_keys_text(watch.held) + u" to start typing");
      return;
    }
    const std::u16string seconds =
        to_text(std::chrono::duration_cast<std::chrono::seconds>(kReleaseWait).count());
    if (watch.held.empty()) {
      return finish(Status::failure(u"Nothing was typed because " + kGrabbedNow + u" " + seconds +
                                    u" seconds after the countdown ended; close it, then press "
                                    u"START again."));
    }
    const std::u16string keys =
        held_keys_text(watch.held) + (watch.held.size() == 1 ? u" was" : u" were");
    return finish(Status::failure(u"Nothing was typed because " + keys + u" still held down " +
                                  seconds +
                                  u" seconds after the countdown ended; let go of every key "
                                  u"before it runs out."));
  }
  waiting_for_.clear();
  // Taken again after any wait: the window that has the focus now is the one
  // the keys are for.
  if (focus_problem()) return finish(focus_refusal(target_.kind));
  phase_ = Phase::typing;
  reading_ = options_.fields != nullptr && options_.fields->available();
  show(u"Typing - press Esc to stop");
}

std::optional<std::u16string> Playback::focus_problem() {
  const Focus focus = focus_seen(options_.own_window_active, [this] { return session_->focus(); });
  if (phase_ != Phase::typing) {
    target_ = focus;
    if (unfit_target(focus.kind)) return focus_stop(focus.kind);
    return std::nullopt;
  }
  const bool moved =
      unfit_target(focus.kind) || (target_.kind == Focus::Kind::other && focus != target_);
  if (moved) return focus_stop(focus.kind);
  return std::nullopt;
}

void Playback::type(const KeyboardWatch& first_watch) {
  const Clock::time_point slice_end = options_.now() + kSlice;
  KeyboardWatch watch = first_watch;
  for (bool first = true;; first = false) {
    if (!first) watch = session_->watch();
    waiting_on_target_ = false;
    if (watch.escapes > escapes_) {
      escapes_ = watch.escapes;
      return stop_typing(u"Esc was pressed.");
    }
    if (watch.disturbed) {
      const Disturbance& d = *watch.disturbed;
      // Whatever came after it may have gone astray; what came before is
      // the target's as sent.
      intact_ = std::min(intact_, d.after);
      // Keys sent before a new layout are read with the old one; only keys
      // sent after it come out wrong.
      if (d.kind == Disturbance::Kind::layout && d.after >= sent_) {
        return stop_typing(u"the keyboard layout changed.");
      }
      if (d.after < events_.size()) {
        const std::u16string entry = number(first_ + entry_of(d.after) + 1);
        switch (d.kind) {
          case Disturbance::Kind::key:
            return stop_typing(d.key + u" was pressed on the keyboard while entry " + entry +
                               u" was being typed, so its field may not hold what was written; "
                               u"check it.");
          case Disturbance::Kind::click:
            return stop_typing(u"a mouse button was pressed while entry " + entry +
                               u" was being typed, which may have moved the cursor; check that "
                               u"field and the ones after it.");
          case Disturbance::Kind::layout:
            return stop_typing(u"the keyboard layout changed while entry " + entry +
                               u" was being typed, so its field may not hold what was written; "
                               u"check it.");
          case Disturbance::Kind::grab:
            return stop_typing(
                u"another program took the keyboard (a menu, a launcher or a "
                u"screen lock) while entry " +
                entry +
                u" was being typed, and some of its keys went there; "
                u"check its field.");
        }
      }
    }
    if (!watch.broken.empty()) return finish(Status::failure(stopped_text(watch.broken)));
    take_answers(std::chrono::milliseconds(0));
    if (watch.target_gone) {
      target_gone_ = true;
      return stop_typing(u"the window typed into was closed.");
    }
    if (const auto problem = focus_problem()) return stop_typing(*problem);
    if (watch.grabbed) {
      return wait_for(
          u"Another program holds the keyboard - typing goes on once it lets go",
          u"another program held the keyboard for " +
              to_text(std::chrono::duration_cast<std::chrono::seconds>(kSilenceLimit).count()) +
              u" seconds.");
    }
    if (!watch.held.empty()) {
      waiting_for_ = watch.held;
      return wait_for(
          u"Let go of " + held_keys_text(watch.held) + u" - typing goes on then",
          held_keys_text(watch.held) + u" stayed held down for " +
              to_text(std::chrono::duration_cast<std::chrono::seconds>(kSilenceLimit).count()) +
              u" seconds.");
    }
    waiting_for_.clear();
    const Clock::time_point now = options_.now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(slice_end - now, Clock::duration::zero()));
    const auto behind = [&] {
      if (catch_up_) return taken_ < sent_;
      return sent_ < events_.size() && next_batch_end() - taken_ > kMostAhead;
    };
    if (!blind_ && behind()) {
      // Waiting for an answer is the step's work now: up to a slice, so
      // that the next batch goes out as soon as the target has caught up.
      take_answers(std::max(left, kSlice / 2));
      if (behind()) return wait_for_target();
    }
    if (catch_up_ && blind_) {
      return stop_typing(
          u"the program with the focus cannot say when it has read the keys sent, and the "
          u"characters still to come need keys that those are using.");
    }
    catch_up_ = false;
    if (blind_ && pace_until_ > now) return;
    if (waiting_) {
      waiting_ = false;
      show(u"Typing - press Esc to stop");
    }
    if (sent_ == events_.size()) {
      phase_ = Phase::draining;
      wait_since_ = now;
      return;
    }
    if (!note_field()) return;
    if (!send_batch()) return;
    if (options_.now() >= slice_end) return;
  }
}

std::size_t Playback::next_batch_end() {
  while (batch_ends_[next_batch_] <= sent_) ++next_batch_;
  return batch_ends_[next_batch_];
}

bool Playback::send_batch() {
  const std::size_t count = next_batch_end() - sent_;
  const std::span<const KeyEvent> batch = std::span<const KeyEvent>(events_).subspan(sent_, count);
  const KeyboardSession::Sent sent = session_->send(batch);
  sent_ += std::min(sent.delivered, count);
  if (sent.delivered > 0 && !blind_) {
    if (session_->ask_taken()) {
      asks_.push_back({++asked_, sent_});
    } else {
      blind_ = true;
    }
  }
  if (blind_) {
    taken_ = sent_;
    pace_until_ = options_.now() + kBlindPace;
  }
  if (!sent.status) {
    std::u16string reason = sent.status.message();
    if (reason.empty()) reason = u"the keyboard did not take the remaining keys.";
    stop_typing(std::move(reason));
    return false;
  }
  if (sent.delivered < count) {
    catch_up_ = true;
    return false;
  }
  return true;
}

void Playback::take_answers(std::chrono::milliseconds wait) {
  if (blind_ || asks_.empty()) return;
  const std::size_t answered = session_->answers(wait);
  while (!asks_.empty() && asks_.front().number <= answered) {
    taken_ = std::max(taken_, asks_.front().events);
    asks_.pop_front();
  }
}

void Playback::wait_for_target() {
  const std::u16string name = session_->target_name();
  waiting_on_target_ = true;
  wait_for(u"Waiting for " + (name.empty() ? u"the program" : name) +
               u" to catch up - press Esc to stop",
           (name.empty() ? u"the program with the focus" : name) + u" took no keys for " +
               to_text(std::chrono::duration_cast<std::chrono::seconds>(kSilenceLimit).count()) +
               u" seconds.");
}

void Playback::wait_for(std::u16string why, std::u16string_view gave_up) {
  const Clock::time_point now = options_.now();
  if (!waiting_) {
    waiting_ = true;
    wait_since_ = now;
    return;
  }
  if (now - wait_since_ >= kSilenceLimit) {
    // Waited long enough: the keys on their way get no more time.
    stop_typing(std::u16string(gave_up));
    return finish(Status::failure(stopped_text(*stop_why_)));
  }
  if (now - wait_since_ >= kWaitNotice) show(std::move(why));
}

void Playback::stop_typing(std::u16string why) {
  stop_why_ = std::move(why);
  waiting_ = false;
  waiting_for_.clear();
  // A modifier left down would turn the user's next keystrokes into
  // shortcuts in the target program, so let go of each one, even when the
  // keyboard has just failed.
  const std::vector<Modifier> held = held_after(std::span<const KeyEvent>(events_).first(sent_));
  for (auto it = held.rbegin(); it != held.rend(); ++it) {
    const KeyEvent release = KeyEvent::release_of(*it);
    (void)session_->send(std::span<const KeyEvent>(&release, 1));
  }
  if (!held.empty() && !blind_ && session_->ask_taken()) asks_.push_back({++asked_, sent_});
  phase_ = Phase::draining;
  wait_since_ = options_.now();
}

void Playback::drain() {
  take_answers(std::chrono::milliseconds(0));
  if (!blind_ && !asks_.empty()) take_answers(kSlice);
  if (blind_ || asks_.empty()) {
    if (stop_why_) return finish(Status::failure(stopped_text(*stop_why_)));
    return complete();
  }
  const KeyboardWatch watch = session_->watch();
  if (watch.target_gone) target_gone_ = true;
  const bool gave_up = watch.escapes > escapes_ || target_gone_ || !watch.broken.empty();
  escapes_ = watch.escapes;
  const Clock::time_point now = options_.now();
  if (gave_up || now - wait_since_ >= kSilenceLimit) {
    return finish(Status::failure(stopped_text(stop_why_.value_or(
        u"the program with the focus took no keys for " +
        to_text(std::chrono::duration_cast<std::chrono::seconds>(kSilenceLimit).count()) +
        u" seconds."))));
  }
  if (now - wait_since_ >= kWaitNotice) {
    const std::u16string name = session_->target_name();
    show(u"Waiting for " + (name.empty() ? u"the program" : name) +
         u" to take the keys already sent - press Esc to give up");
  }
}

bool Playback::note_field() {
  if (!reading_ || focus_lost_) return true;
  const std::size_t entry = entry_of(sent_);
  const std::size_t begin = entry == 0 ? 0 : tab_at_[entry - 1] + 1;
  if (sent_ != begin || fields_[entry].field) return true;
  // The Tab before this entry moves the focus on only once the target has
  // taken it.
  if (!blind_ && taken_ < sent_) {
    take_answers(kSlice / 2);
    if (taken_ < sent_) {
      wait_for_target();
      return false;
    }
  }
  const std::optional<FieldHandle> before = entry == 0 ? std::nullopt : fields_[entry - 1].field;
  fields_[entry].field = options_.fields->focused_field(before);
  // No field for this entry (the focus is on a button, or did not reach the
  // next field in time): any field seen later could still be news of this
  // entry's, so no later entry is given one.
  focus_lost_ = !fields_[entry].field;
  // The reader may have waited: the focus is looked at again before the key.
  if (const auto problem = focus_problem()) {
    stop_typing(*problem);
    return false;
  }
  return true;
}

void Playback::complete() {
  if (options_.fields == nullptr) return finish(Status::success());
  // The keyboard is done; the form gets its moment to settle. Without a
  // reader that can read there is nothing to wait for: the report says that
  // nothing was checked.
  close_session();
  phase_ = Phase::settling;
  settle_end_ = options_.now() + (reading_ ? kSettle : std::chrono::milliseconds(0));
}

void Playback::read_fields() {
  if (options_.now() < settle_end_) return;
  read_back_ = report_read_back(tavrino::read_back(fields_, *options_.fields),
                                options_.fields->how_to_read());
  finish(Status::success());
}

std::size_t Playback::entry_of(std::size_t event) const {
  const auto it = std::lower_bound(tab_at_.begin(), tab_at_.end(), event);
  return it == tab_at_.end() ? tab_at_.size() - 1 : static_cast<std::size_t>(it - tab_at_.begin());
}

std::size_t Playback::entries_taken(std::size_t events) const {
  return static_cast<std::size_t>(std::lower_bound(tab_at_.begin(), tab_at_.end(), events) -
                                  tab_at_.begin());
}

std::size_t Playback::entries_typed() const {
  if (phase_ == Phase::ended && result_.ok()) return first_ + tab_at_.size();
  return first_ + entries_taken(std::min(taken_, intact_));
}

std::u16string Playback::stopped_text(std::u16string_view why) const {
  const std::size_t done = entries_taken(std::min(taken_, intact_));
  std::u16string text = u"Typing stopped after " + number(first_ + done) + u" of " +
                        count_of(first_ + tab_at_.size(), u"entry", u"entries") + u": " +
                        std::u16string(why);
  const std::size_t first_open =
      done < tab_at_.size() ? (done == 0 ? 0 : tab_at_[done - 1] + 1) : events_.size();
  if (sent_ > taken_) {
    // Sent, but the target has not said it took them: they may still come,
    // or be lost.
    const std::size_t last = entry_of(sent_ - 1);
    const std::u16string name = session_ ? session_->target_name() : std::u16string();
    text +=
        u" The keys of " + entries_text(first_ + done + 1, first_ + last + 1) +
        u" were sent, but " + (name.empty() ? u"the program" : name) +
        (target_gone_ ? u" was closed before it took them all" : u" has not taken them all yet") +
        u"; check " + (last == done ? u"that field." : u"those fields.");
  } else if (intact_ == kAllIntact && taken_ > first_open && done < tab_at_.size()) {
    text += u" Entry " + number(first_ + done + 1) + u" got only part of its value.";
  }
  return text;
}

void Playback::show(std::u16string status) {
  status_ = std::move(status);
}

void Playback::finish(Status status) {
  close_session();
  waiting_for_.clear();
  waiting_ = false;
  status_.clear();
  phase_ = Phase::ended;
  result_ = std::move(status);
}

void Playback::close_session() {
  if (!session_) return;
  if (sent_ > 0 && !stop_why_) {
    // Ends that did not go through stop_typing (a quit) still let go of
    // what the keys sent hold.
    const std::vector<Modifier> held = held_after(std::span<const KeyEvent>(events_).first(sent_));
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
      const KeyEvent release = KeyEvent::release_of(*it);
      (void)session_->send(std::span<const KeyEvent>(&release, 1));
    }
  }
  session_.reset();
}

Status typekeys(const ResultSheet& sheet, Keyboard& keyboard) {
  Playback playback(sheet, keyboard);
  while (const auto delay = playback.step()) std::this_thread::sleep_for(*delay);
  return playback.result();
}

}  // namespace tavrino
