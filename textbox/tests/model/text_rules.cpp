#include "text_rules.h"

#include <algorithm>

namespace model {

bool isBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

bool isControlChar(QChar c) {
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
}

namespace {

constexpr qsizetype MaxCluster = 32; // a character and its marks end a cluster at this length

char32_t codePointAt(const QString& t, qsizetype p, qsizetype& length) {
    if (t[p].isHighSurrogate() && p + 1 < t.size() && t[p + 1].isLowSurrogate()) {
        length = 2;
        return QChar::surrogateToUcs4(t[p], t[p + 1]);
    }
    length = 1;
    return t[p].unicode();
}

// A mark after a character or another mark, which joins the cluster before it.
bool continuesCluster(const QString& t, qsizetype p) {
    qsizetype length = 0;
    return p > 0 && QChar::isMark(codePointAt(t, p, length)) && !isBreak(t[p - 1]) &&
           t[p - 1] != u'\t' && !isControlChar(t[p - 1]);
}

// A character with the marks after it, up to MaxCluster code units.
qsizetype leadingClusterLength(const QString& t, qsizetype p) {
    qsizetype length = 0;
    codePointAt(t, p, length);
    while (p + length < t.size() && length < MaxCluster && continuesCluster(t, p + length)) {
        qsizetype markLength = 0;
        codePointAt(t, p + length, markLength);
        length += markLength;
    }
    return length;
}

// A CR LF, a line break, tab or control character alone, or a character with the combining
// marks after it; a longer run of marks goes on in clusters that end at multiples of
// MaxCluster from the text's start, never inside a surrogate pair.
qsizetype clusterLength(const QString& t, qsizetype p) {
    const QChar c = t[p];
    if (c == u'\r')
        return p + 1 < t.size() && t[p + 1] == u'\n' ? 2 : 1;
    if (c == u'\n' || c == u'\t' || isControlChar(c))
        return 1;
    if (!continuesCluster(t, p))
        return leadingClusterLength(t, p);
    qsizetype lead = p;
    while (continuesCluster(t, lead))
        lead -= lead >= 2 && t[lead - 1].isLowSurrogate() && t[lead - 2].isHighSurrogate() ? 2 : 1;
    const qsizetype leadEnd = lead + leadingClusterLength(t, lead);
    if (p < leadEnd)
        return leadEnd - p;
    qsizetype end = (p / MaxCluster + 1) * MaxCluster;
    if (end < t.size() && t[end].isLowSurrogate() && t[end - 1].isHighSurrogate())
        ++end;
    qsizetype length = 0;
    while (p + length < end && p + length < t.size() && continuesCluster(t, p + length)) {
        qsizetype markLength = 0;
        codePointAt(t, p + length, markLength);
        length += markLength;
    }
    return length;
}

} // namespace

qsizetype nextCluster(const QString& t, qsizetype p) {
    return p >= t.size() ? t.size() : p + clusterLength(t, p);
}

// The cluster boundary before `p`, the clusters counted from the start of the text: from the
// last character before `p` that starts a cluster of its own.
qsizetype previousCluster(const QString& t, qsizetype p) {
    qsizetype from = std::max<qsizetype>(p - 1, 0);
    while (from > 0 && (boundaryFrom(t, from) != from || continuesCluster(t, from)))
        --from;
    qsizetype before = from;
    for (qsizetype at = from; at < p; at += clusterLength(t, at))
        before = at;
    return before;
}

qsizetype previousCharacter(const QString& t, qsizetype p) {
    if (p >= 2 && t[p - 1] == u'\n' && t[p - 2] == u'\r')
        return p - 2;
    if (p >= 2 && t[p - 1].isLowSurrogate() && t[p - 2].isHighSurrogate())
        return p - 2;
    return p - 1;
}

qsizetype boundaryFrom(const QString& t, qsizetype p) {
    p = std::clamp<qsizetype>(p, 0, t.size());
    if (p > 0 && p < t.size() &&
        ((t[p] == u'\n' && t[p - 1] == u'\r') ||
         (t[p].isLowSurrogate() && t[p - 1].isHighSurrogate())))
        return p + 1;
    return p;
}

namespace {

enum class WordClass { LineBreak, Space, Word, Other };

WordClass wordClass(QChar c) {
    if (isBreak(c))
        return WordClass::LineBreak;
    if (c.isSpace())
        return WordClass::Space;
    if (c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c == u'_')
        return WordClass::Word;
    return WordClass::Other;
}

bool isGap(QChar c) {
    const WordClass kind = wordClass(c);
    return kind == WordClass::LineBreak || kind == WordClass::Space;
}

// Word moves and a double click look at most this far from where they start.
constexpr qsizetype WordReach = 4096;

} // namespace

// Ctrl+Right: over the rest of a word or a run of other characters, then over spaces and line
// breaks.
qsizetype nextWord(const QString& t, qsizetype p) {
    const qsizetype last = std::min(t.size(), p + WordReach);
    if (p < last && !isGap(t[p])) {
        const WordClass kind = wordClass(t[p]);
        while (p < last && wordClass(t[p]) == kind)
            ++p;
    }
    while (p < last && isGap(t[p]))
        ++p;
    return boundaryFrom(t, p);
}

qsizetype previousWord(const QString& t, qsizetype p) {
    const qsizetype first = std::max<qsizetype>(0, p - WordReach);
    while (p > first && isGap(t[p - 1]))
        --p;
    if (p > first) {
        const WordClass kind = wordClass(t[p - 1]);
        while (p > first && wordClass(t[p - 1]) == kind)
            --p;
    }
    return boundaryFrom(t, p);
}

// Ctrl+Backspace and Ctrl+Delete, as in QPlainTextEdit: a word back or on within the line, or
// the one line break next to the caret.
qsizetype wordDeletedBack(const QString& t, qsizetype p) {
    if (p > 0 && isBreak(t[p - 1]))
        return previousCharacter(t, p);
    qsizetype from = previousWord(t, p);
    for (qsizetype at = from; at < p; ++at)
        if (isBreak(t[at]))
            from = at + 1;
    return from;
}

qsizetype wordDeletedOn(const QString& t, qsizetype p) {
    if (p < t.size() && isBreak(t[p]))
        return nextCluster(t, p);
    const qsizetype to = nextWord(t, p);
    for (qsizetype at = p; at < to; ++at)
        if (isBreak(t[at]))
            return at;
    return to;
}

std::pair<qsizetype, qsizetype> wordAt(const QString& t, qsizetype p) {
    qsizetype at = p;
    if (at == t.size() || isBreak(t[at])) {
        if (at == 0 || isBreak(t[at - 1]))
            return {p, p};
        --at;
    }
    const WordClass kind = wordClass(t[at]);
    const qsizetype first = std::max<qsizetype>(0, at - WordReach);
    const qsizetype last = std::min(t.size(), at + WordReach);
    qsizetype start = at, end = at + 1;
    while (start > first && wordClass(t[start - 1]) == kind)
        --start;
    while (end < last && wordClass(t[end]) == kind)
        ++end;
    return {boundaryFrom(t, start), boundaryFrom(t, end)};
}

bool rightToLeftAt(const QString& t, qsizetype p) {
    constexpr qsizetype DirectionReach = 4096;
    qsizetype start = p;
    while (start > 0 && !isBreak(t[start - 1]))
        --start;
    qsizetype end = start;
    while (end < t.size() && end - start < DirectionReach && !isBreak(t[end]))
        ++end;
    return QStringView(t).mid(start, end - start).isRightToLeft();
}

} // namespace model
