#include "textbox/plain_text_box.h"
#include "textbox/plain_text_box_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextCharFormat>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(QKeySequence)

namespace {

const QSize MultiLine(300, 120);
// Two rows of 95 columns, where an edit far into a row can re-wrap the row above it.
const QSize Wide(700, 50);

QString repeated(const QString& text, int times) {
    return text.repeated(times);
}

std::unique_ptr<PlainTextBox> makeBox(const QString& text, QSize size = MultiLine) {
    auto box = std::make_unique<PlainTextBox>();
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(9.75);
    box->setFont(font);
    box->resize(size);
    // As the program has them: a scroll bar on the multi-line boxes only.
    box->setVerticalScrollBarPolicy(size.height() > 30 ? Qt::ScrollBarAlwaysOn
                                                       : Qt::ScrollBarAlwaysOff);
    box->setPlainText(text);
    box->show();
    return box;
}

QAccessibleTextInterface* accessibleText(PlainTextBox& box) {
    return QAccessible::queryAccessibleInterface(&box)->textInterface();
}

// The text position shown at this point of the viewport.
int positionAt(PlainTextBox& box, QPoint point) {
    return accessibleText(box)->offsetAtPoint(box.viewport()->mapToGlobal(point));
}

int positionAtY(PlainTextBox& box, int y) {
    return positionAt(box, {0, y});
}

int topRowStart(PlainTextBox& box) {
    return positionAtY(box, 6);
}

// The start of the row the caret stands on, at the end of the text.
int lastRowStart(PlainTextBox& box) {
    const QRect caret = accessibleText(box)->characterRect(static_cast<int>(box.length()));
    return positionAtY(box, box.viewport()->mapFromGlobal(caret.center()).y());
}

// The starts of the first rows, found as Down finds them from the start, at x = 0.
QList<qsizetype> rowStarts(PlainTextBox& box, int rows) {
    box.setCursorPosition(0);
    QList<qsizetype> starts{0};
    while (starts.size() < rows) {
        QTest::keyClick(&box, Qt::Key_Down);
        starts << box.cursorPosition();
    }
    return starts;
}

QVariant key(QKeySequence::StandardKey standard) {
    return QVariant::fromValue(QKeySequence(standard));
}

QVariant key(const char* portable) {
    return QVariant::fromValue(QKeySequence(QString::fromLatin1(portable)));
}

// Typed text, keys, a scroll bar's action, the caret put at a position, or a click at a point
// of the viewport.
void press(PlainTextBox& box, const QVariantList& steps) {
    for (const QVariant& step : steps)
        if (step.typeId() == QMetaType::QString)
            QTest::keyClicks(&box, step.toString());
        else if (step.typeId() == QMetaType::LongLong)
            box.setCursorPosition(step.toLongLong());
        else if (step.typeId() == QMetaType::QPoint)
            QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, step.toPoint());
        else if (step.typeId() == QMetaType::Int)
            box.verticalScrollBar()->triggerAction(
                static_cast<QAbstractSlider::SliderAction>(step.toInt()));
        else
            QTest::keySequence(&box, step.value<QKeySequence>());
}

const int Limit = static_cast<int>(AccessibleTextLimit);

// The first and last caret positions of each row on screen, from the top.
QList<QPair<int, int>> rowsOnScreen(PlainTextBox& box) {
    QList<QPair<int, int>> rows;
    const QRect top = accessibleText(box)->characterRect(topRowStart(box));
    const int firstY = box.viewport()->mapFromGlobal(top.topLeft()).y();
    for (int y = firstY + top.height() / 2; y < box.viewport()->height(); y += top.height())
        rows.append({positionAt(box, {0, y}), positionAt(box, {box.viewport()->width() - 1, y})});
    return rows;
}

// ---- Against the toolkit: the box beside a QPlainTextEdit of the same size and font ----

const QSize BesideTheToolkit(420, 60);

std::unique_ptr<QPlainTextEdit> toolkitBeside(PlainTextBox& box, const QString& text) {
    box.setLineWrapMode(PlainTextBox::NoWrap);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto edit = std::make_unique<QPlainTextEdit>();
    edit->setFont(box.font());
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->resize(box.size());
    edit->setPlainText(text);
    edit->show();
    // Neither draws a caret into the pictures.
    edit->clearFocus();
    box.clearFocus();
    return edit;
}

// Where each drawn pixel is: not the background colour.
struct Ink {
    QImage image;
    QRgb base;
    bool at(int x, int y) const {
        if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
            return false;
        const QRgb pixel = image.pixel(x, y);
        return std::max({qAbs(qRed(pixel) - qRed(base)), qAbs(qGreen(pixel) - qGreen(base)),
                         qAbs(qBlue(pixel) - qBlue(base))}) > 96;
    }
    QRect bounds() const {
        QRect inked;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(x, y))
                    inked |= QRect(x, y, 1, 1);
        return inked;
    }
};

Ink inkOf(QWidget* viewport) {
    return {viewport->grab().toImage(), viewport->palette().color(QPalette::Base).rgb()};
}

// The pixels of `a`'s ink with none of `b`'s within a pixel, `b` moved up by `dy`.
int unmatched(const Ink& a, const Ink& b, int dy) {
    int count = 0;
    for (int y = 0; y < a.image.height(); ++y)
        for (int x = 0; x < a.image.width(); ++x) {
            if (!a.at(x, y))
                continue;
            bool near = false;
            for (int dx = -1; dx <= 1 && !near; ++dx)
                for (int ey = -1; ey <= 1 && !near; ++ey)
                    near = b.at(x + dx, y + dy + ey);
            count += !near;
        }
    return count;
}

// The columns where a selection is painted, as spans [from, to).
QList<QPair<int, int>> highlighted(QWidget* viewport) {
    const QImage image = viewport->grab().toImage();
    const QPalette& palette = viewport->palette();
    const QRgb active = palette.color(QPalette::Active, QPalette::Highlight).rgb();
    const QRgb inactive = palette.color(QPalette::Inactive, QPalette::Highlight).rgb();
    QList<QPair<int, int>> spans;
    for (int x = 0; x < image.width(); ++x) {
        bool lit = false;
        for (int y = 0; y < image.height() && !lit; ++y)
            lit = image.pixel(x, y) == active || image.pixel(x, y) == inactive;
        if (!lit)
            continue;
        if (!spans.isEmpty() && spans.back().second == x)
            spans.back().second = x + 1;
        else
            spans.append({x, x + 1});
    }
    return spans;
}

bool within1px(const QList<QPair<int, int>>& a, const QList<QPair<int, int>>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (qAbs(a[i].first - b[i].first) > 1 || qAbs(a[i].second - b[i].second) > 1)
            return false;
    return true;
}

QString spansText(const QList<QPair<int, int>>& spans) {
    QStringList out;
    for (const auto& [from, to] : spans)
        out << QStringLiteral("%1..%2").arg(from).arg(to);
    return out.join(QLatin1Char(' '));
}

// The darkest pixels of a viewport: the ink of its text.
bool isInk(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

// The rightmost column with ink in the band of rows [top, bottom).
int lastInkColumn(const QImage& image, int top, int bottom) {
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = top; y < bottom; ++y)
            if (isInk(image, x, y))
                return x;
    return -1;
}

// The point in the box's viewport where the character at `position` begins.
QPoint pointOf(PlainTextBox& box, int position) {
    const QRect cell = accessibleText(box)->characterRect(position);
    return box.viewport()->mapFromGlobal(cell.topLeft()) + QPoint(1, cell.height() / 2);
}

} // namespace

class PlainTextBoxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void rowsWrap_data();
    void rowsWrap();
    void endStaysOnTheRow_data();
    void endStaysOnTheRow();
    void withoutWrapping();
    void lineBreaksAndNul_data();
    void lineBreaksAndNul();
    void otherWidthsStayInside_data();
    void otherWidthsStayInside();
    void drawnAsTheToolkitDrawsIt_data();
    void drawnAsTheToolkitDrawsIt();
    void wrappedRightToLeftAsTheToolkit();
    void editing_data();
    void editing();
    void clipboard();
    void copyIsTheSelectionAsItWas_data();
    void copyIsTheSelectionAsItWas();
    void mouseSelects();
    void contextMenu();
    void scrolling();
    void scrollBarInTheMiddleOfALongLine();
    void rowsUpFromTheEndOfALongLine_data();
    void rowsUpFromTheEndOfALongLine();
    void rowsDependOnTheTextAlone_data();
    void rowsDependOnTheTextAlone();
    void leftStopsWhereRightDoes_data();
    void leftStopsWhereRightDoes();
    void textsFarLargerThanTheScreen_data();
    void textsFarLargerThanTheScreen();
    void answersScreenReaders();
    void screenReaderRequestsAreBounded_data();
    void screenReaderRequestsAreBounded();
    void altWithAKeyTypesNothing_data();
    void altWithAKeyTypesNothing();
    void scrollBarKeepsTheApplicationPalette();
    void oneLineBoxShowsItsLineInTheMiddle();
    void tabTypesOrMovesTheFocus();
    void compositionIsDrawnAtTheCaret();
    void compositionTakesTheSelectionsPlace();
    void inputMethodIsToldTheCaretsLine_data();
    void inputMethodIsToldTheCaretsLine();
    void dropsFromOtherPrograms_data();
    void dropsFromOtherPrograms();
    void dragAndDrop_data();
    void dragAndDrop();
    void primarySelection();

private:
    int columns_ = 0;     // characters on a row of the multi-line box
    int wideColumns_ = 0; // and of the wide one
};

