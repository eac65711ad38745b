// SPDX-License-Identifier: MIT
#include "platform/portal/portal_keyboard.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/portal/portal_keys.h"
#include "platform/portal/remote_desktop.h"
#include "platform/portal/restore_token.h"
#include "platform/posix/runtime_lock.h"

namespace tavrino {

namespace {

// After the session starts, how long the compositor gets before the first
// key: without the wait (and a Shift tap) the first key was sometimes lost.
constexpr std::chrono::milliseconds kSessionSettle{100};
constexpr std::uint32_t kShiftL = 0xffe1;

}  // namespace

class PortalSession final : public KeyboardSession {
 public:
  explicit PortalSession(const PortalKeyboardOptions& options) : options_(options) {}
  PortalSession(const PortalSession&) = delete;
  PortalSession& operator=(const PortalSession&) = delete;
  ~PortalSession() override { finish(); }

  Status open();
  bool lock() override {
    return lock_.take(
        RuntimeLock::path_for(std::getenv("XDG_RUNTIME_DIR"), std::getenv("WAYLAND_DISPLAY")));
  }
  Focus focus() override { return {}; }
  std::optional<Untypable> untypable(std::span<const KeyEvent> events) override;
  Status prepare(std::span<const KeyEvent> all_events) override;
  KeyboardWatch watch() override { return {}; }
  Sent send(std::span<const KeyEvent> events) override;
  // Each key is a call the desktop has answered by the time send() returns.
  bool ask_taken() override {
    ++asked_;
    return true;
  }
  std::size_t answers(std::chrono::milliseconds) override { return asked_; }

 private:
  void finish();

  const PortalKeyboardOptions& options_;
  RuntimeLock lock_;
  std::size_t asked_ = 0;
  RemoteDesktop desktop_;
  std::uint32_t version_ = 0;
  std::optional<LayoutCoverage> coverage_;
  bool started_ = false;
  std::vector<std::uint32_t> held_;  // modifier keysyms down, in the order pressed
};

Status PortalSession::open() {
  const RemoteDesktop::Offer offer = RemoteDesktop::probe();
  if (!offer.keyboard) {
    return Status::failure(
        u"This desktop's remote-desktop portal does not offer control of the keyboard.");
  }
  version_ = offer.version;
  std::string keymap;
  if (options_.read_keymap) {
    if (Status status = options_.read_keymap(keymap); !status) return status;
    coverage_ = LayoutCoverage::from_keymap_text(keymap);
  }
  if (!coverage_) return Status::failure(u"The desktop's keyboard layout could not be read.");
  return Status::success();
}

std::optional<KeyboardSession::Untypable> PortalSession::untypable(
    std::span<const KeyEvent> events) {
  return first_untypable(*coverage_, events);
}

Status PortalSession::prepare(std::span<const KeyEvent>) {
  const std::filesystem::path token_file =
      options_.token_file.empty() ? restore_token_path() : options_.token_file;
  std::string token = version_ >= 2 ? read_restore_token(token_file) : std::string();
  const auto before_dialog = [this] {
    if (options_.show_status) {
      options_.show_status(
          u"The desktop asks whether tavrino may type - allow it, and the typing starts");
    }
  };
  Status status = desktop_.open(version_, token, before_dialog, options_.answer_wait);
  if (options_.show_status) options_.show_status(u"");
  if (!status) return status;
  started_ = true;
  if (version_ >= 2) (void)write_restore_token(token_file, token);

  const RemoteDesktop::Key tap[] = {{kShiftL, true}, {kShiftL, false}};
  Status tapped = Status::success();
  if (desktop_.send(tap, tapped) != std::size(tap)) return tapped;
  std::this_thread::sleep_for(kSessionSettle);
  return Status::success();
}

KeyboardSession::Sent PortalSession::send(std::span<const KeyEvent> events) {
  std::vector<RemoteDesktop::Key> keys;
  std::vector<std::size_t> ends;  // where each event's keys end
  std::vector<std::uint32_t> held = held_;
  for (const KeyEvent& event : events) {
    const KeySymbol keysym = portal_keysym(event);
    if (event.type == KeyEvent::Type::press) {
      keys.push_back({keysym, true});
      held.push_back(keysym);
    } else if (event.type == KeyEvent::Type::release) {
      keys.push_back({keysym, false});
      const auto it = std::find(held.rbegin(), held.rend(), keysym);
      if (it != held.rend()) held.erase(std::next(it).base());
    } else {
      keys.push_back({keysym, true});
      keys.push_back({keysym, false});
    }
    ends.push_back(keys.size());
  }
  Status status = Status::success();
  const std::size_t taken = desktop_.send(keys, status);
  const std::size_t delivered =
      static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), taken) - ends.begin());
  if (taken == keys.size()) held_ = std::move(held);
  return {delivered, std::move(status)};
}

void PortalSession::finish() {
  if (started_ && !desktop_.closed() && !held_.empty()) {
    std::vector<RemoteDesktop::Key> releases;
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) releases.push_back({*it, false});
    Status ignored = Status::success();
    (void)desktop_.send(releases, ignored);
  }
  held_.clear();
  started_ = false;
  desktop_.close();
}

PortalKeyboard::PortalKeyboard(PortalKeyboardOptions options) : options_(std::move(options)) {}

Keyboard::Opened PortalKeyboard::begin() {
  auto session = std::make_unique<PortalSession>(options_);
  if (Status status = session->open(); !status) return {nullptr, std::move(status)};
  return {std::move(session), Status::success()};
}

}  // namespace tavrino
