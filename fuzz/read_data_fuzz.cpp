// SPDX-License-Identifier: MIT
// Any bytes as a data file. A load is all or nothing: a refused one leaves the
// sheet exactly as it was and names the file; an accepted one leaves a count
// that the view and playback can go over. Two further checks aim at the
// streaming: blanks in front of the first item must not change the outcome
// even when they push the text across the reader's piece boundary, and the
// decoder must give the same text (or the same error) whether it is fed
// whole or in small pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "sheet/data_file.h"
#include "sheet/result_sheet.h"
#include "sheet/text_decoding.h"

namespace {

using tavrino::Encoding;
using tavrino::ResultSheet;
using tavrino::Status;

constexpr std::u16string_view kName = u"fuzz.ipt";
// Far enough to be past the reader's first piece, whatever its size.
constexpr std::size_t kPaddedStart = 64 * 1024;

void check(bool condition) {
  if (!condition) std::abort();
}

// A sheet with something in every field, so that any stray write shows.
ResultSheet earlier_sheet() {
  ResultSheet sheet;
  sheet.itemcount = 7;
  for (std::size_t i = 0; i < sheet.itemname.size(); ++i) {
    sheet.itemname[i] = u"name" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
    sheet.itemvalue[i] = std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
  }
  sheet.classtext = u"class";
  sheet.subjecttext = u"subject";
  sheet.examtext = u"exam";
  sheet.examnote = u"note";
  return sheet;
}

// The same file with `blanks` blanks in front of its first item, written in
// the file's own encoding after any byte-order mark.
std::vector<std::byte> with_leading_blanks(std::span<const std::byte> bytes, std::size_t blanks) {
  const Encoding encoding = tavrino::detect_encoding(bytes);
  std::vector<std::byte> out;
  std::size_t mark = 0;
  std::vector<std::byte> blank{std::byte{' '}};
  switch (encoding) {
    case Encoding::utf8_bom:
      mark = 3;
      break;
    case Encoding::utf16le:
      mark = 2;
      blank = {std::byte{' '}, std::byte{0}};
      break;
    case Encoding::utf16be:
      mark = 2;
      blank = {std::byte{0}, std::byte{' '}};
      break;
    case Encoding::utf8:
    case Encoding::windows1252:
      break;
  }
  out.resize(bytes.size() + blanks * blank.size());
  std::copy_n(bytes.begin(), mark, out.begin());
  for (std::size_t i = 0; i < blanks * blank.size(); ++i) {
    out[mark + i] = blank[i % blank.size()];
  }
  std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(mark), bytes.end(),
            out.begin() + static_cast<std::ptrdiff_t>(mark + blanks * blank.size()));
  return out;
}

std::uint32_t fnv1a(std::span<const std::byte> bytes) {
  std::uint32_t hash = 2166136261u;
  for (std::byte b : bytes) hash = (hash ^ static_cast<std::uint32_t>(b)) * 16777619u;
  return hash;
}

// Decodes as the reader does, but feeding the decoder `step` bytes at a time.
Status decode_in_pieces(std::span<const std::byte> bytes, std::size_t step, std::u16string& text) {
  const Encoding encoding = tavrino::detect_encoding(bytes);
  const std::size_t mark = tavrino::mark_length(encoding);
  std::u16string decoded;
  tavrino::Decoder decoder(encoding,
                           [&decoded](std::u16string_view piece) { decoded.append(piece); });
  const std::span<const std::byte> body = bytes.subspan(mark);
  for (std::size_t at = 0; at < body.size(); at += step) {
    if (Status fed = decoder.feed(body.subspan(at, std::min(step, body.size() - at))); !fed) {
      return fed;
    }
  }
  Status finished = decoder.finish();
  if (finished) text = std::move(decoded);
  return finished;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  const ResultSheet before = earlier_sheet();

  ResultSheet sheet = before;
  const Status loaded = tavrino::read_data(bytes, kName, sheet);
  if (!loaded) {
    check(sheet == before);
    // One sentence for the user, naming the file.
    const std::u16string& message = loaded.message();
    check(message.find(u"\"fuzz.ipt\"") != std::u16string::npos);
    check(message.back() == u'.' && message.find_first_of(u"\r\n") == std::u16string::npos);
  } else {
    check(loaded.message().empty());
    check(sheet.itemcount >= -32767 && sheet.itemcount <= tavrino::kSlotCount);
    // A load changes only what the file supplies, so a second one changes
    // nothing more.
    ResultSheet again = sheet;
    check(tavrino::read_data(bytes, kName, again).ok());
    check(again == sheet);
  }

  // Put the boundary of the reader's first piece somewhere inside the file.
  // That reads 64 KiB more, so only about one input in 64 pays for it, picked
  // by a hash of all its bytes: the choice stays the same on every run, and a
  // mutation does not simply inherit it from the input it came from.
  if (size > 0 && fnv1a(bytes) % 64 == 0) {
    const std::size_t blanks = kPaddedStart - (data[size - 1] % std::min<std::size_t>(size, 64));
    const std::vector<std::byte> padded = with_leading_blanks(bytes, blanks);
    ResultSheet padded_sheet = before;
    const Status padded_loaded = tavrino::read_data(padded, kName, padded_sheet);
    check(padded_loaded.ok() == loaded.ok());
    check(padded_sheet == sheet);
  }

  std::u16string whole_text;
  const Status whole = tavrino::decode_text(bytes, whole_text);
  const std::size_t step = size > 0 ? 1 + data[0] % 7 : 1;
  std::u16string piece_text;
  const Status pieces = decode_in_pieces(bytes, step, piece_text);
  check(whole.ok() == pieces.ok());
  // Without a byte-order mark every byte but NUL is text: valid UTF-8 as a
  // whole, or else Windows-1252, which has a character for each of them.
  if (tavrino::mark_length(tavrino::detect_encoding(bytes)) == 0 &&
      std::find(bytes.begin(), bytes.end(), std::byte{0}) == bytes.end()) {
    check(whole.ok());
  }
  check(whole.message() == pieces.message());
  check(whole_text == piece_text);
  return 0;
}