void PlainTextBoxTest::initTestCase() {
    const auto columns = [](QSize size) {
        const auto box = makeBox(QString(1000, QLatin1Char('x')), size);
        QTest::keyClick(box.get(), Qt::Key_End);
        return static_cast<int>(box->cursorPosition()) + 1; // End stays before the wrap
    };
    columns_ = columns(MultiLine);
    wideColumns_ = columns(Wide);
    QVERIFY(columns_ > 20);
    QVERIFY(wideColumns_ > 70);
}

void PlainTextBoxTest::rowsWrap_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qsizetype>>("starts");
    const int n = columns_;
    const QString word = QStringLiteral("word ");
    const int words = (n + 1) / 5; // the words that fit on a row; the last space may hang
    QTest::newRow("at word boundaries")
        << repeated(word, 3 * words) << QList<qsizetype>{0, 5 * words, 10 * words};
    QTest::newRow("no break opportunity")
        << QString(3 * n, QLatin1Char('<')) << QList<qsizetype>{0, n, 2 * n};
    QTest::newRow("a word longer than a row")
        << QStringLiteral("ab ") + QString(2 * n, QLatin1Char('x'))
        << QList<qsizetype>{0, 3, 3 + n};
    QTest::newRow("a space at the edge hangs")
        << QString(n, QLatin1Char('x')) + QStringLiteral(" y") << QList<qsizetype>{0, n + 1};
    QTest::newRow("CR LF, LF and CR")
        << QStringLiteral("a\r\nb\nc\rd") << QList<qsizetype>{0, 3, 5, 7};
    QTest::newRow("a zero-width space takes no room")
        << QStringLiteral("ab\u200Bcd\nx") << QList<qsizetype>{0, 6};
    QTest::newRow("a zero-width joiner between emoji takes no room")
        << QStringLiteral("\U0001F600\u200D\U0001F35E\nx") << QList<qsizetype>{0, 6};
    QTest::newRow("a mark with no character before it takes no more than its ink")
        << QStringLiteral("\t\u0301x\nx") << QList<qsizetype>{0, 4};
    QTest::newRow("U+FEFF is a character of its own, of no width")
        << QStringLiteral("a\uFEFFb\nx") << QList<qsizetype>{0, 4};
    QTest::newRow("NUL is no line break")
        << QStringLiteral("a") + QChar(0) + QStringLiteral("b\nc") << QList<qsizetype>{0, 4};
    QTest::newRow("a tab is eight columns")
        << QStringLiteral("\t\t") + QString(n - 16, QLatin1Char('x')) + QStringLiteral(" y")
        << QList<qsizetype>{0, n - 13};
    // The width the box's font draws U+4E2D in: two cells in a CJK face, one missing-glyph box
    // where the system has none. Enough x's go before it that it cannot fit after them.
    const QString wide = QStringLiteral("\u4E2D");
    const QFontMetricsF metrics(makeBox({})->font());
    const QRectF ink = metrics.boundingRect(wide);
    const qreal width =
        std::max(metrics.horizontalAdvance(wide), ink.right()) - std::min<qreal>(0, ink.left());
    const int before =
        n + 1 - static_cast<int>(width / metrics.horizontalAdvance(QLatin1Char('x')));
    QTest::newRow("a wide character that does not fit goes down")
        << QString(before, QLatin1Char('x')) + wide + wide << QList<qsizetype>{0, before};
}

void PlainTextBoxTest::rowsWrap() {
    QFETCH(QString, text);
    QFETCH(QList<qsizetype>, starts);
    const auto box = makeBox(text);
    QCOMPARE(rowStarts(*box, static_cast<int>(starts.size())), starts);
}

void PlainTextBoxTest::endStaysOnTheRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<PlainTextBox::LineWrapMode>("mode");
    QTest::addColumn<int>("end");
    const int n = columns_;
    QTest::newRow("wrapped inside a word: before its last character")
        << QString(2 * n, QLatin1Char('<')) << PlainTextBox::WidgetWidth << n - 1;
    QTest::newRow("wrapped after a space: before the space")
        << QStringLiteral("ab ") + QString(2 * n, QLatin1Char('x')) << PlainTextBox::WidgetWidth
        << 2;
    QTest::newRow("ended by a line break: before it")
        << QStringLiteral("abc\r\ndef") << PlainTextBox::WidgetWidth << 3;
    QTest::newRow("not wrapped: the end of the line")
        << QString(2 * n, QLatin1Char('<')) + QStringLiteral("\nx") << PlainTextBox::NoWrap
        << 2 * n;
}

void PlainTextBoxTest::endStaysOnTheRow() {
    QFETCH(QString, text);
    QFETCH(PlainTextBox::LineWrapMode, mode);
    QFETCH(int, end);
    const auto box = makeBox(text);
    box->setLineWrapMode(mode);
    QTest::keyClick(box.get(), Qt::Key_End);
    QCOMPARE(box->cursorPosition(), end);
}

// Without wrapping, the view follows the caret sideways, and Up and Down keep its column.
void PlainTextBoxTest::withoutWrapping() {
    const auto box = makeBox(QString(5000, QLatin1Char('w')) + QStringLiteral("\r\nshort"));
    box->setLineWrapMode(PlainTextBox::NoWrap);
    QTest::keyClick(box.get(), Qt::Key_End);
    QCOMPARE(box->cursorPosition(), 5000);
    QVERIFY(qAbs(positionAt(*box, {box->viewport()->width() - 8, 6}) - 5000) <= 2);
    QTest::keyClick(box.get(), Qt::Key_Down);
    QCOMPARE(box->cursorPosition(), 5007);
    QTest::keyClick(box.get(), Qt::Key_Up);
    QCOMPARE(box->cursorPosition(), 5000);
    QVERIFY(!box->horizontalScrollBar()->isVisible());

    box->setCursorPosition(4990); // a line break typed into the long line ends it there
    QTest::keyClick(box.get(), Qt::Key_Return);
    box->setCursorPosition(0);
    QTest::keyClick(box.get(), Qt::Key_Down);
    QCOMPARE(box->cursorPosition(), 4992);
}

void PlainTextBoxTest::lineBreaksAndNul_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("CR LF") << QStringLiteral("one\r\ntwo\r\n") << 3;
    QTest::newRow("lone CR and LF") << QStringLiteral("\rone\ntwo\r") << 4;
    QTest::newRow("CR LF after a lone CR") << QStringLiteral("a\r\r\nb\n\r") << 5;
    QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("\r\n") + QChar(0) << 2;
}

// Read back exactly; each break starts a line; the caret never rests inside a CR LF.
void PlainTextBoxTest::lineBreaksAndNul() {
    QFETCH(QString, text);
    QFETCH(int, lines);
    const auto box = makeBox(text);
    QCOMPARE(box->toPlainText(), text);
    QCOMPARE(box->length(), text.size());
    const QList<qsizetype> starts = rowStarts(*box, lines + 1);
    QCOMPARE(starts.back(), text.size()); // Down on the last line goes to the end
    const auto insidePair = [&](qsizetype at) {
        return at > 0 && at < text.size() && text[at - 1] == u'\r' && text[at] == u'\n';
    };
    for (qsizetype start : starts.first(lines))
        QVERIFY(start == 0 || text[start - 1] == u'\r' || text[start - 1] == u'\n');
    box->setCursorPosition(0);
    for (qsizetype at = 0; at < text.size(); at = box->cursorPosition()) {
        QTest::keyClick(box.get(), Qt::Key_Right);
        QVERIFY(!insidePair(box->cursorPosition()));
    }
    for (qsizetype at = 0; at <= text.size(); ++at) {
        box->setCursorPosition(at);
        QVERIFY(!insidePair(box->cursorPosition()));
    }
}

void PlainTextBoxTest::otherWidthsStayInside_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("CJK") << repeated(QStringLiteral("\u4E2D\u6587"), 100);
    QTest::newRow("emoji") << repeated(QStringLiteral("\U0001F600\U0001F35E"), 100);
    QTest::newRow("combining marks") << repeated(QStringLiteral("e\u0301a\u030A\u0301"), 100);
    QTest::newRow("marks with no base") << QString(300, QChar(0x0301));
    QTest::newRow("tabs and controls")
        << repeated(QStringLiteral("a\tb") + QChar(0) + QChar(0x1B) + QChar(0x85), 60);
    QTest::newRow("right to left") << repeated(QStringLiteral("\u05E9\u05DC\u05D5\u05DD "), 60);
    QTest::newRow("joined letters with nowhere to wrap") << repeated(QStringLiteral("مرحبا"), 100);
    QTest::newRow("conjuncts") << repeated(QStringLiteral("क्षत्रिय नमस्ते "), 40);
    QTest::newRow("tabs in a line that reads from the right")
        << repeated(QStringLiteral("שלום\t文ab\t"), 30);
    QTest::newRow("zero-width characters and U+FEFF")
        << repeated(QStringLiteral("a\u200B\u200C\u200D\u2060\uFEFF b"), 60);
}

