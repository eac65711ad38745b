// SPDX-License-Identifier: MIT
#include "playback/key_string.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/unicode.h"
#include "playback/literal_text.h"

namespace tavrino {

namespace {

std::optional<Modifier> modifier_of(char16_t c) {
  switch (c) {
    case u'+':
      return Modifier::shift;
    case u'^':
      return Modifier::ctrl;
    case u'%':
      return Modifier::alt;
    default:
      return std::nullopt;
  }
}

std::u16string_view sign_word(Modifier m) {
  switch (m) {
    case Modifier::shift:
      return u"a plus sign";
    case Modifier::ctrl:
      return u"a caret";
    case Modifier::alt:
      return u"a percent sign";
  }
  return u"?";
}

std::u16string literal_of(char16_t c) {
  return std::u16string{u'{', c, u'}'};
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  ParsedKeys run() {
    while (pos_ < text_.size() && !error_) step();
    if (!error_) finish();
    ParsedKeys result;
    if (error_) {
      result.error = std::move(error_);
    } else {
      result.events = std::move(events_);
    }
    return result;
  }

 private:
  struct Pending {
    Modifier modifier;
    std::size_t position;
  };
  struct Group {
    std::size_t open;                 // position of its "("
    std::vector<Modifier> modifiers;  // held for the whole group, in press order
    std::size_t keys_before = 0;      // keys_ when it opened
    std::size_t signs = 0;            // position of the modifier signs before it
  };

  void fail(std::size_t position, std::u16string explanation) {
    error_ = KeyStringError{position, std::move(explanation)};
  }

  bool held_by_group(Modifier m) const {
    return std::any_of(groups_.begin(), groups_.end(), [m](const Group& g) {
      return std::find(g.modifiers.begin(), g.modifiers.end(), m) != g.modifiers.end();
    });
  }

  void step() {
    const char16_t c = text_[pos_];
    if (const auto m = modifier_of(c)) return modifier(*m);
    switch (c) {
      case u'~':
        ++pos_;
        return key(KeyEvent::of_key(Key::enter), 1);
      case u'{':
        return braces();
      case u'}':
        return fail(pos_, u"\"}\" has no matching \"{\"; to type a closing brace write {}}.");
      case u'(':
        return open_group();
      case u')':
        return close_group();
      case u'[':
        return fail(pos_, u"\"[\" is reserved; to type an opening bracket write {[}.");
      case u']':
        return fail(pos_, u"\"]\" is reserved; to type a closing bracket write {]}.");
      default: {
        // A line break written into a value (a quoted item may span lines)
        // is one Enter, also as CR LF.
        const std::size_t at = pos_;
        pos_ += typed_length(text_, at);
        if (const auto event = character_event(at)) return key(*event, 1);
        return;
      }
    }
  }

  // The event that types the character at `at` (plain_character_event), or
  // nothing after a failure.
  std::optional<KeyEvent> character_event(std::size_t at) {
    // A CR LF pair is looked at by its CR.
    const char32_t c = code_point_at(text_, at).value;
    std::u16string why;
    const std::optional<KeyEvent> event = plain_character_event(c, why);
    if (!event) {
      fail(at, std::move(why));
      return std::nullopt;
    }
    // Held modifiers make a character a key press of the layout, and no
    // layout has a key for a character past U+FFFF.
    if (c > 0xFFFF && holding()) {
      fail(at, u"The character " + quoted(code_point_text(c)) + u" cannot be typed with " +
                   held_names() +
                   u" held: no keyboard layout has a key for it; type it without the modifier.");
      return std::nullopt;
    }
    return event;
  }

  // Whether a modifier is held for the next key, written before it or by an
  // enclosing group.
  bool holding() const {
    return !pending_.empty() || std::any_of(groups_.begin(), groups_.end(),
                                            [](const Group& g) { return !g.modifiers.empty(); });
  }

  // "Shift", "Shift and Ctrl", "Shift, Ctrl and Alt": the modifiers held now,
  // in the order they were pressed.
  std::u16string held_names() const {
    std::vector<Modifier> held;
    for (const Group& g : groups_) held.insert(held.end(), g.modifiers.begin(), g.modifiers.end());
    for (const Pending& p : pending_) held.push_back(p.modifier);
    return names_of(held);
  }

  static std::u16string names_of(const std::vector<Modifier>& modifiers) {
    std::vector<std::u16string> names;
    for (const Modifier m : modifiers) names.emplace_back(modifier_name(m));
    return listed(names);
  }

  void modifier(Modifier m) {
    const char16_t sign = text_[pos_];
    const bool twice = std::any_of(pending_.begin(), pending_.end(),
                                   [m](const Pending& p) { return p.modifier == m; });
    if (twice) {
      return fail(pos_, quoted(std::u16string(1, sign)) +
                            u" is written twice before one key; to type " +
                            std::u16string(sign_word(m)) + u" write " + literal_of(sign) + u".");
    }
    if (held_by_group(m)) {
      return fail(pos_, quoted(std::u16string(1, sign)) + u" cannot press " +
                            std::u16string(modifier_name(m)) +
                            u" again inside a group that already holds it; to type " +
                            std::u16string(sign_word(m)) + u" write " + literal_of(sign) + u".");
    }
    pending_.push_back({m, pos_});
    ++pos_;
  }

  // Sends one key `count` times with the modifiers written before it held.
  void key(const KeyEvent& event, int count) {
    for (const Pending& p : pending_) events_.push_back(KeyEvent::press_of(p.modifier));
    for (int i = 0; i < count; ++i) events_.push_back(event);
    keys_ += static_cast<std::size_t>(count);
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) {
      events_.push_back(KeyEvent::release_of(it->modifier));
    }
    pending_.clear();
  }

