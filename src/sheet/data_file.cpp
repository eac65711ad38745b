// SPDX-License-Identifier: MIT
#include "sheet/data_file.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "base/text.h"
#include "sheet/number.h"
#include "sheet/text_decoding.h"

namespace tavrino {
namespace {

// Large enough that the per-piece overhead vanishes, small enough that the
// decoded text of a big file never sits in memory whole.
constexpr std::size_t kPieceSize = 64 * 1024;

// Positions of the items the sheet takes; every other item is scanned and
// dropped.
constexpr std::uint64_t kCountItem = 0;
constexpr std::uint64_t kNamesItem = 2;
constexpr std::uint64_t kValuesItem = 3;
constexpr std::uint64_t kClassItem = 6;
constexpr std::uint64_t kSubjectItem = 8;
constexpr std::uint64_t kExamItem = 10;
constexpr std::uint64_t kExamNoteItem = 11;

bool is_kept(std::uint64_t index) {
  return index == kCountItem || index == kNamesItem || index == kValuesItem ||
         index == kClassItem || index == kSubjectItem || index == kExamItem ||
         index == kExamNoteItem;
}

// Only the space: a tab in a value is a keystroke of its own.
bool is_blank(char16_t c) {
  return c == u' ';
}

// What a file supplies, kept apart from the sheet until the whole file has
// been read and found sound.
struct Staging {
  std::optional<std::int16_t> itemcount;
  std::optional<std::vector<std::u16string>> itemname;
  std::optional<std::vector<std::u16string>> itemvalue;
  std::optional<std::u16string> classtext;
  std::optional<std::u16string> subjecttext;
  std::optional<std::u16string> examtext;
  std::optional<std::u16string> examnote;
};

// Number of pieces a list splits into, counted without making them, so that
// a refused list of millions of pieces costs no memory.
std::uint64_t count_pieces(std::u16string_view item) {
  if (item.empty()) return 0;
  std::uint64_t pieces = 1;
  for (std::size_t at = item.find(kListSeparator); at != std::u16string_view::npos;
       at = item.find(kListSeparator, at + kListSeparator.size())) {
    ++pieces;
  }
  return pieces;
}

// Cuts decoded text into items as it streams past. Only the items the sheet
// takes are held, one at a time, so memory stays flat however many items
// follow them.
class ItemScanner {
 public:
  ItemScanner(Staging& staging, std::u16string_view name) : staging_(staging), name_(name) {}

  void feed(std::u16string_view text);
  // End of the text: completes the last item.
  void finish();

  bool failed() const { return !error_.empty(); }
  const std::u16string& error() const { return error_; }
  // Items completed so far; a file of nothing but blanks has none.
  std::uint64_t items() const { return index_; }

 private:
  enum class State {
    item_start,   // skipping blanks in front of an item
    after_comma,  // as item_start, but a line end here belongs to the comma
    unquoted,
    quoted,
    after_quote,  // only blanks may stand before the comma or line end
  };

  // Holds text of an item the sheet takes; refuses it once it grows past
  // kMaxItemLength. Callers stop when this fails.
  bool append(const char16_t* text, std::size_t length) {
    if (!keep_) return true;
    if (item_.size() + length > kMaxItemLength) {
      too_long();
      return false;
    }
    item_.append(text, length);
    return true;
  }
  void line_end(char16_t c) {
    ++line_;
    after_cr_ = c == u'\r';
  }
  void end_item(bool trim);
  void store();
  void too_long();
  void too_many_pieces(std::u16string_view count);
  void fail(std::u16string message) { error_ = std::move(message); }