// Nothing is drawn in the right margin, and every caret position is a character boundary that
// Left and Right agree on.
void PlainTextBoxTest::otherWidthsStayInside() {
    QFETCH(QString, text);
    const auto box = makeBox(text);
    const QImage image = box->viewport()->grab().toImage();
    const QRgb base = box->palette().color(QPalette::Base).rgb();
    for (int x = image.width() - 3; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            QCOMPARE(image.pixel(x, y), base);

    // Onwards is Right, or in a line that reads from the right, Left.
    const Qt::Key onwards = text.isRightToLeft() ? Qt::Key_Left : Qt::Key_Right;
    const Qt::Key back = text.isRightToLeft() ? Qt::Key_Right : Qt::Key_Left;
    QList<qsizetype> rightward{0};
    box->setCursorPosition(0);
    while (rightward.back() < text.size()) {
        QTest::keyClick(box.get(), onwards);
        const qsizetype at = box->cursorPosition();
        QVERIFY(at > rightward.back());
        QVERIFY(!(text[at - 1].isHighSurrogate() && at < text.size() && text[at].isLowSurrogate()));
        rightward << at;
    }
    QList<qsizetype> leftward{text.size()};
    while (leftward.front() > 0) {
        QTest::keyClick(box.get(), back);
        leftward.prepend(box->cursorPosition());
    }
    QCOMPARE(leftward, rightward);
}

// Each line drawn and edited as a QPlainTextEdit of the same font draws and edits it: the same
// ink (within a pixel), the caret at the same x at every caret position, a click at every x
// giving the same position, and a selection of each character painted in the same places.
void PlainTextBoxTest::drawnAsTheToolkitDrawsIt_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("Latin") << QStringLiteral("The bakery opens at six");
    QTest::newRow("accented Latin") << QStringLiteral("Caf\u00E9 cr\u00E8me et p\u00E2tisseries");
    QTest::newRow("Cyrillic") << QStringLiteral("Свежий хлеб каждое утро");
    QTest::newRow("Greek") << QStringLiteral("Φρέσκο ψωμί κάθε πρωί");
    QTest::newRow("CJK") << QStringLiteral("新鮮なパンを毎朝 신선한 빵");
    QTest::newRow("Thai") << QStringLiteral("ขนมปังสดใหม่ทุกเช้า");
    QTest::newRow("Hebrew") << QStringLiteral("שלום");
    QTest::newRow("a Hebrew word in Latin") << QStringLiteral("Hello עולם world");
    QTest::newRow("Latin in Hebrew") << QStringLiteral("שלום abc ד");
    QTest::newRow("Arabic") << QStringLiteral("مرحبا بالعالم");
    QTest::newRow("Arabic after Latin, a number after it")
        << QStringLiteral("title: مرحبا بالعالم 2026");
    QTest::newRow("Arabic in a title tag") << QStringLiteral("<title>مرحبا</title>");
    QTest::newRow("Persian") << QStringLiteral("سلام دنیا");
    QTest::newRow("Urdu") << QStringLiteral("اردو زبان");
    QTest::newRow("Devanagari") << QStringLiteral("क्षत्रिय नमस्ते दुनिया");
    QTest::newRow("Bengali") << QStringLiteral("বাংলা ভাষা");
    QTest::newRow("Tamil") << QStringLiteral("தமிழ் மொழி");
    QTest::newRow("Khmer") << QStringLiteral("ភាសាខ្មែរ");
    QTest::newRow("Myanmar") << QStringLiteral("မြန်မာစာ");
    QTest::newRow("Hangul jamo") << QStringLiteral("\u1112\u1161\u11AB\u1100\u1173\u11AF");
    QTest::newRow("an emoji family")
        << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    QTest::newRow("flags") << QStringLiteral("\U0001F1E9\U0001F1EA \U0001F1EF\U0001F1F5");
    QTest::newRow("a skin tone") << QStringLiteral("\U0001F44D\U0001F3FD ok");
    QTest::newRow("variation selectors") << QStringLiteral("\u2764\uFE0F \u263A\uFE0F");
}

void PlainTextBoxTest::drawnAsTheToolkitDrawsIt() {
    QFETCH(QString, text);
    const auto box = makeBox(text, BesideTheToolkit);
    const auto edit = toolkitBeside(*box, text);
    QWidget* view = box->viewport();
    QWidget* reference = edit->viewport();
    QCOMPARE(view->size(), reference->size());
    QStringList problems;

    const Ink ink = inkOf(view), toolkitInk = inkOf(reference);
    const QRect drawn = ink.bounds(), toolkitDrawn = toolkitInk.bounds();
    if (qAbs(drawn.left() - toolkitDrawn.left()) > 1 ||
        qAbs(drawn.right() - toolkitDrawn.right()) > 1)
        problems << QStringLiteral("ink from x %1 to %2, the toolkit's from %3 to %4")
                        .arg(drawn.left())
                        .arg(drawn.right())
                        .arg(toolkitDrawn.left())
                        .arg(toolkitDrawn.right());
    const int dy = toolkitDrawn.top() - drawn.top();
    const int unlike = unmatched(ink, toolkitInk, dy) + unmatched(toolkitInk, ink, -dy);
    if (unlike > 0)
        problems << QStringLiteral("%1 pixels of ink unlike the toolkit's").arg(unlike);

    // The caret at each caret position of the box, found by the key that goes on from the
    // start: Right, or in a line that reads from the right, Left.
    box->setCursorPosition(0);
    QTest::keyClick(box.get(), Qt::Key_Right);
    const Qt::Key onwards = box->cursorPosition() > 0 ? Qt::Key_Right : Qt::Key_Left;
    QList<int> carets{0};
    for (box->setCursorPosition(0); carets.back() < text.size();) {
        QTest::keyClick(box.get(), onwards);
        if (box->cursorPosition() <= carets.back())
            break;
        carets << static_cast<int>(box->cursorPosition());
    }
    QStringList caretsApart;
    for (int at : carets) {
        box->setCursorPosition(at);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(at);
        edit->setTextCursor(cursor);
        const int x =
            static_cast<QWidget*>(box.get())->inputMethodQuery(Qt::ImCursorRectangle).toRect().x() -
            view->x();
        const int toolkitX = edit->cursorRect().x();
        if (qAbs(x - toolkitX) > 1)
            caretsApart << QStringLiteral("%1: %2 against %3").arg(at).arg(x).arg(toolkitX);
    }
    if (!caretsApart.isEmpty())
        problems << QStringLiteral("the caret stands elsewhere at %1 of %2 positions (%3)")
                        .arg(caretsApart.size())
                        .arg(carets.size())
                        .arg(caretsApart.join(QStringLiteral(", ")));

    const int y = 4 + QFontMetrics(box->font()).height() / 2;
    QStringList clicksApart;
    for (int x = 0; x < view->width(); ++x) {
        QTest::mouseClick(view, Qt::LeftButton, {}, {x, y});
        QTest::mouseClick(reference, Qt::LeftButton, {}, {x, y});
        if (box->cursorPosition() != edit->textCursor().position())
            clicksApart << QStringLiteral("x %1: %2 against %3")
                               .arg(x)
                               .arg(box->cursorPosition())
                               .arg(edit->textCursor().position());
    }
    if (!clicksApart.isEmpty())
        problems << QStringLiteral("a click gives another position at %1 of %2 points (%3)")
                        .arg(clicksApart.size())
                        .arg(view->width())
                        .arg(clicksApart.mid(0, 4).join(QStringLiteral(", ")));

    // Each character selected alone, and all of them; selected text is drawn in the colour of
    // the selection, so that glyphs taller than the row hide none of it.
    for (QWidget* widget : {static_cast<QWidget*>(box.get()), static_cast<QWidget*>(edit.get())}) {
        QPalette palette = widget->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::HighlightedText,
                             palette.color(group, QPalette::Highlight));
        widget->setPalette(palette);
    }
    QList<QPair<int, int>> selections;
    for (qsizetype i = 0; i + 1 < carets.size(); ++i)
        selections.append({carets[i], carets[i + 1]});
    selections.append({0, static_cast<int>(text.size())});
    QStringList paintedApart;
    for (const auto& [from, to] : selections) {
        accessibleText(*box)->setSelection(0, from, to);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
        const auto spans = highlighted(view), toolkitSpans = highlighted(reference);
        if (!within1px(spans, toolkitSpans))
            paintedApart << QStringLiteral("[%1, %2) at %3 against %4")
                                .arg(from)
                                .arg(to)
                                .arg(spansText(spans), spansText(toolkitSpans));
    }
    if (!paintedApart.isEmpty())
        problems << QStringLiteral("a selection is painted elsewhere for %1 of %2 (%3)")
                        .arg(paintedApart.size())
                        .arg(selections.size())
                        .arg(paintedApart.mid(0, 3).join(QStringLiteral(", ")));
    // A screen reader reads the line in its own order, whatever order it is drawn in.
    if (accessibleText(*box)->text(0, -1) != text)
        problems
            << QStringLiteral("a screen reader reads %1").arg(accessibleText(*box)->text(0, -1));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

// Rows of a line that reads from the right, wrapped where QPlainTextEdit wraps them (after
// blanks), are drawn where it draws them: from the left, the blank where a row wraps at its
// left end taking no room.
void PlainTextBoxTest::wrappedRightToLeftAsTheToolkit() {
    const QString text = repeated(QStringLiteral("שלום עולם "), 12) + QStringLiteral("סוף");
    const auto box = makeBox(text, BesideTheToolkit + QSize(0, 60));
    const auto edit = toolkitBeside(*box, text);
    box->setLineWrapMode(PlainTextBox::WidgetWidth);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const Ink ink = inkOf(box->viewport()), toolkitInk = inkOf(edit->viewport());
    QCOMPARE(ink.bounds(), toolkitInk.bounds());
    QCOMPARE(unmatched(ink, toolkitInk, 0) + unmatched(toolkitInk, ink, 0), 0);
}

