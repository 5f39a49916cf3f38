#pragma once

#include <QString>
#include <QStringDecoder>

#include <string_view>

// Page text, which is UTF-8, becomes a QString only where a control shows it. A U+FEFF that
// starts it is a character the author wrote (the page's byte order mark is gone by then), which
// QString::fromUtf8 would drop.
inline QString fromPageText(std::string_view text) {
    return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)
        .decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}
