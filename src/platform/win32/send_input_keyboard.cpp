// SPDX-License-Identifier: MIT
#include "platform/win32/send_input_keyboard.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/win32/hook_watch.h"
#include "platform/win32/input_translator.h"
#include "platform/win32/keys_down.h"

namespace tavrino {

std::u16string blocked_input_message() {
  // A window that runs as administrator is told apart before typing (its
  // focus is elevated); Windows drops its keys without a word, so this is
  // another program holding the input back.
  return u"Windows did not pass all the keystrokes on: another program is blocking input.";
}

std::u16string secure_desktop_message() {
  return u"the screen was locked, or Windows asked for permission or showed Ctrl+Alt+Del, and "
         u"Windows takes no keystrokes from any program then; unlock it or answer the prompt, "
         u"and see in the form how far the typing got before you type again.";
}

std::u16string program_name(std::u16string_view title) {
  std::u16string name(title);
  for (const std::u16string_view dash : {u" - ", u" \u2014 ", u" \u2013 "}) {
    const auto at = name.rfind(dash);
    if (at != std::u16string::npos && at + dash.size() < name.size()) {
      name.erase(0, at + dash.size());
      break;
    }
  }
  constexpr std::size_t kLongest = 40;
  if (name.size() > kLongest) name = name.substr(0, kLongest - 1) + u"\u2026";
  return escape_hidden(name);
}

namespace {

class SrwGuard {
 public:
  explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }
  SrwGuard(const SrwGuard&) = delete;
  SrwGuard& operator=(const SrwGuard&) = delete;

 private:
  SRWLOCK& lock_;
};

using Clock = std::chrono::steady_clock;

// How long the hook may see none of the records still on their way before
// they are taken as passed on without it.
constexpr std::chrono::milliseconds kHookStall{250};
// How long a session that ends waits for the user to let go of Esc: once
// the hook is gone, the key's autorepeat would reach the target.
constexpr std::chrono::milliseconds kEscapeWait{3000};
// The longest single wait for the hook, so that the clock is looked at.
constexpr std::chrono::milliseconds kHookPoll{10};

// The keys whose state the user may hold as watching begins.
constexpr BYTE kWatchedKeys[] = {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU,
                                 VK_RMENU,  VK_LWIN,   VK_RWIN,     VK_ESCAPE};

// Record numbers never repeat within a process, so that a record of an
// earlier session that the hook sees late is no record of this one's.
std::atomic<std::uint32_t> next_record{1};

}  // namespace

// One playback's hold on the desktop.
class SendInputSession final : public KeyboardSession {
 public:
  SendInputSession(Desktop& desktop, const SendInputOptions& options)
      : desktop_(desktop), options_(options) {}
  ~SendInputSession() override;
  SendInputSession(const SendInputSession&) = delete;
  SendInputSession& operator=(const SendInputSession&) = delete;

  bool lock() override;
  Focus focus() override;
  // Takes the foreground window's layout and checks that it can type every
  // event, starts the hook, and switches Caps Lock off.
  Status prepare(std::span<const KeyEvent> all_events) override;
  KeyboardWatch watch() override;
  Sent send(std::span<const KeyEvent> events) override;
  bool ask_taken() override;
  std::size_t answers(std::chrono::milliseconds wait) override;
  std::u16string target_name() override {
    return program_name(desktop_.window_title(target_.window));
  }

 private:
  // A question to the target: answered once the hook has seen `record` and
  // the target reads its messages.
  struct Ask {
    std::uint32_t record = 0;
    std::size_t events = 0;
  };

  // The console's emergency exit, from another thread: lets go of every key
  // and puts Caps Lock back; nothing goes out after it.
  void release_all();
  // Numbers the records, sends them, and keeps track of what is down; under
  // lock_. Returns how many went into the input stream. Sends also once cut
  // off: the callers that press keys look at cut_off_ first.
  // `first` gets the number of the first record.
  UINT send_locked(std::span<INPUT> inputs, std::uint32_t* first = nullptr);
  // Lets go of every key down, and puts Caps Lock back if `restore_caps`;
  // under lock_.
  void release_locked(bool restore_caps);
  // Tells the watch about the records of `inputs` that went in, from `first`
  // on, each for the event `event_of` gives.
  template <typename EventOf>
  void expect(std::uint32_t first, std::span<const INPUT> inputs, UINT inserted, EventOf event_of);
  void take_hook_keys();
  // Waits, briefly, until the hook has seen every record sent.
  void settle();
  Clock::time_point now() const { return options_.now(); }

