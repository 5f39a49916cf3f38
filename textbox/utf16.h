#pragma once

#include <QString>

#include <string_view>

namespace textbox {

// A QString's characters, viewed without a copy.
inline std::u16string_view utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

} // namespace textbox
