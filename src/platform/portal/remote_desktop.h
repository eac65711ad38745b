// SPDX-License-Identifier: MIT
// The conversation with the desktop's remote-desktop portal
// (org.freedesktop.portal.RemoteDesktop on the session bus), which GNOME and
// KDE offer: a session with a keyboard, granted by the user in a dialog of
// the desktop's own, then keysyms pressed and released through it.
//
// Every request the portal answers later, by a Response signal; waiting for
// one runs a local event loop that leaves out the user's input and socket
// notifiers, so the window repaints and the desktop sees it alive, yet no
// key, click or close reaches the program before the answer is in.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "base/status.h"

namespace tavrino {

class RemoteDesktop {
 public:
  RemoteDesktop();
  ~RemoteDesktop();  // closes an open session
  RemoteDesktop(const RemoteDesktop&) = delete;
  RemoteDesktop& operator=(const RemoteDesktop&) = delete;

  // What the portal offers: whether it can control a keyboard, and the
  // version of its interface (restore tokens from 2 on). Nothing offered
  // without a session bus or a portal.
  struct Offer {
    bool keyboard = false;
    std::uint32_t version = 0;
  };
  static Offer probe();

  // Opens a session with the keyboard: creates it, selects the keyboard and
  // starts it, which shows the desktop's dialog unless `restore_token` (from
  // version 2 on) lets it skip that. `before_dialog` runs just before the
  // start. On success `restore_token` holds the token for the next time
  // (empty when the portal gave none). Fails with a sentence that begins
  // "Nothing was typed" when the user cancels, the desktop refuses or does
  // not answer within `answer_wait`.
  Status open(std::uint32_t version, std::string& restore_token,
              const std::function<void()>& before_dialog, std::chrono::milliseconds answer_wait);

  // One press or release of a keysym.
  struct Key {
    std::uint32_t keysym = 0;
    bool down = false;
  };
  // Sends the keys in order, each once the portal has taken the one before.
  // Returns how many it took; fewer means failure, and `status` says why.
  std::size_t send(std::span<const Key> keys, Status& status);

  // Whether the desktop has closed the session (the user revoked it, or the
  // desktop ended it). Seen once the event loop has run.
  bool closed() const;

  // Closes the session. Does nothing when none is open.
  void close();

 private:
  class Conversation;
  std::unique_ptr<Conversation> conversation_;
};

}  // namespace tavrino
