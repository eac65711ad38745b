// SPDX-License-Identifier: MIT
#include "platform/x11/borrowed_record.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

TEST(BorrowedRecord, ReadsBackWhatItWrote) {
  const BorrowedRecord records[] = {
      {123,
       "desk",
       {50, 62},
       {{93, {}, {0xe4, 0xc4}, {}}, {97, {0x20}, {0x1004e2d, 0x1004e2d}, {}}}},
      {7, "", {}, {}},
  };
  for (const BorrowedRecord& record : records) {
    EXPECT_EQ(parse_record(record_text(record)), record) << record_text(record);
  }
}

TEST(BorrowedRecord, RefusesWhatIsNoRecord) {
  for (const char* text : {"", "hello", "tavrino x desk\n", "tavrino 1 desk\ndown 3\n",
                           "tavrino 1 desk\nborrowed 93 zz e4\n", "tavrino 1 desk\nborrowed 93\n",
                           "tavrino 1 desk\ndown 50 x\n", "tavrino 1 desk\nsomething else\n"}) {
    EXPECT_EQ(parse_record(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace tavrino