  // 2 for a valid surrogate pair, else 1: a lone surrogate is a character of
  // its own (which cannot be typed).
  std::size_t character_length(std::size_t at) const { return code_point_at(text_, at).length; }

  void braces() {
    const std::size_t open = pos_;
    const std::size_t start = open + 1;
    const auto unmatched = [&] {
      fail(open, u"\"{\" has no matching \"}\"; to type an opening brace write {{}.");
    };
    if (start >= text_.size()) return unmatched();
    // "{}" names nothing, but "{}}" is a closing brace and "{} 3}" three of them.
    if (text_[start] == u'}' &&
        (start + 1 >= text_.size() || (text_[start + 1] != u'}' && text_[start + 1] != u' '))) {
      return fail(open, u"\"{}\" names no key; to type braces write {{}{}}.");
    }
    // The first character always belongs to the name, so that "{{}", "{}}" and
    // "{{ 2}" work; any brace after it means the closing one is missing.
    const std::size_t first = character_length(start);
    std::size_t close = start + first;
    while (close < text_.size() && text_[close] != u'}') {
      if (text_[close] == u'{') return unmatched();
      ++close;
    }
    if (close >= text_.size()) return unmatched();

    const std::u16string_view content = text_.substr(start, close - start);
    const std::size_t space = content.find(u' ', first);
    const std::u16string_view name = content.substr(0, space);

    KeyEvent event;
    if (name.size() == first) {
      // A single character inside braces is typed as itself, even + ^ % ~ ( ).
      const auto typed = character_event(start);
      if (!typed) return;
      event = *typed;
    } else if (const auto named = key_by_name(name)) {
      event = KeyEvent::of_key(*named);
    } else {
      return fail(
          start,
          quoted(name) + u" is not a key name; to type braces as themselves write {{} and {}}.");
    }

    int count = 1;
    if (space != std::u16string_view::npos) {
      const std::u16string_view digits = content.substr(space + 1);
      const std::size_t at = start + space + 1;
      const std::u16string example = u"{" + std::u16string(name) + u" 3}";
      if (digits.empty()) {
        return fail(at, quoted(content) + u" needs a repeat count after the blank, as in " +
                            example + u".");
      }
      if (!std::all_of(digits.begin(), digits.end(),
                       [](char16_t d) { return d >= u'0' && d <= u'9'; })) {
        return fail(at, quoted(digits) +
                            u" is not a repeat count; write a whole number from 0 to " +
                            to_text(kMaxRepeat) + u", as in " + example + u".");
      }
      count = 0;
      for (const char16_t d : digits) {
        count = count * 10 + (d - u'0');
        if (count > kMaxRepeat) {
          return fail(at, quoted(digits) + u" is too many repeats; at most " + to_text(kMaxRepeat) +
                              u" are allowed.");
        }
      }
    }

    if (count == 0 && !pending_.empty()) {
      // Ctrl or Alt pressed and let go with nothing between is a key stroke
      // of its own: Alt alone opens the menu bar of many programs.
      const std::size_t first = pending_.front().position;
      const std::u16string_view written = text_.substr(first, close + 1 - first);
      const std::u16string_view signs = text_.substr(first, open - first);
      std::vector<Modifier> held;
      for (const Pending& p : pending_) held.push_back(p.modifier);
      return fail(first, quoted(written) + u" holds " + names_of(held) +
                             u" for a key typed 0 times, which would press " + names_of(held) +
                             u" alone; leave out " + quoted(signs) + u" and write " +
                             quoted(text_.substr(open, close + 1 - open)) +
                             u", or type the key at least once.");
    }
    pos_ = close + 1;
    key(event, count);
  }

