#pragma once

// What the box does with its text, told from a plain QString: where clusters, characters and
// words end. The model follows these rules; the box must agree with them.

#include <QString>

#include <utility>

namespace model {

bool isBreak(QChar c);
bool isControlChar(QChar c);

qsizetype nextCluster(const QString& t, qsizetype p);
qsizetype previousCluster(const QString& t, qsizetype p);
// What Backspace removes: a code point, or a CR LF whole.
qsizetype previousCharacter(const QString& t, qsizetype p);
// Where the caret may stand: never inside a CR LF or a surrogate pair.
qsizetype boundaryFrom(const QString& t, qsizetype p);

// Ctrl+Right and Ctrl+Left.
qsizetype nextWord(const QString& t, qsizetype p);
qsizetype previousWord(const QString& t, qsizetype p);
// Where Ctrl+Backspace and Ctrl+Delete stop.
qsizetype wordDeletedBack(const QString& t, qsizetype p);
qsizetype wordDeletedOn(const QString& t, qsizetype p);
// What a double click selects.
std::pair<qsizetype, qsizetype> wordAt(const QString& t, qsizetype p);

// Whether the line that holds `p` reads from right to left, as the toolkit takes a paragraph's
// direction, from its first 4096 characters: there Right goes back and Left on.
bool rightToLeftAt(const QString& t, qsizetype p);

} // namespace model
