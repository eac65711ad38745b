// SPDX-License-Identifier: MIT
// Conversions between the core's 16-bit text and QString, which hold the same
// UTF-16 code units, so nothing is lost either way.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tavrino {

inline QString to_qstring(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string to_u16string(const QString& text) {
  return text.toStdU16String();
}

}  // namespace tavrino
