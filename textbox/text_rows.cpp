#include "textbox/text_rows.h"

#include "textbox/text_reader.h"

#include <QChar>
#include <QGlyphRun>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace textbox {

namespace {

// A row of characters that take no room ends here all the same, so that finding where a row
// ends never reads far.
constexpr std::size_t MaxRowLength = 4096;
// Without wrapping, a line whose start lies this far back keeps where it starts and ends.
constexpr std::size_t LongLineLength = 4096;
// A row start laid out is kept when it lies this far past the last one kept before it.
constexpr std::size_t KeepEvery = 1024;
// Each multiple of this many characters from the text's start fixes a row start, in a line
// that started this far or farther before it: just after the last blank in the MaxRowLength
// characters up to it, or else the start of the cluster there. The row before ends there,
// short if need be, and a visit lays out only the rows from the fixed start before it. These
// places depend on the text alone, so that rows do not depend on which way a visit came.
constexpr std::size_t JumpGrid = 32768;
// How far past its start a row's layout reads: its characters, the marks of its last cluster, a
// line break, and up to the grid place whose fixed row start may end it. Where a row starts
// depends on nothing this far after it.
constexpr std::size_t RowReach = 2 * MaxRowLength + MaxCluster + 2;
constexpr int TabColumns = 8;
// Rows are measured in floating point; a row that fits to within this still fits.
constexpr qreal FitTolerance = 0.01;

// A line's start is looked for this far back from a row of it that is not the long line's.
constexpr std::size_t LineStartReach = 1 << 20;
// The rows the toolkit lays out that are kept, and the words measured.
constexpr int KeptLayouts = 256;
constexpr qsizetype KeptWords = 1 << 16;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// The characters that the toolkit's layout draws as they must be: right-to-left scripts (and
// the marks that set a direction), scripts whose letters join, reorder or stack (Arabic,
// Indic, Thai, Khmer, Myanmar, Hangul jamo), and the characters that make one glyph of a
// sequence (the joiners, variation selectors, regional indicators, skin tones, tags).
constexpr std::pair<char32_t, char32_t> LaidOutRanges[] = {
    {0x0590, 0x08FF},   {0x0900, 0x0DFF},   {0x0E00, 0x0EFF},   {0x0F00, 0x109F},
    {0x1100, 0x11FF},   {0x1700, 0x18AF},   {0x1900, 0x1AFF},   {0x1B00, 0x1C4F},
    {0x1CD0, 0x1CFF},   {0x200C, 0x200F},   {0x202A, 0x202E},   {0x2066, 0x2069},
    {0xA800, 0xA82F},   {0xA840, 0xA8FF},   {0xA900, 0xA9FF},   {0xAA00, 0xAAFF},
    {0xABC0, 0xABFF},   {0xD7B0, 0xD7FF},   {0xFB1D, 0xFDFF},   {0xFE00, 0xFE0F},
    {0xFE70, 0xFEFE},   {0x10800, 0x10FFF}, {0x11000, 0x11FFF}, {0x1E800, 0x1EFFF},
    {0x1F1E6, 0x1F1FF}, {0x1F3FB, 0x1F3FF}, {0xE0000, 0xE0FFF},
};

bool needsLayout(char32_t c) {
    if (c < LaidOutRanges[0].first)
        return false;
    const auto after =
        std::upper_bound(std::begin(LaidOutRanges), std::end(LaidOutRanges), c,
                         [](char32_t value, const std::pair<char32_t, char32_t>& range) {
                             return value < range.first;
                         });
    return c <= (after - 1)->second;
}

// The characters as the layout is given them: a control character, which the toolkit draws as
// nothing or takes for a line's end, shows as a box.
QString shownText(QString characters) {
    for (QChar& c : characters)
        if ((isControl(c.unicode()) && c != u'\t') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QChar(0x25AF);
    return characters;
}

QString textOf(TextReader& text, std::size_t from, std::size_t to) {
    QString characters(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    for (std::size_t at = from; at < to; ++at)
        characters[static_cast<qsizetype>(at - from)] = QChar(text[at]);
    return characters;
}

// Whether a character on the font's grid can be drawn in a run with others without being
// moved: not right-to-left, not a format character, not a mark on its own.
bool drawsInRun(char32_t c) {
    switch (QChar::direction(c)) {
    case QChar::DirL:
    case QChar::DirEN:
    case QChar::DirES:
    case QChar::DirET:
    case QChar::DirCS:
    case QChar::DirWS:
    case QChar::DirON:
        break;
    default:
        return false;
    }
    return QChar::category(c) != QChar::Other_Format && !QChar::isMark(c);
}

} // namespace

qreal RowGlyphs::xAt(std::size_t position) const {
    if (layout)
        return offset + layout->lineAt(0).cursorToX(
                            static_cast<int>(std::clamp(position, from, end()) - from));
    for (const Glyph& glyph : glyphs)
        if (position < glyph.position + glyph.length)
            return glyph.x;
    return width;
}

std::size_t RowGlyphs::positionAt(qreal x) const {
    if (layout)
        return from + static_cast<std::size_t>(layout->lineAt(0).xToCursor(x - offset));
    for (const Glyph& glyph : glyphs)
        if (x < glyph.x + glyph.width / 2)
            return glyph.position;
    return end();
}

std::vector<std::pair<qreal, qreal>> RowGlyphs::spans(std::size_t first, std::size_t last) const {
    first = std::max(first, from);
    last = std::min(last, end());
    std::vector<std::pair<qreal, qreal>> out;
    if (first >= last)
        return out;
    if (!layout) {
        for (const Glyph& glyph : glyphs)
            if (glyph.position >= first && glyph.position < last) {
                if (out.empty())
                    out.push_back({glyph.x, glyph.x});
                out.back().second = glyph.x + glyph.width;
            }
        return out;
    }
    for (const QGlyphRun& run :
         layout->glyphRuns(static_cast<int>(first - from), static_cast<int>(last - first))) {
        const QRectF box = run.boundingRect();
        out.push_back({offset + box.left(), offset + box.right()});
    }
    std::sort(out.begin(), out.end());
    // Runs side by side (a change of font) make one span.
    std::vector<std::pair<qreal, qreal>> joined;
    for (const auto& span : out)
        if (!joined.empty() && span.first <= joined.back().second + 0.5)
            joined.back().second = std::max(joined.back().second, span.second);
        else
            joined.push_back(span);
    return joined;
}

TextRows::TextRows(const PieceText& text) : text_(text), metrics_(font_), layouts_(KeptLayouts) {
    setFont(font_);
}

void TextRows::setFont(const QFont& font) {
    font_ = font;
    // Each character keeps its own advance, so that a run draws where the row measured it.
    font_.setKerning(false);
    metrics_ = QFontMetricsF(font_);
    lineHeight_ = std::ceil(metrics_.lineSpacing());
    ascent_ = std::round(metrics_.ascent());
    cell_ = metrics_.horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < 256; ++c)
        latin1_[c] =
            isControl(static_cast<char16_t>(c)) ? cell_ : metrics_.horizontalAdvance(QChar(c));
    codePoints_.clear();
    clusters_.clear();
    words_.clear();
    layouts_.clear();
    rowStarts_.clear();
}

void TextRows::setWrapping(bool wrapping, qreal width) {
    if (wrapping == wrapping_ && width == width_)
        return;
    wrapping_ = wrapping;
    width_ = width;
    rowStarts_.clear();
}

void TextRows::reset() {
    longLine_ = {};
    rowStarts_.clear();
    fixedStarts_ = {};
    lineDirection_ = {};
}

void TextRows::changed(const Change& change) {
    lineDirection_ = {};
    // The row starts kept a row's reach before the edit stay; those after it may have moved
    // against the grid of fixed row starts, and are laid out again when asked for.
    const std::size_t reach = change.position > RowReach ? change.position - RowReach : 0;
    rowStarts_.erase(std::upper_bound(rowStarts_.begin(), rowStarts_.end(), reach),
                     rowStarts_.end());
    fixedStarts_ = {};

    LongLine& line = longLine_;
    if (line.start == None)
        return;
    const auto moved = [&](std::size_t position) {
        return position - change.removed + change.inserted;
    };
    if (change.position + change.removed + 2 <= line.start) {
        // Before the line break that opens the line: the line only moves.
        line.start = moved(line.start);
        line.breakFree = moved(line.breakFree);
        if (line.end != None)
            line.end = moved(line.end);
        return;
    }
    if (change.position <= line.start) {
        line = {};
        return;
    }
    const std::size_t removedEnd = change.position + change.removed;
    const std::size_t insertedEnd = change.position + change.inserted;
    line.breakFree = std::min(line.breakFree, change.position);
    // The line's end stays known unless the edit took it away or brought a line break.
    if (line.end != None && change.position <= line.end) {
        const std::size_t lineBreak = text_.findLineBreak(change.position, insertedEnd);
        if (removedEnd > line.end)
            line.end = None;
        else if (lineBreak < insertedEnd)
            line.end = lineBreak;
        else
            line.end = moved(line.end);
    }
}

std::size_t TextRows::rowStartAfter(std::size_t start, const Change& change) const {
    if (change.position >= start + RowReach)
        return start;
    const std::size_t removedEnd = change.position + change.removed;
    return rowAt(removedEnd <= start ? start - change.removed + change.inserted
                                     : std::min(start, change.position))
        .start;
}

TextRows::Measured TextRows::measure(TextReader& text, std::size_t position, qreal x) const {
    const char16_t c = text[position];
    if (c < 0x100) {
        if (c == u'\t') {
            const qreal stop = TabColumns * cell_;
            return {1, {stop - std::fmod(x, stop), 0, Glyph::Blank}};
        }
        if (isControl(c))
            return {1, {cell_, 0, Glyph::Control}};
    }
    const std::size_t length =
        c < 0x100 && (position + 1 == text.size() || text[position + 1] < 0x300)
            ? 1
            : text.clusterLength(position);
    if (length == 1 && c < 0x100)
        return {1, {latin1_[c], 0, Glyph::Run}};
    std::size_t codePointLength = 0;
    const char32_t codePoint = text.codePointAt(position, codePointLength);
    if (codePointLength == length) {
        auto found = codePoints_.constFind(codePoint);
        if (found == codePoints_.constEnd())
            // QString::fromUcs4 would take U+FEFF for a byte order mark and drop it.
            found = codePoints_.insert(
                codePoint, measureCluster(QStringView(QChar::fromUcs4(codePoint)).toString()));
        return {length, *found};
    }
    QString cluster(static_cast<qsizetype>(length), Qt::Uninitialized);
    for (std::size_t i = 0; i < length; ++i)
        cluster[static_cast<qsizetype>(i)] = QChar(text[position + i]);
    auto found = clusters_.constFind(cluster);
    if (found == clusters_.constEnd())
        found = clusters_.insert(cluster, measureCluster(cluster));
    return {length, *found};
}

TextRows::Extent TextRows::measureCluster(const QString& cluster) const {
    const char32_t first =
        cluster.size() > 1 && cluster[0].isHighSurrogate() && cluster[1].isLowSurrogate()
            ? QChar::surrogateToUcs4(cluster[0], cluster[1])
            : cluster[0].unicode();
    const bool single = cluster.size() == (QChar::requiresSurrogates(first) ? 2 : 1);
    const QChar::Category category = QChar::category(first);
    // Qt would break the line at these, or draw nothing.
    if (single && (category == QChar::Other_Control || category == QChar::Separator_Line ||
                   category == QChar::Separator_Paragraph))
        return {cell_, 0, Glyph::Control};
    const qreal advance = metrics_.horizontalAdvance(cluster);
    if (single && advance == cell_ && !QChar::requiresSurrogates(first) && drawsInRun(first))
        return {advance, 0, Glyph::Run};
    // Wide, narrow or combining: it gets room for all its ink, so that it neither overlaps its
    // neighbours nor passes the row's edge.
    const QRectF ink = metrics_.boundingRect(cluster);
    // A character with no ink (U+200B, U+200D, a mark on its own) is given an empty rectangle
    // somewhere far off: it takes its advance alone.
    if (ink.isEmpty())
        return {advance, 0, Glyph::Alone};
    const qreal left = std::min<qreal>(0, ink.left());
    const qreal right = std::max(advance, ink.right());
    return {right - left, -left, Glyph::Alone};
}

Row TextRows::endRow(TextReader& text, std::size_t start, std::size_t end) const {
    const std::size_t size = text_.size();
    if (end == size)
        return {start, end, end, true};
    if (text[end] == u'\n')
        return {start, end, end + 1, true};
    if (text[end] == u'\r')
        return {start, end, end + (end + 1 < size && text[end + 1] == u'\n' ? 2 : 1), true};
    return {start, end, end, false};
}

Row TextRows::wholeLine(std::size_t start) const {
    LongLine& line = longLine_;
    std::size_t end = line.start == start ? line.end : None;
    if (end == None) {
        end = text_.findLineBreak(start, text_.size());
        if (line.start == start)
            line.end = line.breakFree = end;
        else if (end - start >= LongLineLength)
            line = {start, end, end};
    }
    TextReader text(text_);
    return endRow(text, start, end);
}

Row TextRows::rowFrom(std::size_t start) const {
    if (!wrapping_)
        return wholeLine(start);
    TextReader text(text_);
    const Row row = wrap(text, start);
    passed(row);
    return row;
}

// Keeps the start of the row after this one when the last one kept lies far enough back.
void TextRows::passed(const Row& row) const {
    if (row.endsLine)
        return;
    const auto after = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), row.next);
    if (after == rowStarts_.begin() || row.next - *(after - 1) >= KeepEvery)
        rowStarts_.insert(after, row.next);
}

