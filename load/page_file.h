#pragma once

#include "load/page_text.h"
#include "load/reading.h"

#include <QString>

#include <optional>

// Reading a page file: read-only, never locked, closed before the call returns.
namespace load {

// A page file larger than this stops the read, so that a device or an endless pipe cannot hang
// the window or exhaust memory.
constexpr qint64 MaxPageBytes = qint64(256) * 1024 * 1024;

struct PageFile {
    Page text;       // the page text, empty unless the file was read whole
    QString error;   // why it could not be read, in plain words; empty when it was
    Reading reading; // which encoding the page was read in, and why
};

PageFile readPageFile(const QString& path);

// Turns a page file's bytes into its page text, in place, and says how they were read; none,
// and the bytes as they were, where this system cannot decode the encoding they are in.
std::optional<Reading> makePageTextOfFile(std::string& bytes);

// The one line the page box shows instead of a page that could not be read.
QString cannotOpenMessage(const QString& path, const QString& reason);

} // namespace load