void PlainTextBoxTest::editing_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QVariantList>("keys");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("caret");
    const QVariant toEnd = key(QKeySequence::MoveToEndOfDocument);
    const QVariant undo = key(QKeySequence::Undo);
    QTest::newRow("type") << "page" << QVariantList{toEnd, "s!"} << false << "pages!" << 6;
    QTest::newRow("Backspace") << "abc" << QVariantList{toEnd, key("Backspace")} << false << "ab"
                               << 2;
    QTest::newRow("Backspace takes a CR LF whole")
        << "a\r\nb" << QVariantList{toEnd, key("Left"), key("Backspace")} << false << "ab" << 1;
    QTest::newRow("Delete takes a CR LF whole")
        << "a\r\nb" << QVariantList{key("Right"), key("Del")} << false << "ab" << 1;
    QTest::newRow("Delete takes a surrogate pair whole")
        << "x\U0001F600y" << QVariantList{key("Right"), key("Del")} << false << "xy" << 1;
    QTest::newRow("a selection and typing")
        << "one two" << QVariantList{toEnd, key(QKeySequence::SelectPreviousWord), "2"} << false
        << "one 2" << 5;
    QTest::newRow("select all and type")
        << "old\r\ntext" << QVariantList{key(QKeySequence::SelectAll), "new"} << false << "new"
        << 3;
    QTest::newRow("Enter types CR LF")
        << "ab" << QVariantList{key("Right"), key("Return")} << false << "a\r\nb" << 3;
    QTest::newRow("a word back") << "one two"
                                 << QVariantList{toEnd, key(QKeySequence::DeleteStartOfWord)}
                                 << false << "one " << 4;
    const QVariant wordBack = key(QKeySequence::DeleteStartOfWord);
    const QVariant wordOn = key(QKeySequence::DeleteEndOfWord);
    QTest::newRow("a word back stops at a line break, and takes one line break at a time")
        << "foo\n\n\n  " << QVariantList{toEnd, wordBack, wordBack, wordBack} << false << "foo\n"
        << 4;
    QTest::newRow("a word back takes a CR LF whole")
        << "foo\r\n\r\nbar" << QVariantList{toEnd, key("Ctrl+Left"), wordBack, wordBack} << false
        << "foobar" << 3;
    QTest::newRow("a word on stops at a line break, and takes one line break at a time")
        << "foo  \n\n\nbar"
        << QVariantList{key("Right"), key("Right"), key("Right"), wordOn, wordOn} << false
        << "foo\n\nbar" << 3;
    // The row above the top row is "ab ", the word that did not fit after it now does; the
    // view must show that row once, not the row's middle as a row of its own.
    const int n = wideColumns_;
    const QString wordAfterAb = QStringLiteral("ab ") + QString(n - 2, QLatin1Char('x'));
    QTest::newRow("an edit far into the top row re-wraps the row above it")
        << wordAfterAb + "\r\nend" << QVariantList{int(QAbstractSlider::SliderSingleStepAdd),
                                                   key("Down"),
                                                   key("End"),
                                                   key("Left"),
                                                   key(QKeySequence::SelectEndOfDocument),
                                                   key("Backspace")}
        << false << wordAfterAb.chopped(1) << n;
    QTest::newRow("undo far into the top row re-wraps the row above it")
        << QStringLiteral("ab ") + QString(n - 3, QLatin1Char('x')) + "\r\nend"
        << QVariantList{key("Right"), key("Right"), key("Right"),
                        key("End"),   "x",          int(QAbstractSlider::SliderSingleStepAdd),
                        undo}
        << false << QStringLiteral("ab ") + QString(n - 3, QLatin1Char('x')) + "\r\nend" << n;
    // A line of over 4096 characters keeps a row start in 16, found by Ctrl+End: row 16 starts
    // a word after "ab ". A Backspace at the word's end lets the word join "ab ": Home goes to
    // the row's new start.
    const QString word = QString(n - 2, QLatin1Char('x')) + QLatin1Char(' ');
    const QString longLine = word + repeated(QStringLiteral("ab ") + word, 4200 / n);
    QVariantList toRow16{toEnd, key(QKeySequence::MoveToStartOfDocument)};
    for (int row = 0; row < 16; ++row)
        toRow16 << key("Down");
    const int row16 = 8 * (n + 2);
    QTest::newRow("a long line's kept row starts re-wrap after an edit")
        << longLine << toRow16 + QVariantList{key("End"), key("Backspace"), key("Home")} << false
        << QString(longLine).remove(row16 + n - 3, 1) << row16 - 3;
    QTest::newRow("Left ends a selection at its start")
        << "abcd" << QVariantList{toEnd, key("Shift+Left"), key("Shift+Left"), key("Left"), "x"}
        << false << "abxcd" << 3;
    QTest::newRow("undo takes back a typing run")
        << "x" << QVariantList{toEnd, "abc", key("Return"), undo} << false << "x" << 1;
    QTest::newRow("redo") << "x" << QVariantList{toEnd, "abc", undo, key(QKeySequence::Redo)}
                          << false << "xabc" << 4;
    QTest::newRow("undo a Backspace")
        << "abc" << QVariantList{toEnd, key("Backspace"), undo} << false << "abc" << 3;
    QTest::newRow("typing after a move is another step")
        << "ab" << QVariantList{toEnd, "c", key("Home"), "d", undo} << false << "abc" << 0;
    QTest::newRow("read only: the caret moves, nothing changes")
        << "abc"
        << QVariantList{toEnd,
                        "x",
                        key("Backspace"),
                        key("Shift+Left"),
                        key("Del"),
                        key(QKeySequence::Cut),
                        key(QKeySequence::Paste),
                        key("Return")}
        << true << "abc" << 2;
}

void PlainTextBoxTest::editing() {
    QFETCH(QString, start);
    QFETCH(QVariantList, keys);
    QFETCH(bool, readOnly);
    QFETCH(QString, end);
    QFETCH(int, caret);
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    const auto box = makeBox(start, Wide);
    box->setReadOnly(readOnly);
    QSignalSpy changes(box.get(), &PlainTextBox::textChanged);
    press(*box, keys);
    QCOMPARE(box->toPlainText(), end);
    QCOMPARE(box->cursorPosition(), caret);
    QCOMPARE(changes.isEmpty(), readOnly);
    // The rows on screen are those of a box that shows the same text from the same row.
    const auto fresh = makeBox(end, Wide);
    fresh->verticalScrollBar()->setValue(topRowStart(*box));
    QCOMPARE(rowsOnScreen(*box), rowsOnScreen(*fresh));
    box->setPlainText(start); // and a set clears the history
    QTest::keySequence(box.get(), QKeySequence::Undo);
    QCOMPARE(box->toPlainText(), start);
}

void PlainTextBoxTest::clipboard() {
    const QString text = QStringLiteral("one\rtwo\r\nthree") + QChar(0);
    const auto box = makeBox(text);
    QClipboard* clipboard = QGuiApplication::clipboard();
    QTest::keySequence(box.get(), QKeySequence::SelectAll);
    QTest::keySequence(box.get(), QKeySequence::Copy);
    QCOMPARE(clipboard->text(), text);
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    QTest::keySequence(box.get(), QKeySequence::Paste);
    QCOMPARE(box->toPlainText(), text + text);
    QCOMPARE(box->cursorPosition(), 2 * text.size());

    QTest::keySequence(box.get(), QKeySequence::SelectStartOfLine);
    QCOMPARE(box->selectedText(), QStringLiteral("three") + QChar(0));
    QTest::keySequence(box.get(), QKeySequence::Cut);
    QCOMPARE(clipboard->text(), QStringLiteral("three") + QChar(0));
    QCOMPARE(box->toPlainText(), text + QStringLiteral("one\rtwo\r\n"));
}

void PlainTextBoxTest::copyIsTheSelectionAsItWas_data() {
    QTest::addColumn<QByteArray>("page"); // UTF-8, or
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pasted"); // at the start, before the copy
    QTest::addColumn<QString>("copied");
    QTest::newRow("a page's bytes")
        << QByteArray("caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C\xF0\x9F\x98\x80!\r\n") << QString()
        << QString() << QStringLiteral("café € “\U0001F600!\r\n");
    QTest::newRow("a pair and a mark") << QByteArray() << QStringLiteral("x\U0001F600e\u0301\u4E2D")
                                       << QString() << QStringLiteral("x\U0001F600e\u0301\u4E2D");
    QTest::newRow("across a paste")
        << QByteArray("page") << QString() << QStringLiteral("\u00E9\u4E2D")
        << QStringLiteral("\u00E9\u4E2Dpage");
    QTest::newRow("a pair cut in two")
        << QByteArray() << "x" + QStringLiteral("\U0001F600").repeated(40'000) << QString()
        << "x" + QStringLiteral("\U0001F600").repeated(40'000);
}

// What another program is given, as text or as UTF-8, is the selection at the copy, whatever
// the box does after it.
void PlainTextBoxTest::copyIsTheSelectionAsItWas() {
    QFETCH(QByteArray, page);
    QFETCH(QString, text);
    QFETCH(QString, pasted);
    QFETCH(QString, copied);
    const auto box = makeBox(text);
    if (!page.isEmpty())
        box->setUtf8Text(std::make_shared<const std::string>(page.toStdString()));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(pasted);
    if (!pasted.isEmpty())
        QTest::keySequence(box.get(), QKeySequence::Paste);
    QTest::keySequence(box.get(), QKeySequence::SelectAll);
    QTest::keySequence(box.get(), QKeySequence::Copy);
    QTest::keyClick(box.get(), Qt::Key_Delete);
    QTest::keyClicks(box.get(), QStringLiteral("later"));
    QCOMPARE(clipboard->text(), copied);
    for (const char* type : {"text/plain", "text/plain;charset=utf-8"}) {
        QVERIFY(clipboard->mimeData()->hasFormat(type));
        QCOMPARE(clipboard->mimeData()->data(type), copied.toUtf8());
    }
}

void PlainTextBoxTest::mouseSelects() {
    QString text;
    for (int line = 0; line < 100; ++line)
        text += QStringLiteral("word%1 more\r\n").arg(line, 2, 10, QLatin1Char('0'));
    const auto box = makeBox(text);
    QWidget* viewport = box->viewport();
    const auto leftOf = [&](int position) {
        const QRect character = accessibleText(*box)->characterRect(position);
        return viewport->mapFromGlobal(character.topLeft()) + QPoint(1, character.height() / 2);
    };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, leftOf(2));
    QCOMPARE(box->cursorPosition(), 2);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, leftOf(16));
    QCOMPARE(box->selectedText(), QStringLiteral("rd00 more\r\nwor"));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, leftOf(15));
    QCOMPARE(box->selectedText(), QStringLiteral("word01"));

    // Dragging below the box scrolls it and the selection follows.
    QTest::mousePress(viewport, Qt::LeftButton, {}, leftOf(0));
    QTest::mouseMove(viewport, QPoint(5, viewport->height() + 10));
    QTRY_VERIFY(topRowStart(*box) > 13 * 3);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, viewport->height() + 10));
    QVERIFY(box->cursorPosition() > topRowStart(*box));
    QVERIFY(box->selectedText().startsWith(QStringLiteral("word00 more\r\nword01")));
}

