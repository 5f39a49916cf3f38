#pragma once

#include "textbox/piece_text.h"
#include "textbox/text_boundaries.h"
#include "textbox/text_rows.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QKeySequence>
#include <QTextLayout>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QMenu;
class QMimeData;
class QPainter;

// A text box that lays out only the rows on screen, so that a page of 256 MiB or a tag value of
// ten million characters shows at once and takes a keystroke as fast as a short line does. It
// keeps its text exactly as written; a CR LF, a lone CR and a lone LF each end a line on screen.
class PlainTextBox : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(QString plainText READ toPlainText WRITE setPlainText NOTIFY textChanged USER true)
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(bool tabChangesFocus READ tabChangesFocus WRITE setTabChangesFocus)
    Q_PROPERTY(LineWrapMode lineWrapMode READ lineWrapMode WRITE setLineWrapMode)
    Q_PROPERTY(qsizetype cursorPosition READ cursorPosition WRITE setCursorPosition)

public:
    enum LineWrapMode { NoWrap, WidgetWidth };
    Q_ENUM(LineWrapMode)

    explicit PlainTextBox(QWidget* parent = nullptr);

    void setPlainText(const QString& text);
    // Text in UTF-8, shown without copying it: the box keeps the buffer alive for as long as it
    // shows any of it. Bytes that are not valid UTF-8 show as U+FFFD.
    void setUtf8Text(std::shared_ptr<const std::string> bytes);
    QString toPlainText() const;
    qsizetype length() const; // characters, a CR LF counting two

    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    bool tabChangesFocus() const { return tabChangesFocus_; }
    void setTabChangesFocus(bool changesFocus) { tabChangesFocus_ = changesFocus; }
    // A box that holds one value, which may run over several lines, is read whole where a
    // screen reader reads the line at the caret: when the box takes the focus, and when the
    // user asks where the focus is. Lines are still lines on screen and for the keys.
    bool readsWhole() const { return readsWhole_; }
    void setReadsWhole(bool whole) { readsWhole_ = whole; }
    LineWrapMode lineWrapMode() const { return wrapMode_; }
    void setLineWrapMode(LineWrapMode mode);
    qsizetype cursorPosition() const { return static_cast<qsizetype>(caret_); }
    void setCursorPosition(qsizetype position);
    QString selectedText() const;

    QMenu* createStandardContextMenu();

public slots:
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void selectAll();

signals:
    void textChanged(); // after every change, by the user or by a set

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class PlainTextBoxAccessible;
    // Room around the text, as a QPlainTextEdit's document margin gives it.
    static constexpr int Margin = 4;
    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextRow,
        PreviousRow,
        NextPage,
        PreviousPage,
        RowStart,
        RowEnd,
        TextStart,
        TextEnd,
    };
    struct KeyMove {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    };
    static const KeyMove* keyMove(const QKeyEvent* event);

    // The view.
    qreal firstRowY() const;
    bool oneLine() const;
    int fullRows() const;
    qreal textWidth() const;
    int caretWidth() const;
    std::size_t origin(const textbox::Row& row) const;
    textbox::RowGlyphs glyphsOf(const textbox::Row& row) const;
    void newText(std::size_t replaced); // the length of the text before
    void relayout();
    void layOut();
    bool endShown() const;
    void updateScrollBar();
    int scrollValue() const;
    void scrollBarAction(int action);
    void scrollRows(long count);
    textbox::Row rowsAbove(textbox::Row row, int count) const;
    void showEnd();
    void ensureVisible(std::size_t position);
    void followHorizontally(std::size_t position);
    void drawRow(QPainter& painter, const textbox::Row& row, qreal y) const;
    void drawLaidOut(QPainter& painter, const textbox::RowGlyphs& glyphs, qreal y) const;
    std::optional<std::pair<textbox::RowGlyphs, qreal>> shownRow(std::size_t position) const;
    void drawRowWithPreedit(QPainter& painter, const textbox::Row& row, qreal y) const;
    std::optional<QRectF> cellAt(std::size_t position) const;
    std::optional<QPointF> caretPoint(std::size_t position) const;
    QRect caretRect() const;
    void keepScrollBarsPalette();

    // The caret and the selection.
    std::pair<std::size_t, std::size_t> selection() const;
    std::size_t positionAt(QPointF point) const;
    std::size_t positionInRow(const textbox::Row& row, qreal x) const;
    std::size_t rowEnd(const textbox::Row& row) const;
    std::size_t rowsAway(long count);
    void setCaret(std::size_t position, bool select);
    void moveCaret(Move move, bool select);
    void restartBlink();
    void notifyCaret();
    void setPrimarySelection();

    // Editing.
    bool moveKey(QKeyEvent* event);
    bool editKey(QKeyEvent* event);
    bool handlesShortcut(QKeyEvent* event) const;
    QString typedText(const QKeyEvent* event) const;
    QString textOf(std::size_t from, std::size_t to) const;
    void replaceSelection(const QString& text, bool typed);
    void removeRange(std::size_t from, std::size_t to);
    void removeSelection();
    void edited(const textbox::Change& change, std::size_t caret);
    // Tells a listening screen reader that `removed` characters at `position` gave way to
    // `inserted` ones (in plain_text_box_accessible.cpp).
    void notifyTextChange(std::size_t position, std::size_t removed, std::size_t inserted);

    // An input method's composition.
    std::optional<QRectF> preeditRect() const;
    std::pair<std::size_t, std::size_t> surroundingText() const;
    void commitPreedit();
    void dropPreedit();

    // Drag and drop.
    bool takesDrop(const QMimeData* data) const;
    std::optional<std::size_t> dropPosition(const QDropEvent* event) const;
    void startDrag();

    textbox::PieceText text_;
    textbox::TextBoundaries boundaries_;
    textbox::TextRows rows_;
    std::vector<textbox::Row> shown_; // the rows on screen, from the top
    std::size_t top_ = 0;             // where the top row starts
    std::size_t shift_ = 0; // without wrapping: the characters of each line left of the view
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0; // the other end of the selection
    qreal goalX_ = -1;       // the x, or without wrapping the column, that Up and Down keep
    bool readOnly_ = false;
    bool tabChangesFocus_ = false;
    bool readsWhole_ = false;
    LineWrapMode wrapMode_ = WidgetWidth;
    bool settingScrollBar_ = false;
    bool selecting_ = false; // the mouse drags a selection
    bool caretOn_ = false;   // the phase of the blinking caret
    QBasicTimer blinkTimer_;
    QBasicTimer dragScrollTimer_;
    QPointF dragPoint_;
    int wheelDelta_ = 0;
    bool mayDrag_ = false; // the mouse was pressed on the selection, which it may drag away
    QPointF pressPoint_;
    std::optional<std::size_t> dropCaret_; // where a drag over the box would drop its text
    // What an input method composes at the caret, not yet part of the text: its characters,
    // the formats it gives them, and its own caret in them.
    struct Preedit {
        QString text;
        QList<QTextLayout::FormatRange> formats;
        int caret = 0;
        bool caretShown = true;
    } preedit_;
};
