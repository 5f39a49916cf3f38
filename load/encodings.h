#pragma once

#include <optional>
#include <string_view>

// The encodings a browser reads pages in, each known by the labels that name it, as the
// Encoding Standard has them.
namespace load {

enum class Encoding {
    Utf8,
    Ibm866,
    Iso8859_2,
    Iso8859_3,
    Iso8859_4,
    Iso8859_5,
    Iso8859_6,
    Iso8859_7,
    Iso8859_8,
    Iso8859_8I,
    Iso8859_10,
    Iso8859_13,
    Iso8859_14,
    Iso8859_15,
    Iso8859_16,
    Koi8R,
    Koi8U,
    Macintosh,
    Windows874,
    Windows1250,
    Windows1251,
    Windows1252,
    Windows1253,
    Windows1254,
    Windows1255,
    Windows1256,
    Windows1257,
    Windows1258,
    XMacCyrillic,
    Gbk,
    Gb18030,
    Big5,
    EucJp,
    Iso2022Jp,
    ShiftJis,
    EucKr,
    Replacement,
    Utf16Be,
    Utf16Le,
    XUserDefined,
};

// The encoding's name as the standard writes it: "UTF-8", "windows-1251", "Shift_JIS".
std::string_view nameOf(Encoding encoding);

// The encoding a label names, ASCII whitespace around it and letter case aside; none for a
// label the standard does not know.
std::optional<Encoding> encodingOfLabel(std::string_view label);

} // namespace load
