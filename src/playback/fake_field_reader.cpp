// SPDX-License-Identifier: MIT
#include "playback/fake_field_reader.h"

#include <utility>

#include "base/unicode.h"

namespace tavrino {

FakeForm::FakeForm(const FakeKeyboard& keyboard, std::vector<Field> fields)
    : keyboard_(keyboard), fields_(std::move(fields)) {}

std::optional<std::size_t> FakeForm::focused_index() const {
  std::size_t index = 0;
  for (const KeyEvent& event : keyboard_.delivered()) {
    if (event.type == KeyEvent::Type::key && event.key == Key::tab) ++index;
  }
  if (index >= fields_.size()) return std::nullopt;
  return index;
}

std::optional<FieldHandle> FakeForm::focused_field(std::optional<FieldHandle> away_from) {
  away_from_asked_.push_back(away_from ? away_from->id : 0);
  const std::optional<std::size_t> index = focused_index();
  if (!index || fields_[*index].kind == Kind::button) return std::nullopt;
  const FieldHandle handle{*index + 1};
  if (away_from == handle) return std::nullopt;
  return handle;
}

std::u16string FakeForm::text_of(std::size_t index) const {
  std::u16string text;
  std::size_t field = 0;
  for (const KeyEvent& event : keyboard_.delivered()) {
    if (event.type == KeyEvent::Type::key && event.key == Key::tab) {
      ++field;
    } else if (field == index && event.type == KeyEvent::Type::character) {
      append_code_point(text, event.character);
    } else if (field == index && event.type == KeyEvent::Type::key && event.key == Key::enter) {
      text.push_back(u'\n');
    }
  }
  const Field& kind = fields_[index];
  if (kind.kind == Kind::upper_case) {
    for (char16_t& c : text) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
  }
  if (kind.kind == Kind::max_length) {
    const std::u32string characters = to_code_points(text);
    if (characters.size() > kind.max_length) {
      text = from_code_points(std::u32string_view(characters).substr(0, kind.max_length));
    }
  }
  return text;
}

FieldText FakeForm::read(FieldHandle field) {
  ++read_calls_;
  if (field.id == 0 || field.id > fields_.size()) return {};
  const std::size_t index = field.id - 1;
  switch (fields_[index].kind) {
    case Kind::unreadable:
    case Kind::button:
      return {};
    case Kind::password:
      return {FieldText::Kind::masked,
              std::u16string(to_code_points(text_of(index)).size(), u'\u25CF')};
    default:
      return {FieldText::Kind::text, text_of(index)};
  }
}

}  // namespace tavrino
