// SPDX-License-Identifier: MIT
#include "bench_data.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <span>
#include <sstream>

#include "base/text.h"
#include "bench_text.h"
#include "sheet/data_file.h"

namespace tavrino {
namespace {

Status read_text(const std::string& file, ResultSheet& sheet) {
  const auto* bytes = reinterpret_cast<const std::byte*>(file.data());
  return read_data(std::span(bytes, file.size()), u"bench.ipt", sheet);
}

// The typing benchmark under Wine types what the app reads from this file,
// so the app must find every value exactly as generated.
TEST(BenchData, DataFileHoldsEveryValue) {
  for (const std::u32string_view pool : {kCommonMissing, kManyMissing}) {
    TextShape shape;
    shape.missing_pool = pool;
    const std::vector<std::u32string> values = make_values(shape, 99);
    ResultSheet sheet;
    const Status status = read_text(data_file_for(values), sheet);
    ASSERT_TRUE(status) << utf16_to_utf8(status.message());
    EXPECT_EQ(sheet.itemcount, 51);
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(sheet.itemvalue[i], utf8_to_utf16(encode_utf8(values[i]))) << i;
    }
    EXPECT_EQ(sheet.itemname[50], u"Student 51");
    EXPECT_EQ(sheet.classtext, utf8_to_utf16(kBenchClass));
    EXPECT_EQ(sheet.examnote, utf8_to_utf16(kBenchExamNote));
  }
}

// The reading benchmark's files must be read whole without a refusal, or
// its figures would time an early stop.
TEST(BenchData, ReadingFileHasTheSizeAskedForAndReads) {
  for (const std::uint64_t size :
       {std::uint64_t{0}, std::uint64_t{300'000}, std::uint64_t{2'500'000}}) {
    std::ostringstream out;
    const std::uint64_t written = write_reading_file(out, size);
    const std::string file = out.str();
    EXPECT_EQ(written, file.size()) << size;
    EXPECT_GE(file.size(), size);
    EXPECT_LT(file.size(), size + 20'000) << "more than a line over";

    ResultSheet sheet;
    const Status status = read_text(file, sheet);
    ASSERT_TRUE(status) << size << ": " << utf16_to_utf8(status.message());
    EXPECT_EQ(sheet.itemcount, 51);
    EXPECT_EQ(sheet.itemvalue[50].size(), 150u);
    EXPECT_EQ(sheet.examnote, utf8_to_utf16(kBenchExamNote));

    std::ostringstream again;
    write_reading_file(again, size);
    EXPECT_EQ(again.str(), file) << "not the same file twice";
  }
}

}  // namespace
}  // namespace tavrino