  Desktop& desktop_;
  SendInputOptions options_;
  bool locked_ = false;
  bool hooked_ = false;
  bool hook_blind_ = false;  // the hook sees none of the records sent
  std::unique_ptr<KeyLayout> layout_;
  std::optional<InputTranslator> translator_;
  HookWatch watch_;
  std::vector<HookKey> keys_;  // scratch for what the hook saw
  Focus target_;               // the window typing goes to
  std::uintptr_t layout_id_ = 0;
  std::size_t events_ = 0;  // events delivered
  std::vector<Ask> asks_;
  std::size_t answered_ = 0;
  // What release_all() may touch from another thread, under lock_.
  SRWLOCK lock_ = SRWLOCK_INIT;
  KeysDown down_;  // what the records sent hold down
  WORD caps_scan_ = 0;
  bool caps_switched_ = false;  // prepare() switched Caps Lock off
  bool cut_off_ = false;        // release_all() ran: nothing more goes out
};

Keyboard::Opened SendInputKeyboard::begin() {
  return {std::make_unique<SendInputSession>(desktop_, options_), Status::success()};
}

SendInputSession::~SendInputSession() {
  {
    const SrwGuard guard(lock_);
    release_locked(true);
  }
  if (hooked_) {
    // The hook keeps a held Esc's repeats from the target; while the user
    // still holds it, the hook stays, for a while.
    take_hook_keys();
    const Clock::time_point started = now();
    while (watch_.escape_held() && now() - started < kEscapeWait) {
      desktop_.wait_for_hook(kHookPoll);
      take_hook_keys();
    }
    desktop_.stop_hook();
  }
  // Last, so that the console's emergency exit, which runs under the
  // desktop's hold, is over before this session goes.
  if (locked_) desktop_.close();
}

bool SendInputSession::lock() {
  locked_ = desktop_.open([this] { release_all(); }).ok();
  return locked_;
}

Focus SendInputSession::focus() {
  settle();
  if (desktop_.secure_desktop()) return {Focus::Kind::secure, 0};
  const Focus focus = desktop_.focus();
  // Until the first key goes out, the window with the focus is the one the
  // keys are for.
  if (events_ == 0) target_ = focus;
  return focus;
}

Status SendInputSession::prepare(std::span<const KeyEvent> all_events) {
  layout_ = desktop_.target_layout();
  // A dry run over the whole playback finds a character the layout cannot
  // type before a single key has gone out.
  InputTranslator check(*layout_, options_.unicode_only);
  std::vector<INPUT> scratch;
  for (const KeyEvent& event : all_events) {
    if (Status status = check.add(event, scratch); !status) return status;
  }
  // What the dry run learnt of the layout is kept; what it holds is not.
  check.release_all(scratch);
  translator_.emplace(std::move(check));
  target_ = desktop_.focus();
  layout_id_ = desktop_.layout_id();

  if (!desktop_.start_hook()) {
    return Status::failure(
        u"Nothing was typed: Windows did not let tavrino watch the keyboard, which it must do to "
        u"notice Esc and the keys pressed while it types.");
  }
  hooked_ = true;
  watch_ = HookWatch([this](const HookKey& key) { return desktop_.key_name(key); });
  // Asked once the hook runs, so that no change in between goes unseen.
  for (const BYTE vk : kWatchedKeys) {
    if (desktop_.key_down(vk)) watch_.user_holds(vk);
  }

  caps_scan_ = layout_->scan_code(VK_CAPITAL);
  const SrwGuard guard(lock_);
  if (desktop_.caps_lock_on() && !cut_off_) {
    // Caps Lock would turn the case of every letter typed as a key.
    INPUT tap[2] = {key_input(VK_CAPITAL, caps_scan_, false, false),
                    key_input(VK_CAPITAL, caps_scan_, false, true)};
    std::uint32_t first = 0;
    const UINT inserted = send_locked(tap, &first);
    expect(first, tap, inserted, [](std::size_t) { return std::size_t{0}; });
    caps_switched_ = inserted > 0;
  }
  return Status::success();
}

UINT SendInputSession::send_locked(std::span<INPUT> inputs, std::uint32_t* first) {
  if (inputs.empty()) return 0;
  const std::uint32_t number = next_record.fetch_add(static_cast<std::uint32_t>(inputs.size()));
  if (first != nullptr) *first = number;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    inputs[i].ki.dwExtraInfo = own_record_info(number + static_cast<std::uint32_t>(i));
  }
  const UINT inserted = desktop_.send_input(inputs);
  down_.went_in(inputs.first(std::min<std::size_t>(inserted, inputs.size())));
  return inserted;
}

void SendInputSession::release_locked(bool restore_caps) {
  std::vector<INPUT> releases = down_.release_all();
  if (restore_caps && caps_switched_) {
    releases.push_back(key_input(VK_CAPITAL, caps_scan_, false, false));
    releases.push_back(key_input(VK_CAPITAL, caps_scan_, false, true));
    caps_switched_ = false;
  }
  send_locked(releases);
}

