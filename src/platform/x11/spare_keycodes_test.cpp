// SPDX-License-Identifier: MIT
#include "platform/x11/spare_keycodes.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

namespace tavrino {
namespace {

const KeySymbol kA = keysym_for_character(U'a');
const KeySymbol kBigA = keysym_for_character(U'A');
const KeySymbol kZhong = keysym_for_character(U'\u4e2d');
const KeySymbol kWen = keysym_for_character(U'\u6587');
const KeySymbol kEuro = keysym_for_character(U'\u20ac');
const KeySymbol kYen = keysym_for_character(U'\u00a5');
// An empty keycode as the core protocol lists it, four symbols wide.
const KeycodeSymbols kEmpty = {0, 0, 0, 0};

TEST(SpareKeycodesTest, SpareBatches) {
  const KeySymbol a = kA, cap_a = kBigA, zh = kZhong, wen = kWen, eur = kEuro;
  const KeySymbol b = keysym_for_character(U'b'), cap_b = keysym_for_character(U'B');
  const KeySymbol o = keysym_for_character(U'\u00f6'), cap_o = keysym_for_character(U'\u00d6');
  const KeySymbol title = keysym_for_character(U'\u01c5');  // Dz as in a title
  const KeySymbol f13 = keysym_for_key(Key::f13);
  const auto p = [](KeySymbol k) { return SpareUse{k, false}; };  // typed plain
  const auto s = [](KeySymbol k) { return SpareUse{k, true}; };   // typed under Shift
  const struct {
    const char* name;
    std::vector<SpareUse> uses;
    std::size_t from, keys;
    std::vector<SpareKey> expected;
    std::size_t end;
  } cases[] = {
      {"both cases share a key", {p(cap_a), p(a), p(cap_a)}, 0, 3, {{a, cap_a}}, 3},
      {"upper case first", {p(cap_o)}, 0, 1, {{o, cap_o}}, 1},
      {"no case: two share a key", {p(zh), p(wen)}, 0, 5, {{zh, wen}}, 2},
      {"odd one out: both levels", {p(zh), p(wen), p(eur)}, 0, 5, {{zh, wen}, {eur, eur}}, 3},
      {"typed under Shift: a key alone", {s(zh), p(wen)}, 0, 5, {{zh, zh}, {wen, wen}}, 2},
      {"a named key never needs Shift", {p(f13), p(zh)}, 0, 5, {{f13, f13}, {zh, zh}}, 2},
      // U+01C5 has a lower and an upper case but is neither: no letter key.
      {"title case shares like a symbol", {p(title), p(zh)}, 0, 5, {{title, zh}}, 2},
      {"letters first, then the pairs", {p(zh), p(b), p(wen)}, 0, 5, {{b, cap_b}, {zh, wen}}, 3},
      {"stops when keys run out", {p(zh), p(wen), p(eur), p(b)}, 0, 2, {{zh, wen}, {eur, eur}}, 3},
      // One keycode left after the letter: a second letter does not fit.
      {"a letter needs a whole key", {p(zh), p(a), p(b)}, 0, 2, {{a, cap_a}, {zh, zh}}, 2},
      {"repeats still fit", {p(zh), p(b), p(zh), p(wen), p(eur)}, 0, 2, {{b, cap_b}, {zh, wen}}, 4},
      {"starts at from", {p(zh), p(wen), p(b)}, 2, 2, {{b, cap_b}}, 3},
      {"no keys, nothing covered", {p(zh)}, 0, 0, {}, 0},
      {"from at the end", {p(zh)}, 1, 4, {}, 1},
  };
  for (const auto& c : cases) {
    const SpareBatch batch = plan_spare_batch(c.uses, c.from, c.keys);
    EXPECT_EQ(batch.keys, c.expected) << c.name;
    EXPECT_EQ(batch.end, c.end) << c.name;
  }
}

TEST(SpareKeycodesTest, PlanRestore) {
  struct Case {
    const char* name;
    RemappedKeycode keycode;
    bool restored;
  };
  const Case cases[] = {
      {"changed and untouched since",
       {250, kEmpty, {kA, kBigA, kA, kBigA}, {kA, kBigA, kA, kBigA}},
       true},
      {"a wider mapping since, same symbols",
       {250, kEmpty, {kA, kBigA}, {kA, kBigA, 0, 0, 0}},
       true},
      {"a symbol before restores too", {250, {kYen, 0}, {kZhong, kWen}, {kZhong, kWen}}, true},
      {"remapped by a new layout", {250, kEmpty, {kA, kBigA}, {kYen, kYen}}, false},
      {"emptied by a new layout", {250, kEmpty, {kA, kBigA}, kEmpty}, false},
      {"ours is a prefix of the new one", {250, kEmpty, {kA, kBigA}, {kA, kBigA, kYen}}, false},
      {"never changed, holding its original", {250, kEmpty, {}, kEmpty}, false},
      {"never changed, holding something", {250, kEmpty, {}, {kYen}}, false},
  };
  for (const Case& c : cases) {
    const std::vector<KeycodeMapping> restore = plan_restore({&c.keycode, 1});
    if (!c.restored) {
      EXPECT_TRUE(restore.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(restore.size(), 1u) << c.name;
    EXPECT_EQ(restore[0], (KeycodeMapping{250, c.keycode.original})) << c.name;
    // Once written, the keycode no longer holds what the playback set.
    RemappedKeycode after = c.keycode;
    after.now = restore[0].symbols;
    EXPECT_TRUE(plan_restore({&after, 1}).empty()) << c.name;
  }
}

// A small X server mapping: writes and reads back keycodes as the
// keyboard does around the bookkeeping.
class Server {
 public:
  explicit Server(std::vector<unsigned> keycodes) {
    for (const unsigned keycode : keycodes) symbols_[keycode] = kEmpty;
  }
  std::vector<KeycodeMapping> read(const std::vector<unsigned>& keycodes) {
    std::vector<KeycodeMapping> mappings;
    for (const unsigned keycode : keycodes) mappings.push_back({keycode, symbols_[keycode]});
    return mappings;
  }
  // The server lists a keycode four symbols wide, the first group's two
  // levels repeated for the second group.
  void write(const std::vector<KeycodeMapping>& changes) {
    for (const KeycodeMapping& change : changes) {
      KeycodeSymbols symbols = change.symbols;
      if (symbols.size() == 2) symbols = {symbols[0], symbols[1], symbols[0], symbols[1]};
      symbols_[change.keycode] = symbols;
    }
  }
  std::map<unsigned, KeycodeSymbols> symbols_;
};

// Writes the next batch as the keyboard does; returns the keycodes changed.
std::vector<unsigned> map_batch(SpareKeycodes& spare, Server& server, KeySymbol needed) {
  const std::vector<KeycodeMapping> changes = spare.next_batch(needed);
  if (!spare.knows_originals()) spare.record_originals(server.read(spare.keycodes()));
  server.write(changes);
  std::vector<unsigned> changed;
  for (const KeycodeMapping& change : changes) changed.push_back(change.keycode);
  spare.written(server.read(changed));
  return changed;
}

std::vector<unsigned> restore(SpareKeycodes& spare, Server& server) {
  const std::vector<KeycodeMapping> restore = spare.restore(server.read(spare.changed()));
  server.write(restore);
  std::vector<unsigned> restored;
  for (const KeycodeMapping& mapping : restore) restored.push_back(mapping.keycode);
  return restored;
}

TEST(SpareKeycodesTest, BatchesAndRestore) {
  Server server({255, 254, 253});
  const std::vector<SpareUse> uses = {{kA, false}, {kZhong, true}, {kEuro, true}, {kA, false}};
  SpareKeycodes spare({255, 254}, uses);
  EXPECT_TRUE(spare.contains(254));
  EXPECT_FALSE(spare.contains(253));

  EXPECT_EQ(map_batch(spare, server, kA), (std::vector<unsigned>{255, 254}));
  spare.typed(kA);
  spare.typed(kZhong);
  // The next batch needs the letter again: it stays, the euro sign takes
  // the other keycode.
  EXPECT_EQ(map_batch(spare, server, kEuro), std::vector<unsigned>{255});
  EXPECT_EQ(server.symbols_[255], (KeycodeSymbols{kEuro, kEuro, kEuro, kEuro}));
  EXPECT_EQ(server.symbols_[254], (KeycodeSymbols{kA, kBigA, kA, kBigA}));
  EXPECT_TRUE(spare.next_batch(kEuro).empty());
  spare.typed(kEuro);
  // Something the uses did not foresee gets a keycode of its own.
  EXPECT_EQ(map_batch(spare, server, kYen), std::vector<unsigned>{255});
  EXPECT_EQ(server.symbols_[255], (KeycodeSymbols{kYen, kYen, kYen, kYen}));
  EXPECT_EQ(spare.changed(), (std::vector<unsigned>{255, 254}));

  EXPECT_EQ(restore(spare, server), (std::vector<unsigned>{255, 254}));
  EXPECT_EQ(server.symbols_[255], kEmpty);
  EXPECT_EQ(server.symbols_[254], kEmpty);
  EXPECT_TRUE(spare.changed().empty());
  EXPECT_TRUE(restore(spare, server).empty());
}

// The layout changes in the middle of the playback and takes one of the
// keycodes; a keycode never used is not touched either.
TEST(SpareKeycodesTest, RestoresOnlyWhatStillHoldsOurs) {
  Server server({255, 254, 253});
  const std::vector<SpareUse> uses = {{kA, false}, {kEuro, true}};
  SpareKeycodes spare({255, 254, 253}, uses);
  EXPECT_EQ(map_batch(spare, server, kA), (std::vector<unsigned>{255, 254}));
  server.symbols_[254] = {kYen, kYen};
  server.symbols_[253] = {kWen, kWen};
  EXPECT_EQ(restore(spare, server), std::vector<unsigned>{255});
  EXPECT_EQ(server.symbols_[255], kEmpty);
  EXPECT_EQ(server.symbols_[254], (KeycodeSymbols{kYen, kYen}));
  EXPECT_EQ(server.symbols_[253], (KeycodeSymbols{kWen, kWen}));
}

// Before a batch is written, the keycodes must still hold what the playback
// left on them: a layout loaded in the meantime may have filled them, and
// writing over its keys would lose them for good.
TEST(SpareKeycodesTest, TellsWhenAnotherProgramChangedTheKeycodes) {
  Server server({255, 254, 253});
  SpareKeycodes fresh({255, 254, 253}, {{kA, false}, {kEuro, true}});
  EXPECT_TRUE(fresh.unchanged(server.read({255, 254, 253})));
  const std::vector<KeycodeMapping> filled = {{254, {kYen, kYen}}};
  EXPECT_FALSE(fresh.unchanged(filled)) << "a spare keycode holds symbols";

  SpareKeycodes spare({255, 254, 253}, {{kA, false}, {kEuro, true}});
  map_batch(spare, server, kA);
  KeycodeSymbols padded = server.symbols_[255];
  padded.insert(padded.end(), {0, 0});
  struct Case {
    const char* what;
    std::vector<KeycodeMapping> now;
    bool unchanged;
  } cases[] = {
      {"as written", server.read({255, 254, 253}), true},
      {"as written, trailing NoSymbols aside", {{255, padded}}, true},
      {"a keycode written holds another symbol", {{254, {kYen, kYen}}}, false},
      {"a keycode written was cleared", {{255, kEmpty}}, false},
      {"a keycode never written holds a symbol", {{253, {kWen, kWen}}}, false},
      {"not a spare keycode", {{10, {kWen}}}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(spare.unchanged(c.now), c.unchanged) << c.what;
}

// The walk that finds what needs a spare keycode follows the locks that
// lock keys in the values switch, and what the key string holds Shift for.
TEST(SpareKeycodesTest, NeedsFollowTheLocksAndTheShift) {
  constexpr unsigned kShiftLock = 1, kCaps = 2, kNum = 16;
  const LockMasks masks{kShiftLock, kCaps, kNum};
  // A layout with a and b, where 中 exists only under Num Lock and ë only
  // with Caps Lock off.
  const auto typable = [&](const KeyEvent& event, unsigned locked) {
    if (event.type != KeyEvent::Type::character) return true;
    switch (event.character) {
      case U'a':
      case U'b':
        return true;
      case U'\u4e2d':
        return (locked & kNum) != 0;
      case U'\u00eb':
        return (locked & kCaps) == 0;
      default:
        return false;
    }
  };
  const auto c = [](char32_t ch) { return KeyEvent::of_character(ch); };
  const KeyEvent a = c(U'a'), b = c(U'b'), zh = c(U'\u4e2d'), eur = c(U'\u20ac');
  const KeyEvent down = KeyEvent::press_of(Modifier::shift);
  const KeyEvent up = KeyEvent::release_of(Modifier::shift);
  const SpareUse zh_use{kZhong, false}, eur_use{kEuro, false};
  const SpareUse eur_s{kEuro, true};  // under Shift
  const SpareUse e_use{keysym_for_character(U'\u00eb'), false};
  const struct {
    const char* what;
    std::vector<KeyEvent> events;
    unsigned locked;
    std::vector<SpareUse> uses;
    std::optional<std::size_t> first;
  } cases[] = {
      {"all on the layout", {a, b}, 0, {}, std::nullopt},
      {"each use once, in order", {a, zh, eur, zh}, 0, {zh_use, eur_use, zh_use}, 1},
      {"Num Lock typed in the value", {zh, KeyEvent::of_key(Key::numlock), zh}, 0, {zh_use}, 0},
      {"Caps Lock on takes ë off the layout", {c(U'\u00eb')}, kCaps, {e_use}, 0},
      {"once under Shift: always", {eur, down, eur, up, eur}, 0, {eur_s, eur_s, eur_s}, 0},
      {"a Shift Lock shifts them all", {eur}, kShiftLock, {eur_s}, 0},
      {"a release without a press holds no Shift", {up, eur}, 0, {eur_use}, 1},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    const SpareNeeds needs = plan_spare_needs(k.events, k.locked, masks, typable);
    EXPECT_EQ(needs.uses, k.uses);
    EXPECT_EQ(needs.first, k.first);
  }
}

TEST(SpareKeycodesTest, CountsTheBatchesTheUsesTake) {
  const std::vector<SpareUse> cjk = {
      {kZhong, false}, {kWen, false}, {kEuro, false}, {kYen, false}, {kZhong, false}};
  const struct {
    std::size_t keycodes;
    std::vector<SpareUse> uses;
    std::size_t batches;
  } cases[] = {
      {4, {}, 0},
      {0, cjk, 0},
      // Two characters without a case share a keycode.
      {2, cjk, 1},
      {1, cjk, 3},  // 中 comes back after the keycode has moved on
      // A letter takes a keycode with its capital; a shifted keysym one alone.
      {1, {{kA, false}, {kEuro, true}, {kA, false}}, 3},
  };
  for (const auto& c : cases) {
    std::vector<unsigned> keycodes;
    for (std::size_t i = 0; i < c.keycodes; ++i) keycodes.push_back(static_cast<unsigned>(255 - i));
    EXPECT_EQ(SpareKeycodes(keycodes, c.uses).batches_needed(), c.batches)
        << c.keycodes << " keycodes, " << c.uses.size() << " uses";
  }
}

}  // namespace
}  // namespace tavrino
