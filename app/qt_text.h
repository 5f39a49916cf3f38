#pragma once

#include "textbox/windows1252.h"

#include <QString>

#include <string_view>

// Page text becomes a QString only where a control shows it.
inline QString fromPageText(std::string_view text) {
    QString shown(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = shown.data();
    for (const char byte : text)
        *out++ = QChar(textbox::windows1252(static_cast<unsigned char>(byte)));
    return shown;
}