template <typename EventOf>
void SendInputSession::expect(std::uint32_t first, std::span<const INPUT> inputs, UINT inserted,
                              EventOf event_of) {
  for (std::size_t i = 0; i < inserted && i < inputs.size(); ++i) {
    watch_.sent(first + static_cast<std::uint32_t>(i), event_of(i), is_down(inputs[i]));
  }
}

KeyboardSession::Sent SendInputSession::send(std::span<const KeyEvent> events) {
  // prepare() made the translator: the playback sends nothing before it.
  std::vector<INPUT> inputs;
  std::vector<std::size_t> ends;  // records up to the end of each event
  Status translated = Status::success();
  for (const KeyEvent& event : events) {
    translated = translator_->add(event, inputs);
    if (!translated) break;
    ends.push_back(inputs.size());
  }
  const SrwGuard guard(lock_);
  if (cut_off_) return {0, Status::failure(u"tavrino is ending.")};
  // One call for all records, so that no keystroke of the user's can land in
  // the middle of a value.
  std::uint32_t first = 0;
  const UINT inserted = send_locked(inputs, &first);
  std::size_t event = 0;
  expect(first, inputs, inserted, [&](std::size_t record) {
    while (ends[event] <= record) ++event;
    return events_ + event;
  });
  std::size_t delivered = 0;
  while (delivered < ends.size() && ends[delivered] <= inserted) ++delivered;
  events_ += delivered;
  watch_.sent_events(events_);
  if (inserted >= inputs.size()) return {delivered, std::move(translated)};
  // Let no key stay down that the records which did go in pressed; Caps Lock
  // is put back at the end.
  release_locked(false);
  // What the key string still holds is released by the caller; this
  // translator would only repeat it.
  std::vector<INPUT> dropped;
  translator_->release_all(dropped);
  return {delivered, Status::failure(desktop_.secure_desktop() ? secure_desktop_message()
                                                               : blocked_input_message())};
}

void SendInputSession::release_all() {
  const SrwGuard guard(lock_);
  release_locked(true);
  cut_off_ = true;
}

void SendInputSession::take_hook_keys() {
  if (!hooked_) return;
  keys_.clear();
  desktop_.take_hook_keys(keys_);
  for (const HookKey& key : keys_) watch_.saw(key);
}

void SendInputSession::settle() {
  // The hook sees each record as Windows hands it on to the window with the
  // focus; once it has seen them all, nothing of ours is still on its way.
  // Waiting here also keeps the input stream short, so that an Esc does not
  // queue behind a long run of keys.
  if (!hooked_ || hook_blind_) return;
  take_hook_keys();
  std::size_t waiting_for = watch_.handled_events();
  Clock::time_point progress = now();
  while (!watch_.handled(next_record - 1)) {
    desktop_.wait_for_hook(kHookPoll);
    take_hook_keys();
    if (watch_.handled_events() != waiting_for) {
      waiting_for = watch_.handled_events();
      progress = now();
    } else if (now() - progress > kHookStall) {
      // Records the hook never saw (Windows skips a hook that answers too
      // late) are not waited for again; a hook that sees none of ours is not
      // waited for at all.
      if (!watch_.seen_own()) hook_blind_ = true;
      watch_.forget_unseen();
      return;
    }
  }
}

KeyboardWatch SendInputSession::watch() {
  take_hook_keys();
  // A window of another layout is another window: the focus check says so.
  // The same window with another layout reads the keys still in its queue
  // with it; only those it has taken were read with the old one.
  if (target_.window != 0 && desktop_.focus() == target_ && desktop_.layout_id() != layout_id_) {
    watch_.layout_changed(answered_ == 0 ? 0 : asks_[answered_ - 1].events);
  }
  KeyboardWatch watch;
  watch.escapes = watch_.escapes();
  watch.held = watch_.held();
  watch.disturbed = watch_.disturbed();
  watch.target_gone = target_.window != 0 && !desktop_.window_exists(target_.window);
  return watch;
}

bool SendInputSession::ask_taken() {
  if (!hooked_ || hook_blind_) return false;
  asks_.push_back({next_record - 1, events_});
  return true;
}

std::size_t SendInputSession::answers(std::chrono::milliseconds wait) {
  const Clock::time_point until = now() + wait;
  for (;;) {
    take_hook_keys();
    std::size_t reached = answered_;
    while (reached < asks_.size() && watch_.handled(asks_[reached].record)) ++reached;
    const auto left = std::max(std::chrono::ceil<std::chrono::milliseconds>(until - now()),
                               std::chrono::milliseconds(0));
    if (reached > answered_) {
      // In the target's queue; taken once the target reads its messages.
      if (target_.window == 0 || desktop_.responsive(target_.window, left)) answered_ = reached;
      return answered_;
    }
    if (left.count() == 0 || answered_ == asks_.size()) return answered_;
    desktop_.wait_for_hook(std::min(left, kHookPoll));
  }
}

}  // namespace tavrino
