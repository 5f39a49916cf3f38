#pragma once

#include "../scan/rules.h"

#include <QString>

// The scan rules read the page text in place; a value they find becomes a QString only when
// it is written into a control.
inline scan::Text asText(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline QString toQString(scan::Text text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}
