#pragma once

#include "load/encodings.h"

#include <QString>

#include <string>
#include <string_view>

// How the bytes of a page file become its text: in the encoding a browser would read a local
// file in, decoded into UTF-8.
namespace load {

// Why the page was read in its encoding.
enum class Because {
    ByteOrderMark,   // the file starts with one
    Declared,        // by a <meta> or an XML declaration in its first 1,024 bytes
    ValidUtf8,       // nothing declares, and the whole file is valid UTF-8
    NothingDeclared, // nor is it UTF-8: Windows-1252, one byte one character
};

struct Reading {
    Encoding encoding = Encoding::Utf8;
    Because because = Because::ValidUtf8;
    friend bool operator==(const Reading&, const Reading&) = default;
};

// A byte order mark decides, else the encoding the page declares, else UTF-8 when the bytes
// are valid UTF-8, else Windows-1252.
Reading readingOf(std::string_view bytes);

// Rewrites the bytes as the UTF-8 of the text they hold in the encoding read: a byte order mark
// is dropped, and every sequence not valid in the encoding becomes one U+FFFD. False, and the
// bytes as they were, only where this system's libraries cannot decode the encoding.
bool decodeToUtf8(std::string& bytes, const Reading& reading);

// What the page box says of it: "Read as UTF-8, declared by the page".
QString describe(const Reading& reading);

} // namespace load