  void open_group() {
    const std::size_t open = pos_;
    Group group{open, {}, keys_, pending_.empty() ? open : pending_.front().position};
    for (const Pending& p : pending_) group.modifiers.push_back(p.modifier);
    if (!pending_.empty() && open + 1 < text_.size() && text_[open + 1] == u')') {
      const std::u16string_view signs =
          text_.substr(pending_.front().position, open - pending_.front().position);
      return fail(open, quoted(std::u16string(signs) + u"()") +
                            u" holds a modifier for an empty group; put keys between the "
                            u"parentheses, or write {(}{)} to type them.");
    }
    for (const Pending& p : pending_) events_.push_back(KeyEvent::press_of(p.modifier));
    pending_.clear();
    groups_.push_back(std::move(group));
    ++pos_;
  }

  void close_group() {
    if (!pending_.empty()) return dangling(u"before \")\"");
    if (groups_.empty()) {
      return fail(pos_, u"\")\" has no matching \"(\"; to type a closing parenthesis write {)}.");
    }
    const Group& group = groups_.back();
    if (!group.modifiers.empty() && keys_ == group.keys_before) {
      return fail(group.open,
                  quoted(text_.substr(group.signs, pos_ + 1 - group.signs)) +
                      u" types no key, so " + names_of(group.modifiers) +
                      u" would be pressed alone; put a key between the parentheses, or write "
                      u"the group without " +
                      quoted(text_.substr(group.signs, group.open - group.signs)) + u".");
    }
    for (auto it = group.modifiers.rbegin(); it != group.modifiers.rend(); ++it) {
      events_.push_back(KeyEvent::release_of(*it));
    }
    groups_.pop_back();
    ++pos_;
  }

  void finish() {
    if (!pending_.empty()) return dangling(u"at the end");
    if (!groups_.empty()) {
      return fail(groups_.back().open,
                  u"\"(\" has no matching \")\"; to type an opening parenthesis write {(}.");
    }
  }

  // Modifiers with no key after them: most likely meant as the signs
  // themselves, so the message shows the value with them written literally.
  void dangling(std::u16string_view where) {
    const std::size_t first = pending_.front().position;
    const std::size_t after = pending_.back().position + 1;
    const std::u16string_view signs = text_.substr(first, after - first);
    std::u16string literal;
    std::vector<Modifier> modifiers;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
      literal += literal_of(signs[i]);
      modifiers.push_back(pending_[i].modifier);
    }
    const std::u16string held = names_of(modifiers);
    std::u16string example(text_.substr(0, first));
    example += literal;
    example += text_.substr(after);
    std::u16string what = pending_.size() == 1 ? std::u16string(sign_word(pending_[0].modifier))
                                               : std::u16string(u"those signs");
    fail(first, quoted(signs) + u" " + std::u16string(where) + u" has no key to hold " + held +
                    u" for; to type " + what + u" write " + literal + u", as in " + example + u".");
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
  KeyEvents events_;
  std::size_t keys_ = 0;          // key and character events so far
  std::vector<Pending> pending_;  // modifiers written since the last key, in order
  std::vector<Group> groups_;     // open parentheses, outermost first
  std::optional<KeyStringError> error_;
};

}  // namespace

ParsedKeys parse_key_string(std::u16string_view keys) {
  return Parser(keys).run();
}

}  // namespace tavrino