// The row start that the rows holding `position` are laid out from: the nearest before it of
// its line's start, the row start fixed by a grid place and a row start kept.
std::size_t TextRows::walkFrom(TextReader& text, std::size_t position) const {
    // At a line's end, the row of the character before it.
    std::size_t at = position;
    if (at > 0 && (at == text.size() || isLineBreak(text[at])) && !isLineBreak(text[at - 1]))
        --at;
    const std::size_t grid = at / JumpGrid * JumpGrid;
    const std::size_t floor = grid >= JumpGrid ? grid - JumpGrid : 0;
    std::size_t from = text_.findLineStart(at, floor);
    if (from == floor && grid >= JumpGrid) // the line started a grid's length before `grid`
        from = fixedRowStart(text, grid);
    const std::size_t next = grid + JumpGrid;
    if (at + MaxRowLength >= next) {
        const std::size_t fixed = fixedRowStart(text, next);
        if (fixed != None && fixed <= at)
            from = fixed;
    }
    const auto after = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), at);
    if (after != rowStarts_.begin())
        from = std::max(from, *(after - 1));
    return from;
}

// The row start fixed by the grid place `grid`, or None where its line starts less than a
// grid's length before it.
std::size_t TextRows::fixedRowStart(TextReader& text, std::size_t grid) const {
    if (grid < JumpGrid || grid >= text.size())
        return None;
    for (const FixedStart& fixed : fixedStarts_)
        if (fixed.grid == grid)
            return fixed.start;
    const std::size_t start = text_.findLineBreak(grid - JumpGrid, grid + 1) == grid + 1
                                  ? rowStartNear(text, grid)
                                  : None;
    fixedStarts_[1] = fixedStarts_[0];
    fixedStarts_[0] = {grid, start};
    return start;
}

