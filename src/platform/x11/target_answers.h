// SPDX-License-Identifier: MIT
// What the answers of the program typed into tell (see target_sync.h, which
// asks and passes the X events on): which questions it has answered, whether
// its window went away, and whether every key sent on a borrowed keycode has
// been handled, so that the keycode may change meaning. No X connection is
// needed here.
#pragma once

#include <string>
#include <string_view>

namespace tavrino {

// An X event as far as the answers need it.
struct TargetEvent {
  enum class Type : unsigned char {
    other,
    client_message,  // `window`, `message_type` and `data` (its first three longs)
    destroyed,       // DestroyNotify of `window`
  };
  Type type = Type::other;
  unsigned long window = 0;
  unsigned long message_type = 0;
  long data[3] = {0, 0, 0};
};

class TargetAnswers {
 public:
  // Nothing asked about: takes no event.
  TargetAnswers() = default;
  // `top_level`: the window typed into, which is gone once destroyed;
  // `pinged`: the window that answers _NET_WM_PING (0 when none does);
  // `protocols` and `ping`: the atoms WM_PROTOCOLS and _NET_WM_PING.
  TargetAnswers(unsigned long top_level, unsigned long pinged, unsigned long protocols,
                unsigned long ping)
      : active_(true), top_level_(top_level), pinged_(pinged), protocols_(protocols), ping_(ping) {}

  // Takes `event` when it is an answer to one of the pings sent to the
  // pinged window (_NET_WM_PING in WM_PROTOCOLS, naming that window), or the
  // destruction of the top-level window; false for any other event.
  bool take(const TargetEvent& event);

  // The number of the next question to send (1, 2, ...), counted as asked.
  unsigned long ask();
  // A key went out on a borrowed keycode: the keycode keeps its meaning
  // until a question asked after it is answered.
  void sent_borrowed() { borrowed_unasked_ = true; }

  unsigned long asked() const { return asked_; }
  // The highest question answered so far; an answer covers those before it.
  unsigned long answered() const { return answered_; }
  // The window typed into was destroyed: no answer will come.
  bool gone() const { return gone_; }
  // Every key sent on a borrowed keycode so far has been handled.
  bool borrowed_settled() const { return !borrowed_unasked_ && answered_ >= settles_at_; }
  // A key went out on a borrowed keycode since the last question.
  bool borrowed_unasked() const { return borrowed_unasked_; }

 private:
  bool active_ = false;
  unsigned long top_level_ = 0;
  unsigned long pinged_ = 0;
  unsigned long protocols_ = 0;
  unsigned long ping_ = 0;
  unsigned long asked_ = 0;
  unsigned long answered_ = 0;
  bool gone_ = false;
  // The question whose answer shows that every key sent on a borrowed
  // keycode before it has been handled, and whether such a key went out
  // after it.
  unsigned long settles_at_ = 0;
  bool borrowed_unasked_ = false;
};

// A short name for a program from its window's title: "LibreOffice Calc"
// of "marks.ods - LibreOffice Calc", since programs put their own name last
// in the title after a dash; a title of another shape is kept whole. Cut to
// a length a status line can show, with the characters that show nothing
// written as their codes (escape_hidden).
std::u16string program_name(std::string_view title);

}  // namespace tavrino
