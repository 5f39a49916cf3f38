#pragma once

#include "load/page_text.h"

#include <QString>

#include <string_view>

// Page text becomes a QString only where a control shows it.
inline QString fromPageText(std::string_view text) {
    QString shown(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = shown.data();
    for (const char byte : text)
        *out++ = QChar(load::windows1252(static_cast<unsigned char>(byte)));
    return shown;
}

// A control's text as the counting rules read it.
inline std::u16string_view asUtf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}