// Just after the last blank in the MaxRowLength characters up to `grid`, as rows wrap, or else
// the start of the cluster there.
std::size_t TextRows::rowStartNear(TextReader& text, std::size_t grid) const {
    for (std::size_t at = grid; at > grid - MaxRowLength; --at)
        if (isBlank(text[at - 1]) && text[at] < 0x300)
            return at;
    return text.clusterStart(grid);
}

Row TextRows::wrap(TextReader& text, std::size_t start) const {
    const std::size_t size = text_.size();
    const qreal limit = width_ + FitTolerance;
    // A row ends, at the latest, where the next fixed row start is.
    std::size_t rowEnd = std::min(start + MaxRowLength, size);
    const std::size_t grid = (start / JumpGrid + 1) * JumpGrid;
    if (grid <= start + 2 * MaxRowLength) {
        const std::size_t fixed = fixedRowStart(text, grid);
        if (fixed != None && fixed > start)
            rowEnd = std::min(rowEnd, fixed);
    }
    qreal x = 0;
    std::size_t position = start;
    std::size_t breakAfter = start; // after the last blank, where the row may wrap
    while (position < size) {
        // Most characters of a page are one character each, with no mark after them: they go
        // straight through, up to the one that needs more thought.
        std::size_t available = 0;
        const char16_t* chars = text.span(position, available);
        std::size_t i = 0;
        for (; i + 1 < available && position + i < rowEnd; ++i) {
            const char16_t c = chars[i];
            if (c >= 0x100 || c == u'\t' || isLineBreak(c) || chars[i + 1] >= 0x300 ||
                (x + latin1_[c] > limit && position + i > start))
                break;
            x += latin1_[c];
            if (c == u' ')
                breakAfter = position + i + 1;
        }
        position += i; // still short of the end: the loop stops one character before it
        if (position >= rowEnd)
            return endRow(text, start, position);
        const char16_t c = text[position];
        if (isLineBreak(c))
            return endRow(text, start, position);
        const Measured measured = measure(text, position, x);
        // The toolkit lays out rows that need it, and places the tabs of a line that reads
        // from the right.
        if (((c >= 0x300 || measured.length > 1) &&
             laidOutCluster(text, position, measured.length)) ||
            (c == u'\t' && lineRightToLeft(text, start)))
            return wrapLaidOut(text, start, rowEnd);
        const bool blank = measured.length == 1 && isBlank(c);
        if (x + measured.extent.width > limit && position > start) {
            if (blank) // a blank that does not fit hangs at the end of the row
                return endRow(text, start, position + 1);
            return endRow(text, start, breakAfter > start ? breakAfter : position);
        }
        x += measured.extent.width;
        position += measured.length;
        if (blank)
            breakAfter = position;
        if (position >= rowEnd)
            return endRow(text, start, position);
    }
    return {start, size, size, true};
}

