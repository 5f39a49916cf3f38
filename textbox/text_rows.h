#pragma once

#include "textbox/piece_text.h"

#include <QCache>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <QTextLayout>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace textbox {

// A line on screen. Its characters are [start, end); the next row starts at `next`, after the
// line break when the row ends at one.
struct Row {
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool endsLine = true; // at a line break or at the end of the text, not where it wraps

    // Whether the caret at `position` shows on this row: a caret where a row wraps shows at the
    // start of the next one.
    bool holds(std::size_t position) const {
        return start <= position && (position < next || (endsLine && position == end));
    }
};

// What the box draws for one cluster: a character with the combining marks that follow it, a
// surrogate pair, a tab, a control character.
struct Glyph {
    enum Kind : std::uint8_t {
        Run,     // drawn in one go with the runs beside it: the font's own advance
        Alone,   // drawn on its own, inkOffset right of x, so that its ink stays in its width
        Control, // drawn as a box one cell wide
        Blank,   // a tab
    };
    std::size_t position;
    std::uint32_t length;
    Kind kind;
    qreal x;
    qreal width;
    qreal inkOffset;
};

// The glyphs of a row, from `from` on: drawn one cluster or run at a time, or, where the row
// reads from right to left or holds characters that join, reorder or combine into one glyph,
// laid out and drawn whole by the toolkit, `offset` right of the row's left edge.
struct RowGlyphs {
    std::size_t from = 0;
    QString text; // the characters from `from` to the end of the last glyph
    std::vector<Glyph> glyphs;
    std::shared_ptr<const QTextLayout> layout; // one line
    qreal offset = 0;
    qreal width = 0; // where the last glyph ends, or the layout's right edge

    std::size_t end() const { return from + static_cast<std::size_t>(text.size()); }
    // Where the caret at `position` stands.
    qreal xAt(std::size_t position) const;
    // The caret position nearest to `x`, or end() past the row's end.
    std::size_t positionAt(qreal x) const;
    // Where the characters [first, last) are drawn, from left to right: more than one span
    // where their direction changes.
    std::vector<std::pair<qreal, qreal>> spans(std::size_t first, std::size_t last) const;
};

class TextReader;

// Where the rows of a text fall on screen, found from any row start by reading at most one row
// ahead: nothing here passes over the whole text. A line longer than a few screens has row
// starts fixed by the text alone every 32,768 characters or so, so that a visit far into it
// lays out only the rows from the fixed start before where it lands, and lands on the same rows
// whichever way it comes. Some row starts laid out are kept, so that scrolling, or going up,
// does not lay out again all the rows from the fixed start before.
class TextRows {
public:
    explicit TextRows(const PieceText& text);

    void setFont(const QFont& font);
    // Rows wrap where they reach `width`, or only at line breaks when wrapping is off.
    void setWrapping(bool wrapping, qreal width);
    // Forgets what it knows of the text's lines, for a new text.
    void reset();
    // Forgets what an edit changed, and moves what it knows past the edit by the edit's length.
    void changed(const Change& change);
    // Where a row start of the text before `change` is in the text after it (after changed()):
    // the start of the row that now holds its character, or the same place when the edit lies
    // past all that decided where that row starts.
    std::size_t rowStartAfter(std::size_t start, const Change& change) const;

    const QFont& font() const { return font_; }
    qreal lineHeight() const { return lineHeight_; }
    qreal ascent() const { return ascent_; }
    qreal cellWidth() const { return cell_; }

    // The row that starts at `start`, a row start.
    Row rowFrom(std::size_t start) const;
    // The row that holds the caret at `position`.
    Row rowAt(std::size_t position) const;
    // The row before the one starting at `start`, if any.
    std::optional<Row> rowBefore(std::size_t start) const;
    // The row's glyphs from `from`, a caret position in it, up to where they pass `maxWidth`,
    // and no more characters than a wrapped row holds.
    RowGlyphs glyphs(const Row& row, std::size_t from, qreal maxWidth) const;
    // Whether the line that holds `position` reads from right to left: its first strong
    // character says, as the toolkit takes a paragraph's direction.
    bool rightToLeft(std::size_t position) const;

private:
    static constexpr std::size_t None = static_cast<std::size_t>(-1);

