// SPDX-License-Identifier: MIT
#include "platform/x11/borrowed_record.h"

#include <charconv>
#include <sstream>

namespace tavrino {

namespace {

// "a,b,c" in hexadecimal; "-" for none, so that no field is empty.
std::string symbols_text(const KeycodeSymbols& symbols) {
  if (symbols.empty()) return "-";
  std::ostringstream out;
  out << std::hex;
  for (std::size_t i = 0; i < symbols.size(); ++i) out << (i ? "," : "") << symbols[i];
  return out.str();
}

std::optional<KeycodeSymbols> parse_symbols(const std::string& text) {
  KeycodeSymbols symbols;
  if (text == "-") return symbols;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find(',', at), text.size());
    KeySymbol symbol = 0;
    const auto [ptr, error] = std::from_chars(text.data() + at, text.data() + end, symbol, 16);
    if (error != std::errc() || ptr != text.data() + end || end == at) return std::nullopt;
    symbols.push_back(symbol);
    at = end + 1;
  }
  return symbols;
}

bool valid_keycode(unsigned keycode) {
  return keycode >= 8 && keycode <= 255;
}

}  // namespace

std::string record_text(const BorrowedRecord& record) {
  std::ostringstream out;
  out << "tavrino " << record.pid << ' ' << (record.host.empty() ? "-" : record.host) << '\n';
  out << "down";
  for (const unsigned keycode : record.down) out << ' ' << keycode;
  out << '\n';
  for (const RemappedKeycode& keycode : record.borrowed) {
    out << "borrowed " << keycode.keycode << ' ' << symbols_text(keycode.original) << ' '
        << symbols_text(keycode.set) << '\n';
  }
  return out.str();
}

std::optional<BorrowedRecord> parse_record(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  BorrowedRecord record;
  bool header = false;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string word;
    fields >> word;
    if (!header) {
      if (word != "tavrino" || !(fields >> record.pid >> record.host)) return std::nullopt;
      if (record.host == "-") record.host.clear();
      header = true;
    } else if (word == "down") {
      unsigned keycode = 0;
      while (fields >> keycode) {
        if (!valid_keycode(keycode)) return std::nullopt;
        record.down.push_back(keycode);
      }
      if (!fields.eof()) return std::nullopt;
    } else if (word == "borrowed") {
      RemappedKeycode keycode;
      std::string original, set;
      if (!(fields >> keycode.keycode >> original >> set) || !valid_keycode(keycode.keycode)) {
        return std::nullopt;
      }
      const auto original_symbols = parse_symbols(original);
      const auto set_symbols = parse_symbols(set);
      if (!original_symbols || !set_symbols) return std::nullopt;
      keycode.original = *original_symbols;
      keycode.set = *set_symbols;
      record.borrowed.push_back(std::move(keycode));
    } else if (!word.empty()) {
      return std::nullopt;
    }
  }
  if (!header) return std::nullopt;
  return record;
}

}  // namespace tavrino
