// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <algorithm>
#include <span>
#include <thread>
#include <utility>

#include "playback/read_back.h"
#include "playback/window_focus.h"

namespace tavrino {

namespace {

// Whether keys sent now would reach nothing, or the wrong program.
bool unfit_target(Focus::Kind kind) {
  return kind != Focus::Kind::other && kind != Focus::Kind::unknown;
}

}  // namespace

Playback::Playback(const ResultSheet& sheet, Keyboard& keyboard, Options options)
    : keyboard_(keyboard), options_(std::move(options)) {
  if (!options_.now) options_.now = &Clock::now;
  EntryEvents entries;
  if (Status built = entry_events(sheet, options_.first_entry, entries); !built) {
    phase_ = Phase::ended;
    result_ = std::move(built);
    return;
  }
  const std::size_t count = sheet.itemcount > 0 ? static_cast<std::size_t>(sheet.itemcount) : 0;
  first_ = std::min(options_.first_entry, count);
  values_.assign(sheet.itemvalue.begin() + static_cast<std::ptrdiff_t>(first_),
                 sheet.itemvalue.begin() + static_cast<std::ptrdiff_t>(count));
  if (options_.fields != nullptr) fields_ = typed_entries(sheet, first_, entries);
  events_ = std::move(entries.events);
  tab_at_ = std::move(entries.tab_at);
  batch_ends_ = batch_ends(tab_at_, kBatchEvents);
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
  if (!session_->lock()) return finish(another_playback_refusal());
  // Checked first, so that a user who forgot to click into the form is told
  // that, rather than about a key held in tavrino's own window.
  if (const auto problem = focus_problem()) return finish(focus_refusal(target_.kind));
  if (const auto untypable = session_->untypable(events_)) {
    const std::size_t entry = entry_of(tab_at_, untypable->event);
    return finish(untypable_refusal(first_ + entry + 1, values_[entry], untypable->reason));
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
    if (options_.now() - hold_since_ < kReleaseWait) return show(start_wait_status(watch.held));
    return finish(start_wait_refusal(watch.held, kReleaseWait));
  }
  waiting_for_.clear();
  // Taken again after any wait: the window that has the focus now is the one
  // the keys are for.
  if (focus_problem()) return finish(focus_refusal(target_.kind));
  phase_ = Phase::typing;
  reading_ = options_.fields != nullptr && options_.fields->available();
  show(std::u16string(kTypingStatus));
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
        return stop_typing(disturbance_stop(d, first_ + entry_of(tab_at_, d.after) + 1));
      }
    }
    if (!watch.broken.empty()) return finish(Status::failure(stopped_text(watch.broken)));
    take_answers(std::chrono::milliseconds(0));
    if (watch.target_gone) {
      target_gone_ = true;
      return stop_typing(u"the window typed into was closed.");
    }
    if (const auto problem = focus_problem()) return stop_typing(*problem);
    if (watch.grabbed) return wait_for(grabbed_wait(kSilenceLimit));
    if (!watch.held.empty()) {
      waiting_for_ = watch.held;
      return wait_for(held_wait(watch.held, kSilenceLimit));
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
    if (catch_up_ && blind_) return stop_typing(blind_catch_up_stop());
    catch_up_ = false;
    if (blind_ && pace_until_ > now) return;
    if (waiting_) {
      waiting_ = false;
      show(std::u16string(kTypingStatus));
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
  waiting_on_target_ = true;
  wait_for(target_wait(session_->target_name(), kSilenceLimit));
}

void Playback::wait_for(MidWait wait) {
  const Clock::time_point now = options_.now();
  if (!waiting_) {
    waiting_ = true;
    wait_since_ = now;
    return;
  }
  if (now - wait_since_ >= kSilenceLimit) {
    // Waited long enough: the keys on their way get no more time.
    stop_typing(std::move(wait.gave_up));
    return finish(Status::failure(stopped_text(*stop_why_)));
  }
  if (now - wait_since_ >= kWaitNotice) show(std::move(wait.status));
}

void Playback::stop_typing(std::u16string why) {
  stop_why_ = std::move(why);
  waiting_ = false;
  waiting_for_.clear();
  // A modifier left down would turn the user's next keystrokes into
  // shortcuts in the target program, so let go of each one, even when the
  // keyboard has just failed.
  if (release_held() && !blind_ && session_->ask_taken()) asks_.push_back({++asked_, sent_});
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
    return finish(Status::failure(stopped_text(stop_why_.value_or(target_silent(kSilenceLimit)))));
  }
  if (now - wait_since_ >= kWaitNotice) show(draining_status(session_->target_name()));
}

bool Playback::note_field() {
  if (!reading_ || focus_lost_) return true;
  const std::size_t entry = entry_of(tab_at_, sent_);
  if (sent_ != entry_begin(tab_at_, entry) || fields_[entry].field) return true;
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

std::size_t Playback::entries_typed() const {
  if (phase_ == Phase::ended && result_.ok()) return first_ + tab_at_.size();
  return first_ + entries_within(tab_at_, std::min(taken_, intact_));
}

std::u16string Playback::stopped_text(std::u16string_view why) const {
  const std::size_t done = entries_within(tab_at_, std::min(taken_, intact_));
  StopTally tally;
  tally.entries = first_ + tab_at_.size();
  tally.taken = first_ + done;
  if (sent_ > taken_) {
    tally.last_sent = first_ + entry_of(tab_at_, sent_ - 1) + 1;
    if (session_) tally.target = session_->target_name();
    tally.target_gone = target_gone_;
  } else if (done < tab_at_.size()) {
    // The keys of the entry after those taken in full: some of them were
    // taken, and nothing in among them.
    tally.partly_taken = intact_ == kAllIntact && taken_ > entry_begin(tab_at_, done);
  }
  return tavrino::stopped_text(tally, why);
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
  // Ends that did not go through stop_typing (a quit) still let go of what
  // the keys sent hold.
  if (sent_ > 0 && !stop_why_) release_held();
  session_.reset();
}

bool Playback::release_held() {
  const std::vector<Modifier> held = held_after(std::span<const KeyEvent>(events_).first(sent_));
  for (auto it = held.rbegin(); it != held.rend(); ++it) {
    const KeyEvent release = KeyEvent::release_of(*it);
    (void)session_->send(std::span<const KeyEvent>(&release, 1));
  }
  return !held.empty();
}

Status typekeys(const ResultSheet& sheet, Keyboard& keyboard) {
  Playback playback(sheet, keyboard);
  while (const auto delay = playback.step()) std::this_thread::sleep_for(*delay);
  return playback.result();
}

}  // namespace tavrino
