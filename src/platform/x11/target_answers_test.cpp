// SPDX-License-Identifier: MIT
#include "platform/x11/target_answers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrino {
namespace {

constexpr unsigned long kTopLevel = 0x1200001, kPinged = 0x1200005, kChild = 0x1200009,
                        kRoot = 0x100, kProtocols = 300, kPing = 301, kDelete = 302, kState = 303;

TargetEvent answer(long token, unsigned long names = kPinged, unsigned long type = kProtocols,
                   unsigned long protocol = kPing) {
  // Programs send the answer to the root window.
  return {TargetEvent::Type::client_message,
          kRoot,
          type,
          {static_cast<long>(protocol), token, static_cast<long>(names)}};
}

TargetEvent destroyed(unsigned long window) {
  return {TargetEvent::Type::destroyed, window, 0, {0, 0, 0}};
}

TEST(TargetAnswers, TakesAnswersToItsPingsAndTheEndOfTheWindow) {
  struct Case {
    const char* what;
    std::vector<TargetEvent> events;
    std::string taken;  // per event: "+" taken, "." not
    unsigned long answered;
    bool gone;
  };
  const Case cases[] = {
      {"an answer", {answer(3)}, "+", 3, false},
      {"an answer covers the questions before it", {answer(3), answer(1)}, "++", 3, false},
      {"an answer for another window", {answer(2, kChild)}, ".", 0, false},
      {"another protocol of WM_PROTOCOLS",
       {answer(2, kPinged, kProtocols, kDelete)},
       ".",
       0,
       false},
      {"another message", {answer(2, kPinged, kState)}, ".", 0, false},
      {"the window typed into destroyed", {destroyed(kTopLevel), answer(4)}, "++", 4, true},
      {"a window inside it destroyed", {destroyed(kChild)}, ".", 0, false},
      {"any other event", {TargetEvent{}}, ".", 0, false},
  };
  for (const Case& c : cases) {
    TargetAnswers answers(kTopLevel, kPinged, kProtocols, kPing);
    std::string taken;
    for (const TargetEvent& event : c.events) taken += answers.take(event) ? '+' : '.';
    EXPECT_EQ(taken, c.taken) << c.what;
    EXPECT_EQ(answers.answered(), c.answered) << c.what;
    EXPECT_EQ(answers.gone(), c.gone) << c.what;
  }
  // Before a target is found, nothing is an answer.
  TargetAnswers none;
  EXPECT_FALSE(none.take(answer(1)));
  EXPECT_FALSE(none.take(destroyed(kTopLevel)));
  EXPECT_EQ(none.answered(), 0u);
}

TEST(TargetAnswers, ABorrowedKeycodeSettlesOnceAQuestionAskedAfterItsKeysIsAnswered) {
  // k: a key goes out on a borrowed keycode; a: a question is asked; 1, 2,
  // 3: that question is answered. After each step, "s" when every borrowed
  // key is handled, "-" when not.
  struct Case {
    const char* steps;
    const char* settled;
  };
  const Case cases[] = {
      {"a1", "ss"},       {"ka1", "--s"},   {"kaa1", "---s"}, {"akaa1", "s----"},
      {"akaa2", "s---s"}, {"ka1k", "--s-"}, {"kak1", "----"}, {"kaka2", "----s"},
  };
  for (const Case& c : cases) {
    TargetAnswers answers(kTopLevel, kPinged, kProtocols, kPing);
    std::string settled;
    for (const char* step = c.steps; *step != '\0'; ++step) {
      if (*step == 'k') answers.sent_borrowed();
      if (*step == 'a') (void)answers.ask();
      if (*step >= '1' && *step <= '9') answers.take(answer(*step - '0'));
      settled += answers.borrowed_settled() ? 's' : '-';
    }
    EXPECT_EQ(settled, c.settled) << c.steps;
  }
}

TEST(TargetAnswers, AProgramIsNamedByTheLastPartOfItsTitle) {
  struct Case {
    std::string title;
    std::u16string name;
  };
  const Case cases[] = {
      {"marks.ods - LibreOffice Calc", u"LibreOffice Calc"},
      {"Report \u2014 Draft \u2014 Writer", u"Writer"},
      {"xterm", u"xterm"},
      {"Untitled - ", u"Untitled - "},
      {std::string(50, 'x'), std::u16string(39, u'x') + u"\u2026"},
      // A right-to-left override would turn the rest of a message around.
      {"evil\u202e - form", u"form"},
      {"form \u202etxt", u"form <U+202E>txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(program_name(c.title), c.name) << c.title;
}

}  // namespace
}  // namespace tavrino