void PlainTextBoxTest::contextMenu() {
    const auto enabled = [](PlainTextBox& box) {
        const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        QStringList names;
        for (const QAction* action : menu->actions())
            if (action->isEnabled() && !action->isSeparator())
                names << action->text().section(QLatin1Char('\t'), 0, 0).remove(u'&');
        return names;
    };
    QGuiApplication::clipboard()->clear();
    const auto box = makeBox(QStringLiteral("text"));
    QCOMPARE(enabled(*box), QStringList{QStringLiteral("Select All")});
    QTest::keyClick(box.get(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(enabled(*box), (QStringList{"Cut", "Copy", "Delete", "Select All"}));
    QTest::keySequence(box.get(), QKeySequence::Cut);
    QCOMPARE(enabled(*box), (QStringList{"Undo", "Paste", "Select All"}));
    box->setReadOnly(true);
    QTest::keySequence(box.get(), QKeySequence::SelectAll);
    QCOMPARE(enabled(*box), (QStringList{"Copy", "Select All"}));
}

void PlainTextBoxTest::scrolling() {
    QString text;
    for (int line = 0; line < 200; ++line)
        text += QStringLiteral("line %1\r\n").arg(line, 3, 10, QLatin1Char('0')); // ten each
    text += QStringLiteral("last");
    const auto box = makeBox(text);
    const int lineHeight = accessibleText(*box)->characterRect(10).top() -
                           accessibleText(*box)->characterRect(0).top();
    const int rows = (box->viewport()->height() - 8) / lineHeight; // whole rows on screen

    QWheelEvent wheel(QPointF(5, 5), box->viewport()->mapToGlobal(QPointF(5, 5)), {},
                      {0, -QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(box->viewport(), &wheel);
    QCOMPARE(topRowStart(*box), 10 * QApplication::wheelScrollLines());

    box->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(topRowStart(*box), 10 * (QApplication::wheelScrollLines() - 1));

    box->setCursorPosition(0);
    QTest::keyClick(box.get(), Qt::Key_PageDown);
    QCOMPARE(box->cursorPosition(), 10 * (rows - 1));
    QCOMPARE(topRowStart(*box), 10 * (rows - 1));

    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    const int bottomRowY = 4 + (rows - 1) * lineHeight + lineHeight / 2;
    QCOMPARE(positionAtY(*box, bottomRowY), text.size() - 4); // the last line at the bottom
    QCOMPARE(topRowStart(*box), 10 * (201 - rows));
    QCOMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());

    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 2);
    QCOMPARE(topRowStart(*box) % 10, 0);
    QVERIFY(qAbs(topRowStart(*box) - text.size() / 2) <= 10);
}

// Dragging the scroll bar into a line of ten million characters lays out only the rows there:
// whole rows around where it lands, the same rows as the caret moved there finds, and after a
// resize whole rows again, near where the view was.
void PlainTextBoxTest::scrollBarInTheMiddleOfALongLine() {
    const QString line(10'000'000, QLatin1Char('<'));
    const auto box = makeBox(line);
    QScrollBar* bar = box->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(bar->maximum() / 2);
    bar->setSliderDown(false);
    const int top = topRowStart(*box);
    QVERIFY(qAbs(top - 5'000'000) <= columns_);
    box->setCursorPosition(top);
    QTest::keyClick(box.get(), Qt::Key_Up);
    QCOMPARE(box->cursorPosition(), top - columns_);
    QCOMPARE(topRowStart(*box), top - columns_);
    QTest::keyClick(box.get(), Qt::Key_Down);
    QTest::keyClick(box.get(), Qt::Key_Down);
    QCOMPARE(box->cursorPosition(), top + columns_);

    const auto caretThere = makeBox(line);
    caretThere->setCursorPosition(top + 3);
    QTest::keyClick(caretThere.get(), Qt::Key_Home);
    QCOMPARE(caretThere->cursorPosition(), top);

    const int cell = accessibleText(*box)->characterRect(top).width();
    const int widthBefore = box->viewport()->width();
    box->resize(box->width() + 3 * cell, box->height());
    QTRY_COMPARE(box->viewport()->width(), widthBefore + 3 * cell);
    const int resizedTop = topRowStart(*box);
    box->setCursorPosition(resizedTop);
    QTest::keyClick(box.get(), Qt::Key_Down);
    const int wider = static_cast<int>(box->cursorPosition()) - resizedTop;
    QVERIFY(wider > columns_);
    QVERIFY(qAbs(resizedTop - (top - columns_)) <= wider);
    QTest::keyClick(box.get(), Qt::Key_Down);
    QCOMPARE(box->cursorPosition(), resizedTop + 2 * wider);
    box->resize(box->width() - 3 * cell, box->height());

    // A tab there ends its row (eight cells, then a run with no place to wrap), which moves
    // every later row start on by one; the row starts kept from before the edit, here up to
    // the end, must not be used past it.
    const qsizetype edited = box->cursorPosition();
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    box->setCursorPosition(edited);
    QInputMethodEvent commit; // as an input method types it
    commit.setCommitString(QStringLiteral("\t"));
    QApplication::sendEvent(box.get(), &commit);
    QCOMPARE(box->length(), 10'000'001);
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    // A box that lays the edited line out afresh says where its last row starts.
    const auto fresh = makeBox(box->toPlainText());
    QTest::keySequence(fresh.get(), QKeySequence::MoveToEndOfDocument);
    QCOMPARE(lastRowStart(*box), lastRowStart(*fresh));
}

void PlainTextBoxTest::rowsUpFromTheEndOfALongLine_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("no place to wrap") << QString(50'000, QLatin1Char('<'));
    QTest::newRow("words") << QStringLiteral("bread rye ").repeated(5'000);
}

// The rows of a long line found upwards from its end, past where they were first laid out,
// follow on from one another: no character on two rows or on none, none wider than the box,
// and at most one row cut short where two layouts meet.
void PlainTextBoxTest::rowsUpFromTheEndOfALongLine() {
    QFETCH(QString, line);
    const auto box = makeBox(line);
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    QTest::keyClick(box.get(), Qt::Key_Home);
    qsizetype start = box->cursorPosition();
    int shortRows = 0;
    for (int row = 0; row < 600; ++row) {
        QTest::keyClick(box.get(), Qt::Key_Up);
        const qsizetype above = box->cursorPosition();
        QVERIFY2(above < start && start - above <= columns_ + 1, // and a blank hanging
                 qPrintable(QString::number(start - above)));
        QTest::keyClick(box.get(), Qt::Key_Down);
        QCOMPARE(box->cursorPosition(), start);
        QTest::keyClick(box.get(), Qt::Key_Up);
        shortRows += start - above < columns_ - 10;
        start = above;
    }
    QVERIFY(shortRows <= 1);
}

void PlainTextBoxTest::rowsDependOnTheTextAlone_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("font"); // a face at 10 points, or the box's own
    QTest::addColumn<QVariantList>("keys");
    const QVariant toEnd = key(QKeySequence::MoveToEndOfDocument);
    const QVariant toStart = key(QKeySequence::MoveToStartOfDocument);
    QVariantList pagesDown;
    for (int page = 0; page < 30; ++page)
        pagesDown << key(QKeySequence::MoveToNextPage);
    // Words of one to nine letters, then CJK, with no blank to wrap at.
    QString line;
    for (unsigned random = 1; line.size() < 20'000;) {
        random = random * 1103515245 + 12345;
        line += QString(1 + (random >> 16) % 9, QChar(u'a' + (random >> 8) % 26)) + u' ';
    }
    for (int i = 0; i < 200'000; ++i)
        line += QChar(0x4E00 + i % 0x5000);
    QTest::newRow("an edit before a far visit's place")
        << line << MultiLine << QString()
        << QVariantList{toEnd, toStart} + pagesDown + QVariantList{qsizetype(1000), "xyz", toEnd};
    const QString zeroWidth(QChar(0x200B));
    QTest::newRow("a row before a far visit's place, laid out again")
        << zeroWidth.repeated(4095) + "w " + zeroWidth.repeated(2640) + QString(300, u'x')
        << QSize(62, 100) << QStringLiteral("DejaVu Sans")
        << QVariantList{toEnd, toStart, int(QAbstractSlider::SliderSingleStepAdd)};
    QTest::newRow("a screen of more than 42,000 characters")
        << (zeroWidth.repeated(5'000) + "w a").repeated(60) << QSize(500, 400) << QString()
        << QVariantList{QPoint(5, 380), key("Home")};
}

// A visit far into a long line lands on the rows that a box showing the same text afresh
// shows from the same top row, whatever the box laid out before: the rows on screen, each row
// as found alone, and the row of the caret, which Home and End find.
void PlainTextBoxTest::rowsDependOnTheTextAlone() {
    QFETCH(QString, text);
    QFETCH(QSize, size);
    QFETCH(QString, font);
    QFETCH(QVariantList, keys);
    const auto withFont = [&](const QString& shown) {
        auto box = makeBox(shown, size);
        if (!font.isEmpty())
            box->setFont(QFont(font, 10));
        return box;
    };
    const auto box = withFont(text);
    press(*box, keys);
    const auto fresh = withFont(box->toPlainText());
    fresh->verticalScrollBar()->setValue(topRowStart(*box));
    QCOMPARE(topRowStart(*fresh), topRowStart(*box));
    const QList<QPair<int, int>> rows = rowsOnScreen(*box);
    QCOMPARE(rows, rowsOnScreen(*fresh));
    const auto caretRow = [](PlainTextBox& shown, qsizetype caret) {
        shown.setCursorPosition(caret);
        QTest::keyClick(&shown, Qt::Key_Home);
        const int start = static_cast<int>(shown.cursorPosition());
        QTest::keyClick(&shown, Qt::Key_End);
        return qMakePair(start, static_cast<int>(shown.cursorPosition()));
    };
    // Each row as a box one row high that shows the text afresh finds it: such a box lays out
    // no row past it, so no row start that it kept from further on decides it.
    for (const QPair<int, int>& row : rows) {
        PlainTextBox oneRow;
        oneRow.setFont(box->font());
        oneRow.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        oneRow.resize(size.width(), 25);
        oneRow.show();
        oneRow.setPlainText(box->toPlainText());
        QCOMPARE(oneRow.viewport()->width(), box->viewport()->width());
        QCOMPARE(caretRow(oneRow, row.first), row);
    }
    const qsizetype caret = box->cursorPosition();
    for (const QPair<int, int>& row : rows)
        if (row.first <= caret && caret < row.second)
            QCOMPARE(caretRow(*box, caret), row);
    QCOMPARE(caretRow(*box, caret), caretRow(*fresh, caret));
}

void PlainTextBoxTest::leftStopsWhereRightDoes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stops"); // the caret positions, both ends included
    QTest::newRow("a letter with 2000 marks") << "a" + QString(2000, QChar(0x308)) + "b" << 65;
    QTest::newRow("a letter with 100 marks, the run's clusters ending at multiples of 32")
        << "xyza" + QString(100, QChar(0x308)) + "b" << 9;
    QTest::newRow("marks after a tab, a line break and a control character")
        << QStringLiteral("\t\u0301\u0301\n\u0301\x01\u0301e\u0301") << 8;
    QTest::newRow("a CR LF, pairs, and marks outside the first plane")
        << QStringLiteral("x\r\n\U0001F600\U0001D167\U0001D167y") << 5;
}

// Left stops at the places Right stops at, however long a run of combining marks.
void PlainTextBoxTest::leftStopsWhereRightDoes() {
    QFETCH(QString, text);
    QFETCH(int, stops);
    const auto box = makeBox(text);
    QList<qsizetype> right{0};
    while (right.back() < text.size()) {
        QTest::keyClick(box.get(), Qt::Key_Right);
        right << box->cursorPosition();
    }
    QList<qsizetype> left{text.size()};
    while (left.front() > 0) {
        QTest::keyClick(box.get(), Qt::Key_Left);
        left.prepend(box->cursorPosition());
    }
    QCOMPARE(left, right);
    QCOMPARE(right.size(), stops);
}

void PlainTextBoxTest::textsFarLargerThanTheScreen_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("20 MB on one line") << 0;
    QTest::newRow("2 million empty lines") << 1;
}

void PlainTextBoxTest::textsFarLargerThanTheScreen() {
    QFETCH(int, kind);
    std::string page;
    if (kind == 0)
        while (page.size() < 20'000'000)
            page += "<p class=\"x\">bread</p> ";
    else
        for (int line = 0; line < 2'000'000; ++line)
            page += "\r\n";
    const auto size = static_cast<qsizetype>(page.size());
    const auto box = makeBox({});
    box->setUtf8Text(std::make_shared<const std::string>(std::move(page)));
    QAccessibleTextInterface* text = accessibleText(*box);
    box->viewport()->grab();
    QTest::keyClicks(box.get(), QStringLiteral("ab"));
    QCOMPARE(text->text(0, 4), kind == 0 ? QStringLiteral("ab<p") : QStringLiteral("ab\r\n"));
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    QTest::keyClicks(box.get(), QStringLiteral("z"));
    QCOMPARE(box->length(), size + 3);
    QCOMPARE(box->cursorPosition(), size + 3);
    QCOMPARE(text->text(static_cast<int>(size), static_cast<int>(size + 3)),
             kind == 0 ? QStringLiteral("> z") : QStringLiteral("\r\nz"));
    box->viewport()->grab();
    const int last = positionAtY(*box, box->viewport()->height() - 8);
    QTest::keyClick(box.get(), Qt::Key_PageUp);
    QVERIFY(box->cursorPosition() < size);
    QVERIFY(topRowStart(*box) < last);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 2);
    const int top = topRowStart(*box);
    QVERIFY(qAbs(top - size / 2) < 1000);
    QCOMPARE(text->text(top - 1, top), kind == 0 ? QStringLiteral(" ") : QStringLiteral("\n"));
}

void PlainTextBoxTest::answersScreenReaders() {
    const auto box = makeBox(QStringLiteral("one two\r\nthree"));
    box->setFocus();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box.get());
    QCOMPARE(accessible->role(), QAccessible::EditableText);
    QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("one two\r\nthree"));
    QVERIFY(accessible->state().editable && accessible->state().multiLine &&
            accessible->state().focusable && !accessible->state().readOnly);
    QAccessibleTextInterface* text = accessible->textInterface();
    QCOMPARE(text->characterCount(), 14);
    QCOMPARE(text->text(4, 9), QStringLiteral("two\r\n"));
    text->setSelection(0, 4, 7);
    QCOMPARE(box->selectedText(), QStringLiteral("two"));
    QCOMPARE(text->cursorPosition(), 7);
    int start = 0, end = 0;
    QCOMPARE(text->textAtOffset(7, QAccessible::CharBoundary, &start, &end),
             QStringLiteral("\r\n"));
    QCOMPARE(text->textAtOffset(5, QAccessible::WordBoundary, &start, &end), QStringLiteral("two"));
    QCOMPARE(text->textAtOffset(2, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("one two\r\n"));
    QCOMPARE(text->textAfterOffset(2, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("three"));
    QCOMPARE(start, 9);
    // A box read whole gives all of its text as the line at any offset, and keeps its words.
    box->setReadsWhole(true);
    for (int offset : {2, 12})
        QCOMPARE(text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end),
                 QStringLiteral("one two\r\nthree"));
    QCOMPARE(text->textAtOffset(5, QAccessible::WordBoundary, &start, &end), QStringLiteral("two"));
    box->setReadOnly(true);
    QVERIFY(accessible->state().readOnly && !accessible->state().editable);
    const auto oneLine = makeBox(QStringLiteral("x"), {300, 25});
    QVERIFY(!QAccessible::queryAccessibleInterface(oneLine.get())->state().multiLine);
}

void PlainTextBoxTest::scrollBarKeepsTheApplicationPalette() {
    const auto box = makeBox(QStringLiteral("blue"));
    QPalette blue = box->palette();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        blue.setColor(role, Qt::blue);
    box->setPalette(blue);
    const QImage drawn = box->viewport()->grab().toImage();
    bool textIsBlue = false;
    for (int y = 0; y < drawn.height() && !textIsBlue; ++y)
        for (int x = 0; x < drawn.width() && !textIsBlue; ++x)
            textIsBlue = drawn.pixelColor(x, y) == QColor(Qt::blue);
    QVERIFY(textIsBlue);
    for (QScrollBar* bar : {box->verticalScrollBar(), box->horizontalScrollBar()})
        QCOMPARE(bar->palette(), QApplication::palette(bar));
}

void PlainTextBoxTest::oneLineBoxShowsItsLineInTheMiddle() {
    const auto box = makeBox(QStringLiteral("value"), {300, 25});
    const QRect character = accessibleText(*box)->characterRect(0);
    const QRect viewport(box->viewport()->mapToGlobal(QPoint(0, 0)), box->viewport()->size());
    QVERIFY(qAbs(character.center().y() - viewport.center().y()) <= 1);
}

void PlainTextBoxTest::tabTypesOrMovesTheFocus() {
    QWidget window;
    auto* first = new PlainTextBox(&window);
    auto* second = new PlainTextBox(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Tab);
    QCOMPARE(first->toPlainText(), QStringLiteral("\t"));
    QVERIFY(first->hasFocus());
    first->setTabChangesFocus(true);
    QTest::keyClick(first, Qt::Key_Tab);
    QCOMPARE(first->toPlainText(), QStringLiteral("\t"));
    QVERIFY(second->hasFocus());
}

// A line of 10,000 characters, a short line and a last one without a line end: no answer to a
// screen reader is longer than the limit, and the units found tile the text without a gap.
void PlainTextBoxTest::screenReaderRequestsAreBounded_data() {
    QTest::addColumn<int>("boundary"); // -1: the text from `offset` to the end
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("whole"); // the box is read whole
    const int line = 10000;
    const int size = line + 2 + 12 + 3;
    QTest::newRow("the whole text") << -1 << 0 << 0 << Limit << false;
    QTest::newRow("the text from the middle") << -1 << 5000 << 5000 << 5000 + Limit << false;
    QTest::newRow("the text near the end") << -1 << size - 3 << size - 3 << size << false;
    QTest::newRow("no boundary") << int(QAccessible::NoBoundary) << 5000 << 0 << Limit << false;
    QTest::newRow("a long line, in the first stretch")
        << int(QAccessible::LineBoundary) << 5 << 0 << Limit << false;
    QTest::newRow("a long line, in the second stretch")
        << int(QAccessible::LineBoundary) << 5000 << Limit << 2 * Limit << false;
    QTest::newRow("a long line, its last part with its line end")
        << int(QAccessible::LineBoundary) << 9000 << 2 * Limit << line + 2 << false;
    QTest::newRow("a short line") << int(QAccessible::LineBoundary) << line + 5 << line + 2
                                  << line + 14 << false;
    QTest::newRow("the last line, at the end")
        << int(QAccessible::LineBoundary) << size << line + 14 << size << false;
    QTest::newRow("a paragraph is a line")
        << int(QAccessible::ParagraphBoundary) << line + 5 << line + 2 << line + 14 << false;
    QTest::newRow("a long word") << int(QAccessible::WordBoundary) << 5000 << Limit << 2 * Limit
                                 << false;
    QTest::newRow("a word") << int(QAccessible::WordBoundary) << line + 8 << line + 8 << line + 12
                            << false;
    QTest::newRow("the word at the end")
        << int(QAccessible::WordBoundary) << size << size - 3 << size << false;
    QTest::newRow("a long sentence")
        << int(QAccessible::SentenceBoundary) << 5000 << Limit << 2 * Limit << false;
    QTest::newRow("read whole, a line is the stretch of the text")
        << int(QAccessible::LineBoundary) << line + 5 << 2 * Limit << size << true;
    QTest::newRow("read whole, the first stretch")
        << int(QAccessible::LineBoundary) << 5 << 0 << Limit << true;
    QTest::newRow("a character") << int(QAccessible::CharBoundary) << 5000 << 5000 << 5001 << false;
}

void PlainTextBoxTest::screenReaderRequestsAreBounded() {
    QFETCH(int, boundary);
    QFETCH(int, offset);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, whole);
    const QString text = QString(10000, QLatin1Char('a')) + "\r\nshort line\r\nend";
    const auto box = makeBox(text);
    box->setReadsWhole(whole);
    QAccessibleTextInterface* accessible = accessibleText(*box);
    if (boundary < 0) {
        QCOMPARE(accessible->text(offset, -1), text.mid(start, end - start));
        return;
    }
    int foundStart = -1, foundEnd = -1;
    const QString found = accessible->textAtOffset(offset, QAccessible::TextBoundaryType(boundary),
                                                   &foundStart, &foundEnd);
    QCOMPARE(QList<int>({foundStart, foundEnd}), QList<int>({start, end}));
    QCOMPARE(found, text.mid(start, end - start));
    // The unit before the next one is this one: a screen reader that reads on meets no gap.
    if (end < text.size() && boundary != QAccessible::NoBoundary) {
        int nextStart = -1, nextEnd = -1;
        accessible->textAfterOffset(offset, QAccessible::TextBoundaryType(boundary), &nextStart,
                                    &nextEnd);
        QCOMPARE(nextStart, end);
    }
}