  Staging& staging_;
  std::u16string_view name_;
  State state_ = State::item_start;
  // 64 bits: no file can hold enough items to wrap it.
  std::uint64_t index_ = 0;
  std::uint64_t line_ = 1;
  std::uint64_t quote_line_ = 0;
  bool after_cr_ = false;  // the last line ended in CR; an LF next is part of it
  bool keep_ = true;       // the current item is one the sheet takes
  std::u16string item_;
  std::u16string error_;
};

void ItemScanner::feed(std::u16string_view text) {
  if (failed() || text.empty()) return;
  const char16_t* p = text.data();
  const char16_t* const end = p + text.size();
  while (p < end && !failed()) {
    if (after_cr_) {
      after_cr_ = false;
      if (*p == u'\n') {
        // Inside quotes the pair is part of the item; elsewhere it is one
        // line end, already counted at the CR.
        if (state_ == State::quoted && !append(p, 1)) return;
        ++p;
        continue;
      }
    }
    switch (state_) {
      case State::unquoted: {
        const char16_t* run = p;
        while (p < end && *p != u',' && *p != u'\r' && *p != u'\n') ++p;
        if (!append(run, static_cast<std::size_t>(p - run)) || p == end) return;
        const char16_t c = *p++;
        end_item(true);
        if (c == u',') {
          state_ = State::after_comma;
        } else {
          line_end(c);
          state_ = State::item_start;
        }
        break;
      }
      case State::quoted: {
        const char16_t* run = p;
        while (p < end && *p != u'"' && *p != u'\r' && *p != u'\n') ++p;
        if (!append(run, static_cast<std::size_t>(p - run)) || p == end) return;
        const char16_t c = *p++;
        if (c == u'"') {
          state_ = State::after_quote;
        } else {
          if (!append(p - 1, 1)) return;
          line_end(c);
        }
        break;
      }
      case State::item_start:
      case State::after_comma: {
        const char16_t c = *p++;
        if (is_blank(c)) break;
        if (c == u',') {
          end_item(false);  // nothing before the comma: an empty item
          state_ = State::after_comma;
        } else if (c == u'\r' || c == u'\n') {
          // After a comma the line end only finishes the comma's work; on its
          // own it is a blank line, which is an empty item.
          if (state_ == State::item_start) end_item(false);
          line_end(c);
          state_ = State::item_start;
        } else if (c == u'"') {
          quote_line_ = line_;
          state_ = State::quoted;
        } else {
          if (!append(p - 1, 1)) return;
          state_ = State::unquoted;
        }
        break;
      }
      case State::after_quote: {
        const char16_t c = *p++;
        if (is_blank(c)) break;
        if (c == u',') {
          end_item(false);
          state_ = State::after_comma;
        } else if (c == u'\r' || c == u'\n') {
          end_item(false);
          line_end(c);
          state_ = State::item_start;
        } else {
          // Dropping this text would lose data without a word.
          fail(u"Line " + to_text(static_cast<std::int64_t>(line_)) + u" of " + quoted(name_) +
               u" has text after the closing quote of an item; only a comma or a line end may "
               u"follow it.");
        }
        break;
      }
    }
  }
}

void ItemScanner::finish() {
  if (failed()) return;
  switch (state_) {
    case State::unquoted:
      end_item(true);
      break;
    case State::after_quote:
      end_item(false);
      break;
    case State::quoted:
      fail(u"The quoted item that starts on line " +
           to_text(static_cast<std::int64_t>(quote_line_)) + u" of " + quoted(name_) +
           u" has no closing quote.");
      break;
    case State::item_start:
    case State::after_comma:
      // A line end or comma at the very end starts no further item.
      break;
  }
}

void ItemScanner::end_item(bool trim) {
  if (keep_) {
    if (trim) {
      std::size_t length = item_.size();
      while (length > 0 && is_blank(item_[length - 1])) --length;
      item_.resize(length);
    }
    store();
    item_.clear();
  }
  ++index_;
  keep_ = is_kept(index_);
}

void ItemScanner::store() {
  switch (index_) {
    case kCountItem: {
      const LeadingNumber count = leading_number(item_);
      if (count.in_range && count_fits(count.value)) {
        staging_.itemcount = count.value;
      } else if (count.written.starts_with(u'-')) {
        fail(u"The entry count in item 0 of " + quoted(name_) + u" is " + count.written +
             u"; the lowest count accepted is " + to_text(kLowestCount) + u".");
      } else {
        fail(u"The entry count in item 0 of " + quoted(name_) + u" is " + count.written +
             u"; the sheet holds at most " + to_text(kSlotCount) + u" entries.");
      }
      break;
    }
    case kNamesItem:
    case kValuesItem: {
      const std::uint64_t pieces = count_pieces(item_);
      if (pieces > static_cast<std::uint64_t>(kSlotCount)) {
        too_many_pieces(to_text(static_cast<std::int64_t>(pieces)));
        break;
      }
      (index_ == kNamesItem ? staging_.itemname : staging_.itemvalue) = split_list(item_);
      break;
    }
    case kClassItem:
      staging_.classtext = std::move(item_);
      break;
    case kSubjectItem:
      staging_.subjecttext = std::move(item_);
      break;
    case kExamItem:
      staging_.examtext = std::move(item_);
      break;
    case kExamNoteItem:
      staging_.examnote = std::move(item_);
      break;
    default:
      break;
  }
}

void ItemScanner::too_many_pieces(std::u16string_view count) {
  fail(std::u16string(index_ == kNamesItem ? u"The names list in item 2 of "
                                           : u"The values list in item 3 of ") +
       quoted(name_) + u" has " + std::u16string(count) + u" entries; the sheet holds at most " +
       to_text(kSlotCount) + u".");
}

void ItemScanner::too_long() {
  // A list this long has usually gone wrong by having too many entries, and
  // saying so points at the real fault; the rest of it is never read.
  if ((index_ == kNamesItem || index_ == kValuesItem) &&
      count_pieces(item_) > static_cast<std::uint64_t>(kSlotCount)) {
    return too_many_pieces(u"more than " + to_text(kSlotCount));
  }
  fail(u"Item " + to_text(static_cast<std::int64_t>(index_)) + u" of " + quoted(name_) +
       u" is longer than " + to_text(static_cast<std::int64_t>(kMaxItemLength)) +
       u" characters, which is more than the sheet takes for one item.");
}

void copy_slots(std::vector<std::u16string>& pieces,
                std::array<std::u16string, kSlotCount>& slots) {
  // Slots from m upward keep what they held; the scanner has already made
  // sure m is at most 51.
  const std::int32_t m = arraycount(pieces);
  for (std::int32_t j = 0; j < m && j < kSlotCount; ++j) {
    slots[static_cast<std::size_t>(j)] = std::move(pieces[static_cast<std::size_t>(j)]);
  }
}

void merge(Staging& staging, ResultSheet& sheet) {
  if (staging.itemcount) sheet.itemcount = *staging.itemcount;
  if (staging.itemname) copy_slots(*staging.itemname, sheet.itemname);
  if (staging.itemvalue) copy_slots(*staging.itemvalue, sheet.itemvalue);
  if (staging.classtext) sheet.classtext = std::move(*staging.classtext);
  if (staging.subjecttext) sheet.subjecttext = std::move(*staging.subjecttext);
  if (staging.examtext) sheet.examtext = std::move(*staging.examtext);
  if (staging.examnote) sheet.examnote = std::move(*staging.examnote);
}

}  // namespace

Status read_data(std::span<const std::byte> bytes, std::u16string_view name, ResultSheet& sheet) {
  ListLengths lengths;
  return read_data(bytes, name, sheet, lengths);
}

Status read_data(std::span<const std::byte> bytes, std::u16string_view name, ResultSheet& sheet,
                 ListLengths& lengths) {
  // All the bytes are here, so the encoding is decided on exactly the bytes
  // that are decoded next.
  const Encoding encoding = detect_encoding(bytes);
  bytes = bytes.subspan(mark_length(encoding));

  // Decoded a piece at a time, so that the text of a large file never sits in
  // memory whole and a runaway item stops the decoding early.
  Staging staging;
  ItemScanner scanner(staging, name);
  Decoder decoder(encoding, [&scanner](std::u16string_view text) { scanner.feed(text); });
  Status decoded = Status::success();
  for (std::size_t at = 0; at < bytes.size() && decoded && !scanner.failed(); at += kPieceSize) {
    decoded = decoder.feed(bytes.subspan(at, std::min(kPieceSize, bytes.size() - at)));
  }
  if (decoded && !scanner.failed()) {
    decoded = decoder.finish();
    if (decoded) scanner.finish();
  }
  // The decoder hands on the text in front of its error first, so a fault the
  // scanner found there is the earlier one.
  if (scanner.failed()) return Status::failure(scanner.error());
  if (!decoded) {
    std::u16string reason = decoded.message();
    if (!reason.empty() && reason[0] >= u'A' && reason[0] <= u'Z') reason[0] += u'a' - u'A';
    return Status::failure(u"Cannot read " + quoted(name) + u" as text: " + reason);
  }
  if (scanner.items() == 0) {
    return Status::failure(u"The file " + quoted(name) + u" is empty: it holds no items.");
  }

  lengths = {.names = staging.itemname ? arraycount(*staging.itemname) : 0,
             .values = staging.itemvalue ? arraycount(*staging.itemvalue) : 0};
  merge(staging, sheet);
  return Status::success();
}

Status readfile(std::u16string_view path, ResultSheet& sheet, const FileReader& reader) {
  std::vector<std::byte> bytes;
  if (Status read = reader.read_file(path, bytes); !read) return read;
  return read_data(bytes, path, sheet);
}

}  // namespace tavrino