    struct Extent {
        qreal width;
        qreal inkOffset;
        Glyph::Kind kind;
    };
    struct Measured {
        std::size_t length;
        Extent extent;
    };
    // Without wrapping, a line too long to search for its ends at every step through it.
    struct LongLine {
        std::size_t start = None;
        std::size_t breakFree = 0; // [start, breakFree) holds no line break
        std::size_t end = None;    // its line break or the end of the text, when known
    };
    // A grid place and the row start it fixes, or None, as last found.
    struct FixedStart {
        std::size_t grid = None;
        std::size_t start = None;
    };

    Measured measure(TextReader& text, std::size_t position, qreal x) const;
    Extent measureCluster(const QString& cluster) const;
    Row wrap(TextReader& text, std::size_t start) const;
    void passed(const Row& row) const;
    std::size_t walkFrom(TextReader& text, std::size_t position) const;
    std::size_t fixedRowStart(TextReader& text, std::size_t grid) const;
    std::size_t rowStartNear(TextReader& text, std::size_t grid) const;
    Row endRow(TextReader& text, std::size_t start, std::size_t end) const;
    Row wholeLine(std::size_t start) const;
    std::size_t lineStart(std::size_t position) const;

    // Rows that the toolkit lays out.
    bool laidOutCluster(TextReader& text, std::size_t position, std::size_t length) const;
    Row wrapLaidOut(TextReader& text, std::size_t start, std::size_t rowEnd) const;
    qreal tabEnd(TextReader& text, std::size_t start, std::size_t tab) const;
    QTextOption layoutOption(bool rightToLeft) const;
    std::size_t wordEnd(TextReader& text, std::size_t position, std::size_t end) const;
    qreal wordWidth(TextReader& text, std::size_t from, std::size_t to) const;
    std::size_t fittingEnd(TextReader& text, std::size_t from, std::size_t to, qreal room) const;
    std::size_t laidOutExtent(TextReader& text, std::size_t from, std::size_t to,
                              qreal maxWidth) const;
    RowGlyphs laidOutGlyphs(TextReader& text, const Row& row, std::size_t from, qreal maxWidth,
                            bool rightToLeft) const;
    std::shared_ptr<const QTextLayout> layoutOf(const QString& characters, bool rightToLeft) const;
    bool lineRightToLeft(TextReader& text, std::size_t position) const;
    std::size_t directionStart(TextReader& text, std::size_t position) const;

    const PieceText& text_;
    QFont font_;
    QFontMetricsF metrics_;
    qreal lineHeight_ = 0;
    qreal ascent_ = 0;
    qreal cell_ = 0;
    std::array<qreal, 256> latin1_{}; // advances of U+0000 to U+00FF, the page's characters
    mutable QHash<char32_t, Extent> codePoints_; // measured characters beyond U+00FF
    mutable QHash<QString, Extent> clusters_;    // and characters with combining marks
    bool wrapping_ = true;
    qreal width_ = 0;
    mutable std::vector<std::size_t> rowStarts_; // some row starts laid out, in order
    mutable std::array<FixedStart, 2> fixedStarts_;
    mutable LongLine longLine_;
    mutable QHash<QString, qreal> words_; // widths of words as the layout shapes them
    mutable QCache<QString, std::shared_ptr<const QTextLayout>> layouts_; // rows on screen
    // The direction taken from `start`, and how far from it the text is known to hold no line
    // break, so that the rows of one long line look their line's start up once, not each row.
    struct LineDirection {
        std::size_t start = None;
        std::size_t through = None;
        bool lineStart = false; // a line's own start, not the furthest point looked back to
        bool rightToLeft = false;
    };
    mutable LineDirection lineDirection_;
};

} // namespace textbox