void PlainTextBoxTest::altWithAKeyTypesNothing_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("typed");
    QTest::newRow("r") << int(Qt::Key_R) << Qt::KeyboardModifiers() << "r"
                       << "r";
    QTest::newRow("Alt+R") << int(Qt::Key_R) << Qt::KeyboardModifiers(Qt::AltModifier) << "r"
                           << "";
    QTest::newRow("Alt+Shift+R") << int(Qt::Key_R)
                                 << Qt::KeyboardModifiers(Qt::AltModifier | Qt::ShiftModifier)
                                 << "R"
                                 << "";
    QTest::newRow("Alt+1") << int(Qt::Key_1) << Qt::KeyboardModifiers(Qt::AltModifier) << "1"
                           << "";
    // X reports AltGr as a switch of the key group; Windows as Ctrl with Alt.
    QTest::newRow("AltGr+Q on German keys, @")
        << int(Qt::Key_At) << Qt::KeyboardModifiers(Qt::GroupSwitchModifier) << "@"
        << "@";
    QTest::newRow("AltGr+8 on German keys, [")
        << int(Qt::Key_BracketLeft) << Qt::KeyboardModifiers(Qt::GroupSwitchModifier) << "["
        << "[";
    QTest::newRow("AltGr+E as Windows reports it, \u20AC")
        << int(Qt::Key_E) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
        << "\u20AC"
        << "\u20AC";
}