std::size_t TextRows::lineStart(std::size_t position) const {
    LongLine& line = longLine_;
    std::size_t start = 0;
    if (line.start != None && line.start <= position) {
        if (position <= line.breakFree)
            return line.start;
        start = text_.findLineStart(position, line.breakFree);
        if (start == line.breakFree) {
            line.breakFree = position;
            return line.start;
        }
    } else {
        start = text_.findLineStart(position, 0);
    }
    if (position - start >= LongLineLength)
        line = {start, position, None};
    return start;
}

Row TextRows::rowAt(std::size_t position) const {
    const std::size_t size = text_.size();
    position = std::min(position, size);
    if (position > 0 && position < size && text_.at(position) == u'\n' &&
        text_.at(position - 1) == u'\r')
        --position;
    if (!wrapping_)
        return wholeLine(lineStart(position));
    TextReader text(text_);
    std::size_t from = walkFrom(text, position);
    for (;;) {
        const Row row = wrap(text, from);
        passed(row);
        if (row.holds(position))
            return row;
        from = row.next;
    }
}

std::optional<Row> TextRows::rowBefore(std::size_t start) const {
    if (start == 0)
        return std::nullopt;
    return rowAt(start - 1);
}

RowGlyphs TextRows::glyphs(const Row& row, std::size_t from, qreal maxWidth) const {
    TextReader text(text_);
    const bool rightToLeft = lineRightToLeft(text, row.start);
    if (rightToLeft)
        return laidOutGlyphs(text, row, from, maxWidth, true);
    RowGlyphs out;
    out.from = from;
    qreal x = 0;
    std::size_t position = from;
    // No more characters than a wrapped row holds: a line of a million zero-width characters
    // would otherwise be measured and drawn whole at each paint.
    while (position < row.end && x <= maxWidth && position - from < MaxRowLength) {
        const Measured measured = measure(text, position, x);
        if ((text[position] >= 0x300 || measured.length > 1) &&
            laidOutCluster(text, position, measured.length))
            return laidOutGlyphs(text, row, from, maxWidth, false);
        const Extent& extent = measured.extent;
        out.glyphs.push_back({position, static_cast<std::uint32_t>(measured.length), extent.kind, x,
                              extent.width, extent.inkOffset});
        x += extent.width;
        position += measured.length;
    }
    out.width = x;
    out.text.resize(static_cast<qsizetype>(position - from));
    text_.read(from, position - from, reinterpret_cast<char16_t*>(out.text.data()));
    return out;
}

