#pragma once

#include <QString>

#include <string_view>

// Page text, which is UTF-8, becomes a QString only where a control shows it.
inline QString fromPageText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
