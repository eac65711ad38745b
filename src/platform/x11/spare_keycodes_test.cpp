// SPDX-License-Identifier: MIT
#include "platform/x11/spare_keycodes.h"

#include <gtest/gtest.h>

#include <map>
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

}  // namespace
}  // namespace tavrino