// ---- Rows that the toolkit lays out ----

bool TextRows::laidOutCluster(TextReader& text, std::size_t position, std::size_t length) const {
    for (std::size_t at = position; at < position + length;) {
        std::size_t codePointLength = 0;
        if (needsLayout(text.codePointAt(at, codePointLength)))
            return true;
        at += codePointLength;
    }
    return false;
}

// A word: up to the next blank or line break, at most to `end`.
std::size_t TextRows::wordEnd(TextReader& text, std::size_t position, std::size_t end) const {
    while (position < end) {
        const char16_t c = text[position];
        if (isLineBreak(c))
            break;
        const std::size_t length = text.clusterLength(position);
        if (length == 1 && isBlank(c))
            break;
        position += length;
    }
    return position;
}

// Words are measured whole, as the layout shapes them; a blank breaks every join, so that a
// row is as wide as its words and blanks.
qreal TextRows::wordWidth(TextReader& text, std::size_t from, std::size_t to) const {
    const QString word = textOf(text, from, to);
    const auto found = words_.constFind(word);
    if (found != words_.constEnd())
        return *found;
    if (words_.size() >= KeptWords)
        words_.clear();
    const qreal width = metrics_.horizontalAdvance(shownText(word));
    words_.insert(word, width);
    return width;
}