// Alt with a key is an access key or nothing, and is left to the window's shortcuts.
void PlainTextBoxTest::altWithAKeyTypesNothing() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, typed);
    const auto box = makeBox(QString());
    QKeyEvent override(QEvent::ShortcutOverride, key, modifiers, text);
    override.ignore();
    QApplication::sendEvent(box.get(), &override);
    if (typed.isEmpty())
        QVERIFY(!override.isAccepted());
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(box.get(), &press);
    QCOMPARE(box->toPlainText(), typed);
}

// A composition shows at the caret, underlined as the input method says, pushing the rest of
// the row on; the input method is told that its caret is where it put it.
void PlainTextBoxTest::compositionIsDrawnAtTheCaret() {
    const auto box = makeBox(QStringLiteral("xxxx yyyy"));
    box->setCursorPosition(5);
    const QRect cell = accessibleText(*box)->characterRect(5);
    const QPoint caret = box->viewport()->mapFromGlobal(cell.topLeft());
    const QImage before = box->viewport()->grab().toImage();

    QTextCharFormat underlined;
    underlined.setFontUnderline(true);
    QInputMethodEvent compose(
        QStringLiteral("abc"),
        {{QInputMethodEvent::TextFormat, 0, 3, underlined}, {QInputMethodEvent::Cursor, 1, 1, {}}});
    QApplication::sendEvent(box.get(), &compose);
    QCOMPARE(box->toPlainText(), QStringLiteral("xxxx yyyy"));
    const QImage after = box->viewport()->grab().toImage();
    const QFontMetricsF metrics(box->font());
    const qreal width = metrics.horizontalAdvance(QStringLiteral("abc"));

    // The row's last ink moved on by the composition's width.
    const int top = caret.y(), bottom = caret.y() + cell.height();
    QVERIFY(qAbs(lastInkColumn(after, top, bottom) - lastInkColumn(before, top, bottom) - width) <=
            2);
    // A line of ink under the composition, and none there before.
    const auto underline = [&](const QImage& image) {
        for (int y = top + cell.height() / 2; y < bottom; ++y) {
            int run = 0;
            for (int x = caret.x(); x < caret.x() + width; ++x)
                run += isInk(image, x, y);
            if (run >= 0.8 * width)
                return true;
        }
        return false;
    };
    QVERIFY(underline(after));
    QVERIFY(!underline(before));
    // The input method's caret, after the first character of the composition.
    QInputMethodQueryEvent query(Qt::ImCursorRectangle);
    QApplication::sendEvent(box.get(), &query);
    const QRect told = query.value(Qt::ImCursorRectangle).toRect();
    QVERIFY(qAbs(told.left() - box->viewport()->mapTo(box.get(), caret).x() -
                 metrics.horizontalAdvance(QLatin1Char('a'))) <= 1);
    QCOMPARE(told.top(), box->viewport()->mapTo(box.get(), caret).y());

    // The method commits; the box shows the text as before with the committed text in it.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("abc"));
    QApplication::sendEvent(box.get(), &commit);
    QCOMPARE(box->toPlainText(), QStringLiteral("xxxx abcyyyy"));
    QVERIFY(!underline(box->viewport()->grab().toImage()));
}

// As in the toolkit's boxes: a composition that begins takes the selection's place, a click
// drops a composition the method does not commit, and a read-only box takes none.
void PlainTextBoxTest::compositionTakesTheSelectionsPlace() {
    const auto box = makeBox(QStringLiteral("one two"));
    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    QTest::keySequence(box.get(), QKeySequence::SelectPreviousWord);
    const QImage unchanged = box->viewport()->grab().toImage();
    QInputMethodEvent compose(QStringLiteral("2"), {});
    QApplication::sendEvent(box.get(), &compose);
    QCOMPARE(box->toPlainText(), QStringLiteral("one "));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("2"));
    QApplication::sendEvent(box.get(), &commit);
    QCOMPARE(box->toPlainText(), QStringLiteral("one 2"));
    QTest::keySequence(box.get(), QKeySequence::Undo);
    QTest::keySequence(box.get(), QKeySequence::Undo);
    QCOMPARE(box->toPlainText(), QStringLiteral("one two"));

    QTest::keySequence(box.get(), QKeySequence::MoveToEndOfDocument);
    const QImage atTheEnd = box->viewport()->grab().toImage();
    QApplication::sendEvent(box.get(), &compose);
    QVERIFY(box->viewport()->grab().toImage() != atTheEnd);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(200, 6));
    QCOMPARE(box->viewport()->grab().toImage(), atTheEnd);
    QCOMPARE(box->toPlainText(), QStringLiteral("one two"));

    box->setReadOnly(true);
    QInputMethodQueryEvent enabled(Qt::ImEnabled);
    QApplication::sendEvent(box.get(), &enabled);
    QVERIFY(!enabled.value(Qt::ImEnabled).toBool());
    QApplication::sendEvent(box.get(), &compose);
    QApplication::sendEvent(box.get(), &commit);
    QCOMPARE(box->toPlainText(), QStringLiteral("one two"));
    QCOMPARE(box->viewport()->grab().toImage(), atTheEnd);
    Q_UNUSED(unchanged);
}

