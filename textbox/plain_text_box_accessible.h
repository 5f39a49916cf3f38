#pragma once

#include <cstddef>

class QAccessibleInterface;
class QObject;
class QString;

// What a screen reader is given for a PlainTextBox: the accessibility factory the box installs.
QAccessibleInterface* plainTextBoxAccessible(const QString& className, QObject* object);

// The most characters one answer to a screen reader or one change event carries. A page may
// hold 256 MiB: a screen reader that asks for all of it, or hears of all of it at once, would
// wait seconds for a string of hundreds of megabytes and drop the program from the bus.
inline constexpr std::size_t AccessibleTextLimit = 4096;