// The end of the most whole clusters from `from` that fit in `room`, at least one: a word
// longer than a row, measured in prefixes twice as long each time, then halving the difference.
std::size_t TextRows::fittingEnd(TextReader& text, std::size_t from, std::size_t to,
                                 qreal room) const {
    std::vector<std::size_t> ends{from + text.clusterLength(from)};
    const auto end = [&](std::size_t clusters) {
        while (ends.size() < clusters && ends.back() < to)
            ends.push_back(ends.back() + text.clusterLength(ends.back()));
        return std::min(to, ends[std::min(clusters, ends.size()) - 1]);
    };
    const auto fits = [&](std::size_t clusters) {
        return metrics_.horizontalAdvance(shownText(textOf(text, from, end(clusters)))) <= room;
    };
    std::size_t fitting = 1, tooMany = 2;
    while (end(tooMany) < to && fits(tooMany)) {
        fitting = tooMany;
        tooMany *= 2;
    }
    tooMany = std::min(tooMany, ends.size() + (ends.back() < to ? 1 : 0));
    while (tooMany - fitting > 1) {
        const std::size_t middle = (fitting + tooMany) / 2;
        if (fits(middle))
            fitting = middle;
        else
            tooMany = middle;
    }
    return end(fitting);
}

// Where the toolkit ends the tab at `tab` of a row laid out from `start`: at the next tab stop
// after what comes before it, as the toolkit measures that.
qreal TextRows::tabEnd(TextReader& text, std::size_t start, std::size_t tab) const {
    QTextLayout layout(shownText(textOf(text, start, tab + 1)), font_);
    layout.setTextOption(layoutOption(lineRightToLeft(text, start)));
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return line.horizontalAdvance();
}

// As wrap(), for a row that the toolkit lays out.
Row TextRows::wrapLaidOut(TextReader& text, std::size_t start, std::size_t rowEnd) const {
    const qreal limit = width_ + FitTolerance;
    qreal x = 0;
    std::size_t position = start;
    std::size_t breakAfter = start; // after the last blank, where the row may wrap
    while (position < rowEnd) {
        const char16_t c = text[position];
        if (isLineBreak(c))
            break;
        const std::size_t end = wordEnd(text, position, rowEnd);
        if (end == position) { // a blank; one that does not fit hangs at the end of the row
            const qreal after = c == u'\t' ? tabEnd(text, start, position) : x + latin1_[c];
            if (after > limit && position > start)
                return endRow(text, start, position + 1);
            x = after;
            breakAfter = ++position;
            continue;
        }
        const qreal width = wordWidth(text, position, end);
        if (x + width > limit) {
            if (breakAfter > start)
                return endRow(text, start, breakAfter);
            return endRow(text, start, fittingEnd(text, position, end, limit - x));
        }
        x += width;
        position = end;
    }
    return endRow(text, start, position);
}

// Without wrapping: the words from `from` up to the one that passes `maxWidth`.
std::size_t TextRows::laidOutExtent(TextReader& text, std::size_t from, std::size_t to,
                                    qreal maxWidth) const {
    qreal x = 0;
    std::size_t position = from;
    while (position < to && x <= maxWidth) {
        const std::size_t end = wordEnd(text, position, to);
        if (end == position) {
            x = text[position] == u'\t' ? tabEnd(text, from, position) : x + latin1_[u' '];
            ++position;
        } else {
            x += wordWidth(text, position, end);
            position = end;
        }
    }
    return position;
}