void PlainTextBoxTest::inputMethodIsToldTheCaretsLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<QString>("surrounding");
    QTest::addColumn<int>("cursor"); // where the caret is in it
    QTest::addColumn<int>("anchorIn");
    const QString lines = QStringLiteral("first\r\nsecond line\r\nthird");
    QTest::newRow("the caret's line") << lines << 10 << 13 << "second line" << 3 << 6;
    QTest::newRow("a selection from the line before, to the line's start")
        << lines << 10 << 2 << "second line" << 3 << 0;
    QTest::newRow("the last line, at the end") << lines << 25 << 25 << "third" << 5 << 5;
    QTest::newRow("an empty line") << QStringLiteral("a\n\nb") << 2 << 2 << "" << 0 << 0;
    const QString longLine(10'000, QLatin1Char('a'));
    QTest::newRow("a long line: a stretch about the caret")
        << longLine << 5000 << 5000 << longLine.mid(5000 - Limit / 2, Limit) << Limit / 2
        << Limit / 2;
    QTest::newRow("a long line, near its start")
        << longLine << 10 << 0 << longLine.left(10 + Limit / 2) << 10 << 0;
}

void PlainTextBoxTest::inputMethodIsToldTheCaretsLine() {
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, anchor);
    QFETCH(QString, surrounding);
    QFETCH(int, cursor);
    QFETCH(int, anchorIn);
    const auto box = makeBox(text);
    accessibleText(*box)->setSelection(0, anchor, caret);
    QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCursorPosition |
                                 Qt::ImAnchorPosition | Qt::ImAbsolutePosition);
    QApplication::sendEvent(box.get(), &query);
    QCOMPARE(query.value(Qt::ImSurroundingText).toString(), surrounding);
    QCOMPARE(query.value(Qt::ImCursorPosition).toInt(), cursor);
    QCOMPARE(query.value(Qt::ImAnchorPosition).toInt(), anchorIn);
    QCOMPARE(query.value(Qt::ImAbsolutePosition).toInt(), caret);
}

void PlainTextBoxTest::dropsFromOtherPrograms_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("dropped"); // text, or a URL to drop as one
    QTest::addColumn<Qt::DropAction>("action");
    QTest::addColumn<QString>("end");
    const QString start = QStringLiteral("hello world");
    QTest::newRow("text copied in where it is dropped")
        << false << "big " << Qt::CopyAction << "hello big world";
    QTest::newRow("text moved in") << false << "big " << Qt::MoveAction << "hello big world";
    QTest::newRow("a line break and a pair")
        << false << "\r\n\U0001F600" << Qt::CopyAction << "hello \r\n\U0001F600world";
    QTest::newRow("a link is text") << false << "url:https://example.org/ " << Qt::CopyAction
                                    << "hello https://example.org/world";
    QTest::newRow("a file is not text")
        << false << "url:file:///tmp/page.html" << Qt::CopyAction << start;
    QTest::newRow("nothing goes into a read-only box") << true << "big " << Qt::CopyAction << start;
}

// What another program drops goes in where it is dropped, one undo step.
void PlainTextBoxTest::dropsFromOtherPrograms() {
    QFETCH(bool, readOnly);
    QFETCH(QString, dropped);
    QFETCH(Qt::DropAction, action);
    QFETCH(QString, end);
    const QString start = QStringLiteral("hello world");
    const auto box = makeBox(start);
    box->setReadOnly(readOnly);
    QMimeData data;
    if (dropped.startsWith(QLatin1String("url:")))
        data.setUrls({QUrl(dropped.mid(4).trimmed())});
    else
        data.setText(dropped);
    const QPoint at = pointOf(*box, 6);
    QDragEnterEvent enter(at, action, &data, Qt::LeftButton, {});
    QApplication::sendEvent(box->viewport(), &enter);
    QCOMPARE(enter.isAccepted(), end != start);
    QDragMoveEvent move(at, action, &data, Qt::LeftButton, {});
    QApplication::sendEvent(box->viewport(), &move);
    QDropEvent drop(at, action, &data, Qt::LeftButton, {});
    QApplication::sendEvent(box->viewport(), &drop);
    QCOMPARE(drop.isAccepted(), end != start);
    QCOMPARE(box->toPlainText(), end);
    if (end == start)
        return;
    QCOMPARE(box->cursorPosition(), end.size() - 5);
    QTest::keySequence(box.get(), QKeySequence::Undo);
    QCOMPARE(box->toPlainText(), start);
}

void PlainTextBoxTest::dragAndDrop_data() {
    QTest::addColumn<bool>("toOther"); // dropped into the other box, or into the same one
    QTest::addColumn<int>("at");       // the character dropped before; -1 the end
    QTest::addColumn<bool>("copy");    // with Ctrl
    QTest::addColumn<bool>("sourceReadOnly");
    QTest::addColumn<bool>("targetReadOnly");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    const QString start = QStringLiteral("hello brave world");
    const QString other = QStringLiteral("other box");
    QTest::newRow("moved within a box, one undo step")
        << false << -1 << false << false << false << "hello worldbrave " << other;
    QTest::newRow("moved back within a box")
        << false << 0 << false << false << false << "brave hello world" << other;
    QTest::newRow("copied within a box with Ctrl")
        << false << -1 << true << false << false << "hello brave worldbrave " << other;
    QTest::newRow("dropped into itself: nothing")
        << false << 9 << false << false << false << start << other;
    QTest::newRow("moved to another box") << true << -1 << false << false << false << "hello world"
                                          << "other boxbrave ";
    QTest::newRow("copied to another box with Ctrl")
        << true << -1 << true << false << false << start << "other boxbrave ";
    QTest::newRow("a read-only box is only copied from")
        << true << -1 << false << true << false << start << "other boxbrave ";
    QTest::newRow("a read-only box takes no drop")
        << true << -1 << false << false << true << start << other;
}

// Selected text dragged with the mouse, as the platform's drag runs it: the moves and the
// release come while the drag's own loop runs. Only a platform with drags runs this (X11).
void PlainTextBoxTest::dragAndDrop() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("Drags need a platform that has them: see test_plain_text_box_on_x11");
    QFETCH(bool, toOther);
    QFETCH(int, at);
    QFETCH(bool, copy);
    QFETCH(bool, sourceReadOnly);
    QFETCH(bool, targetReadOnly);
    QFETCH(QString, source);
    QFETCH(QString, target);
    const QString start = QStringLiteral("hello brave world");
    QWidget window;
    window.resize(700, 200);
    auto* from = new PlainTextBox(&window);
    auto* into = new PlainTextBox(&window);
    from->setGeometry(0, 0, 340, 200);
    into->setGeometry(350, 0, 340, 200);
    from->setPlainText(start);
    into->setPlainText(QStringLiteral("other box"));
    from->setReadOnly(sourceReadOnly);
    into->setReadOnly(targetReadOnly);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    accessibleText(*from)->setSelection(0, 6, 12);

    PlainTextBox* dropBox = toOther ? into : from;
    const QPoint drop =
        at < 0 ? pointOf(*dropBox, static_cast<int>(dropBox->length()) - 1) + QPoint(40, 0)
               : pointOf(*dropBox, at);
    const Qt::KeyboardModifiers modifiers = copy ? Qt::ControlModifier : Qt::NoModifier;
    QTimer::singleShot(100, dropBox, [&] {
        QTest::mouseEvent(QTest::MouseMove, dropBox->viewport(), Qt::NoButton, modifiers, drop);
        QTest::qWait(100);
        QTest::mouseEvent(QTest::MouseMove, dropBox->viewport(), Qt::NoButton, modifiers,
                          drop + QPoint(1, 0));
        QTest::qWait(100);
        QTest::mouseRelease(dropBox->viewport(), Qt::LeftButton, modifiers, drop + QPoint(1, 0));
    });
    const QPoint press = pointOf(*from, 7);
    QTest::mousePress(from->viewport(), Qt::LeftButton, {}, press);
    QTest::mouseMove(from->viewport(), press + QPoint(30, 0));
    QTRY_COMPARE(from->toPlainText(), source);
    QCOMPARE(into->toPlainText(), target);
    if (!toOther && source != start) {
        QTest::keySequence(from, QKeySequence::Undo);
        QCOMPARE(from->toPlainText(), start);
    }
}

// Where the platform has a primary selection (X11), what is selected becomes it, and a middle
// click pastes it where it is clicked; a read-only box takes none.
void PlainTextBoxTest::primarySelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        QSKIP("The platform has no primary selection: see test_plain_text_box_on_x11");
    const auto box = makeBox(QStringLiteral("hello brave world"));
    box->setCursorPosition(6);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(box.get(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("brave"));
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, pointOf(*box, 1));
    QCOMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("hello"));
    QTest::mouseClick(box->viewport(), Qt::MiddleButton, {}, pointOf(*box, 12));
    QCOMPARE(box->toPlainText(), QStringLiteral("hello brave helloworld"));
    QCOMPARE(box->cursorPosition(), 17);
    QTest::keySequence(box.get(), QKeySequence::Undo);
    QCOMPARE(box->toPlainText(), QStringLiteral("hello brave world"));

    box->setReadOnly(true);
    QTest::mouseClick(box->viewport(), Qt::MiddleButton, {}, pointOf(*box, 12));
    QCOMPARE(box->toPlainText(), QStringLiteral("hello brave world"));
}

QTEST_MAIN(PlainTextBoxTest)
#include "test_plain_text_box.moc"