RowGlyphs TextRows::laidOutGlyphs(TextReader& text, const Row& row, std::size_t from,
                                  qreal maxWidth, bool rightToLeft) const {
    std::size_t to = std::min(row.end, from + MaxRowLength);
    if (std::isfinite(maxWidth))
        to = laidOutExtent(text, from, to, maxWidth);
    RowGlyphs out;
    out.from = from;
    if (from >= to)
        return out;
    out.text = textOf(text, from, to);
    out.layout = layoutOf(out.text, rightToLeft);
    const qreal advance = out.layout->lineAt(0).horizontalAdvance();
    // Without wrapping, a line that reads from the right and runs past the box shows its start
    // at the right edge. A row that reads from the right and wraps after blanks has them at
    // its left end, where QPlainTextEdit lets them take no room.
    std::size_t blanks = to;
    while (blanks > from && isBlank(text[blanks - 1]))
        --blanks;
    if (rightToLeft && std::isfinite(maxWidth))
        out.offset = std::min<qreal>(0, maxWidth - advance);
    else if (rightToLeft && !row.endsLine && blanks < to)
        out.offset = -out.layout->lineAt(0).cursorToX(static_cast<int>(blanks - from));
    out.width = out.offset + advance;
    return out;
}

// One line laid out by the toolkit in its direction, from the left as QPlainTextEdit lays it
// out; rows on screen are laid out once.
std::shared_ptr<const QTextLayout> TextRows::layoutOf(const QString& characters,
                                                      bool rightToLeft) const {
    const QString key = QChar(rightToLeft ? u'R' : u'L') + characters;
    if (const auto* kept = layouts_.object(key))
        return *kept;
    auto layout = std::make_shared<QTextLayout>(shownText(characters), font_);
    layout->setTextOption(layoutOption(rightToLeft));
    layout->setCacheEnabled(true);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    layouts_.insert(key, new std::shared_ptr<const QTextLayout>(layout));
    return layout;
}

QTextOption TextRows::layoutOption(bool rightToLeft) const {
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(TabColumns * cell_);
    return option;
}

bool TextRows::rightToLeft(std::size_t position) const {
    TextReader text(text_);
    return lineRightToLeft(text, std::min(position, text_.size()));
}

// How far back the start of the line that holds `position` is looked for: a multiple of
// LineStartReach at least LineStartReach back, the same for every position of a stretch, so
// that a longer line's direction does not depend on what was drawn before.
static std::size_t furthestLookBack(std::size_t position) {
    return position > LineStartReach ? (position - LineStartReach) / LineStartReach * LineStartReach
                                     : 0;
}

// The first strong character of the line, outside isolates, among its first characters.
bool TextRows::lineRightToLeft(TextReader& text, std::size_t position) const {
    LineDirection& known = lineDirection_;
    const std::size_t furthest = furthestLookBack(position);
    std::size_t start = None;
    bool lineStart = false;
    // Rows drawn one after the other: the text since the stretch known to hold no line break is
    // checked, not looked back over again.
    if (known.start != None && known.start <= position &&
        (position <= known.through || (position - known.through <= MaxRowLength &&
                                       text_.findLineBreak(known.through, position) == position))) {
        known.through = std::max(known.through, position);
        if (furthest >= known.start) {
            start = furthest;
            lineStart = furthest == known.start && known.lineStart;
        } else if (known.lineStart) {
            start = known.start;
            lineStart = true;
        }
        if (start == known.start)
            return known.rightToLeft;
    }
    if (start == None) {
        start = directionStart(text, position);
        lineStart = start != furthest || start == 0 || isLineBreak(text[start - 1]);
    }
    const std::size_t last = std::min(text.size(), start + MaxRowLength);
    bool rightToLeft = false;
    int isolates = 0;
    for (std::size_t at = start; at < last;) {
        std::size_t length = 0;
        const char32_t c = text.codePointAt(at, length);
        if (c == u'\r' || c == u'\n')
            break;
        at += length;
        const QChar::Direction direction = QChar::direction(c);
        if (direction == QChar::DirLRI || direction == QChar::DirRLI || direction == QChar::DirFSI)
            ++isolates;
        else if (direction == QChar::DirPDI && isolates > 0)
            --isolates;
        else if (isolates == 0 && direction == QChar::DirL)
            break;
        else if (isolates == 0 && (direction == QChar::DirR || direction == QChar::DirAL)) {
            rightToLeft = true;
            break;
        }
    }
    known = {start, std::max(start, position), lineStart, rightToLeft};
    return rightToLeft;
}

// Where the direction of the line that holds `position` is taken from, found without laying out
// anything: the line's own start, or the furthest point looked back to.
std::size_t TextRows::directionStart(TextReader& text, std::size_t position) const {
    if (position == 0 || isLineBreak(text[position - 1]))
        return position;
    return text_.findLineStart(position, furthestLookBack(position));
}

} // namespace textbox
