// Loading, scanning and showing pages of every shape, each measured beside its floor in the
// same run:
//   metatags_bench [benchmark options]      the benchmarks
//   metatags_bench --write-page SHAPE PATH  writes the page of a shape of the window table, or
//                                           of BYTES in lines with the tags late
//   metatags_bench --peak-memory PATH       Search PATH in the window; print the peak RSS
//   metatags_bench --bare-box PATH          show PATH's page text in a bare QPlainTextEdit;
//                                           print the seconds
//   metatags_bench --copy-memory PATH       Search PATH, select all of the page box and copy
//                                           it, then read the copy as another program would;
//                                           print the peak RSS after each

#include "app/frmMetatags.h"
#include "app/qt_text.h"
#include "bench/page_generator.h"
#include "load/large_pages.h"
#include "load/page_file.h"
#include "scan/analysis.h"
#include "tests/window_driver.h"
#include "textbox/plain_text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The pages of the window table: what a user waits for on each shape.
struct NamedShape {
    const char* name;
    PageShape shape;
};
const NamedShape WindowShapes[] = {
    {"100 MB in lines", {100'000'000, true, Tags::Late, Layout::Lines}},
    {"20 MB on one line", {20'000'000, true, Tags::Late, Layout::OneLine}},
    {"10 MB of <", {10'000'000, true, Tags::Early, Layout::NoBreak}},
    {"a title of 10 M letters", {10'000'000, true, Tags::Early, Layout::LongTitle}},
    {"20 M empty lines", {20'000'000, false, Tags::Early, Layout::EmptyLines}},
    {"10 MB of UTF-8 in lines", {10'000'000, true, Tags::Late, Layout::Lines, Script::Every}},
    {"100 MB of UTF-8 in lines", {100'000'000, true, Tags::Late, Layout::Lines, Script::Every}},
    {"20 MB of UTF-8 on one line", {20'000'000, true, Tags::Late, Layout::OneLine, Script::Every}},
};

// The pages of the step table, and of the window's growth with the page.
constexpr std::size_t Sizes[] = {1'000'000, 10'000'000, 100'000'000};

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != qint64(bytes.size()))
        qFatal("cannot write %s", qPrintable(path));
}

// Each generated page is written once, to a folder that lives as long as the run.
QString pageFile(const PageShape& shape) {
    static QTemporaryDir folder;
    static std::map<std::tuple<std::size_t, bool, Tags, Layout, Script>, QString> written;
    auto& path = written[{shape.bytes, shape.crlf, shape.tags, shape.layout, shape.script}];
    if (path.isEmpty()) {
        path = folder.filePath(QStringLiteral("page-%1.html").arg(written.size()));
        writeFile(path, generatePage(shape));
    }
    return path;
}

std::unique_ptr<char[]> advised(std::size_t bytes) {
    auto buffer = std::make_unique_for_overwrite<char[]>(bytes);
    adviseLargePages(buffer.get(), bytes);
    return buffer;
}

// The file's bytes read whole into memory, as cheaply as it can be done.
std::pair<std::unique_ptr<char[]>, std::size_t> readWhole(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY);
    struct stat info {};
    ::fstat(fd, &info);
    const auto size = static_cast<std::size_t>(info.st_size);
    auto bytes = advised(size);
    for (std::size_t got = 0; got < size;)
        got += static_cast<std::size_t>(::read(fd, bytes.get() + got, size - got));
    ::close(fd);
    return {std::move(bytes), size};
}

// The floors allocate as the program does, with the same advice for large pages, so that
// each ratio compares the work done and not the page faults.
void LoadFloor(benchmark::State& state, PageShape shape) {
    const QByteArray path = QFile::encodeName(pageFile(shape));
    for (auto _ : state)
        benchmark::DoNotOptimize(readWhole(path).first.get());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.bytes));
}

void Load(benchmark::State& state, PageShape shape) {
    const QString path = pageFile(shape);
    for (auto _ : state)
        benchmark::DoNotOptimize(load::readPageFile(path));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.bytes));
}

void ScanFloor(benchmark::State& state, PageShape shape) {
    const load::Page page = load::readPageFile(pageFile(shape)).text;
    for (auto _ : state) {
        const auto lower = advised(page->size());
        std::transform(page->begin(), page->end(), lower.get(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 0x20) : c; });
        benchmark::DoNotOptimize(lower.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.bytes));
}

void Scan(benchmark::State& state, PageShape shape) {
    const load::Page page = load::readPageFile(pageFile(shape)).text;
    for (auto _ : state) {
        const scan::Analysis analysis = scan::analysePage(*page);
        if (analysis.title.present() != (shape.tags != Tags::Absent))
            state.SkipWithError("the title is not where the page has it");
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shape.bytes));
}

// The least a Search can cost on a page: the file read whole, its line ends rebuilt as CR LF,
// one lower-casing pass and the literal searches of the seven tags.
void WindowFloor(benchmark::State& state, PageShape shape) {
    const QByteArray path = QFile::encodeName(pageFile(shape));
    constexpr std::string_view Searched[] = {"<title>",
                                             "</title>",
                                             "<meta name=\"description\" content=",
                                             "<meta name=\"keywords\" content=",
                                             "<meta name=\"robots\" content=",
                                             "<meta name=\"abstract\" content=",
                                             "<meta name=\"author\" content=",
                                             "<meta name=\"copyright\" content="};
    for (auto _ : state) {
        const auto [bytes, size] = readWhole(path);
        const auto text = advised(2 * size + 2);
        std::size_t length = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const char c = bytes[i];
            if (c == '\r' || c == '\n') {
                i += c == '\r' && i + 1 < size && bytes[i + 1] == '\n';
                text[length++] = '\r';
                text[length++] = '\n';
            } else {
                text[length++] = c;
            }
        }
        const auto lower = advised(length);
        std::transform(text.get(), text.get() + length, lower.get(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 0x20) : c; });
        const std::string_view page(lower.get(), length);
        for (const std::string_view what : Searched)
            benchmark::DoNotOptimize(page.find(what));
    }
}

// Recheck does what Search does once the Open dialog has closed: load, show, scan, count,
// until the window is painted.
void Window(benchmark::State& state, PageShape shape) {
    WindowDriver driver;
    driver.search(pageFile(shape));
    for (auto _ : state) {
        driver.recheck();
        driver.window().repaint();
        QApplication::processEvents();
    }
    if (driver.shown("lblTitleCar").isEmpty())
        state.SkipWithError("the window did not show the page's title");
}

// One key typed into the page box, at its start or after Ctrl+End, until the box is painted;
// a Backspace after each keeps the page as it was.
void Keystroke(benchmark::State& state, PageShape shape, bool atEnd) {
    WindowDriver driver;
    driver.search(pageFile(shape));
    QWidget* box = driver.control("txtOriginalFile");
    box->setFocus();
    if (atEnd)
        QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
    bool type = true;
    for (auto _ : state) {
        QTest::keyClick(box, type ? Qt::Key_X : Qt::Key_Backspace);
        box->repaint();
        type = !type;
    }
}

// ---- Interactions: what a user does once the page shows, each on a page just shown ----

QString wideText(std::size_t length) {
    const QString pattern =
        QStringLiteral("漢字かな交じり文と한글") + QString::fromUcs4(U"\U0001F600");
    QString text = pattern.repeated(static_cast<qsizetype>(length) / pattern.size() + 1);
    text.truncate(static_cast<qsizetype>(length));
    return text;
}

// The pages of the interaction table.
struct InteractionPage {
    const char* name;
    PageShape shape;
    // Not the page's bytes but this text, of `shape.bytes`, pasted into the box alone.
    QString (*text)(std::size_t) = nullptr;
};
const InteractionPage InteractionPages[] = {
    {"100 MB in lines", {100'000'000, true, Tags::Late, Layout::Lines}},
    {"200 MB on one line", {200'000'000, true, Tags::Late, Layout::OneLine}},
    {"200 MB of <", {200'000'000, true, Tags::Early, Layout::NoBreak}},
    {"20 M empty lines", {20'000'000, false, Tags::Early, Layout::EmptyLines}},
    {"20 M CJK and emoji on one line", {20'000'000}, wideText},
    {"200 MB of Arabic in lines", {200'000'000, true, Tags::Late, Layout::Lines, Script::Arabic}},
    {"200 MB of Hindi on one line",
     {200'000'000, true, Tags::Late, Layout::OneLine, Script::Hindi}},
    {"200 MB of UTF-8 in lines", {200'000'000, true, Tags::Late, Layout::Lines, Script::Every}},
    {"200 MB of UTF-8 on one line",
     {200'000'000, true, Tags::Late, Layout::OneLine, Script::Every}},
};
// The pages of the window's rows: the shapes the box alone finds hardest, and pages in scripts
// beyond ASCII, read from their files in UTF-8.
const char* const WindowInteractionPages[] = {
    "200 MB on one line",        "200 MB of <",
    "200 MB of UTF-8 in lines",  "200 MB of UTF-8 on one line",
    "200 MB of Arabic in lines", "200 MB of Hindi on one line"};

// The box alone, 700 by 500 pixels inside a window of its own.
class LoneBox {
public:
    explicit LoneBox(const InteractionPage& page) : box_(new PlainTextBox(&window_)) {
        static std::map<std::string, std::shared_ptr<const std::string>> bytes;
        static std::map<std::string, QString> texts;
        if (page.text) {
            QString& text = texts[page.name];
            if (text.isEmpty())
                text = page.text(page.shape.bytes);
            set_ = [this, &text] { box_->setPlainText(text); };
        } else {
            auto& page_ = bytes[page.name];
            if (!page_)
                page_ = std::make_shared<const std::string>(generatePage(page.shape));
            set_ = [this, &page_] { box_->setUtf8Text(page_); };
        }
        window_.resize(800, 600);
        box_->setGeometry(0, 0, 700, 500);
        window_.show();
        if (!QTest::qWaitForWindowExposed(&window_))
            qFatal("the box was not shown");
        box_->setFocus();
    }
    PlainTextBox& box() { return *box_; }
    void reset() {
        box_->setGeometry(0, 0, 700, 500);
        set_();
        QApplication::processEvents();
    }

private:
    QWidget window_;
    PlainTextBox* box_;
    std::function<void()> set_;
};

// The page box of the real window, its page searched again for each try.
class BoxInWindow {
public:
    explicit BoxInWindow(const char* page) {
        for (const InteractionPage& shape : InteractionPages)
            if (std::string_view(shape.name) == page)
                driver_.search(pageFile(shape.shape));
        box_ = qobject_cast<PlainTextBox*>(driver_.control("txtOriginalFile"));
        box_->setFocus();
    }
    PlainTextBox& box() { return *box_; }
    void reset() {
        driver_.recheck();
        box_->setFocus();
        QApplication::processEvents();
    }

private:
    WindowDriver driver_;
    PlainTextBox* box_;
};

struct Interaction {
    const char* name;
    std::function<void(PlainTextBox&)> prepare; // not timed
    std::function<void(PlainTextBox&)> act;
};

void keys(PlainTextBox& box, QKeySequence::StandardKey key) {
    QTest::keySequence(&box, key);
}

void toMiddle(PlainTextBox& box) {
    box.setCursorPosition(box.length() / 2);
}

QPoint middleOfView(const PlainTextBox& box) {
    return box.viewport()->rect().center();
}

const std::vector<Interaction>& interactions() {
    static const std::vector<Interaction> all = {
        {"Ctrl+End", {}, [](PlainTextBox& box) { keys(box, QKeySequence::MoveToEndOfDocument); }},
        {"Ctrl+End after a key at the start",
         [](PlainTextBox& box) { QTest::keyClick(&box, Qt::Key_X); },
         [](PlainTextBox& box) { keys(box, QKeySequence::MoveToEndOfDocument); }},
        {"scroll bar dragged to the middle",
         {},
         [](PlainTextBox& box) {
             QScrollBar* bar = box.verticalScrollBar();
             bar->setSliderDown(true);
             bar->setSliderPosition(bar->maximum() / 2);
             bar->setSliderDown(false);
         }},
        {"Page Down in the middle", toMiddle,
         [](PlainTextBox& box) { keys(box, QKeySequence::MoveToNextPage); }},
        {"wheel in the middle", toMiddle,
         [](PlainTextBox& box) {
             const QPointF at = middleOfView(box);
             QWheelEvent wheel(at, box.viewport()->mapToGlobal(at), {},
                               {0, -QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton, {},
                               Qt::NoScrollPhase, false);
             QApplication::sendEvent(box.viewport(), &wheel);
         }},
        {"click in the middle", toMiddle,
         [](PlainTextBox& box) {
             QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, middleOfView(box));
         }},
        {"double click in the middle", toMiddle,
         [](PlainTextBox& box) {
             QTest::mouseDClick(box.viewport(), Qt::LeftButton, {}, middleOfView(box));
         }},
        {"Ctrl+Right in the middle", toMiddle,
         [](PlainTextBox& box) { keys(box, QKeySequence::MoveToNextWord); }},
        {"Ctrl+Left in the middle", toMiddle,
         [](PlainTextBox& box) { keys(box, QKeySequence::MoveToPreviousWord); }},
        {"Ctrl+Backspace in the middle", toMiddle,
         [](PlainTextBox& box) { keys(box, QKeySequence::DeleteStartOfWord); }},
        {"Ctrl+Delete in the middle", toMiddle,
         [](PlainTextBox& box) { keys(box, QKeySequence::DeleteEndOfWord); }},
        {"key typed in the middle", toMiddle,
         [](PlainTextBox& box) { QTest::keyClick(&box, Qt::Key_X); }},
        {"box widened by a pixel in the middle", toMiddle,
         [](PlainTextBox& box) { box.resize(box.width() + 1, box.height()); }},
        {"select all + copy",
         {},
         [](PlainTextBox& box) {
             keys(box, QKeySequence::SelectAll);
             keys(box, QKeySequence::Copy);
         }},
        {"select all + cut",
         {},
         [](PlainTextBox& box) {
             keys(box, QKeySequence::SelectAll);
             keys(box, QKeySequence::Cut);
         }},
        {"undo of select all + Delete",
         [](PlainTextBox& box) {
             keys(box, QKeySequence::SelectAll);
             QTest::keyClick(&box, Qt::Key_Delete);
         },
         [](PlainTextBox& box) { keys(box, QKeySequence::Undo); }},
    };
    return all;
}

// Each try starts from the page just shown; the median of the tries, until the box is painted.
template <typename Subject, typename Page>
void Interact(benchmark::State& state, Page page, const Interaction* interaction) {
    constexpr int Tries = 5;
    Subject subject(page);
    PlainTextBox& box = subject.box();
    for (auto _ : state) {
        std::vector<double> seconds;
        for (int i = 0; i < Tries; ++i) {
            subject.reset();
            if (interaction->prepare) {
                interaction->prepare(box);
                box.repaint();
            }
            QElapsedTimer timer;
            timer.start();
            interaction->act(box);
            box.repaint();
            seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        }
        std::nth_element(seconds.begin(), seconds.begin() + Tries / 2, seconds.end());
        state.SetIterationTime(seconds[Tries / 2]);
    }
    QGuiApplication::clipboard()->clear();
}

// ---- A screenful of each script, shown by a new box and by a QPlainTextEdit ----

const std::pair<const char*, QString> Screenfuls[] = {
    {"Latin", QStringLiteral("The bakery opens at six every morning with fresh rye bread ")},
    {"Arabic", QStringLiteral("مخبز الحي يفتح في السادسة صباحا كل يوم خبز طازج وكعك ")},
    {"Hebrew", QStringLiteral("המאפייה פותחת בשש בבוקר לחם טרי ועוגות לכל אירוע ")},
    {"Devanagari", QStringLiteral("क्षेत्र की बेकरी हर सुबह छह बजे ताज़ी रोटी के साथ खुलती है ")},
    {"Thai", QStringLiteral("ร้านเบเกอรี่เปิดตอนหกโมงเช้า ขนมปังสดใหม่ทุกวัน ")},
};

// Forty lines of about ninety characters: more than a screen of the box.
QString screenful(const QString& sentence) {
    QString line;
    while (line.size() < 90)
        line += sentence;
    return (line.trimmed() + QStringLiteral("\r\n")).repeated(40);
}

// The text set into a new box (or QPlainTextEdit) of the page box's size and font, until it
// is painted; or, with `again`, the box painted again as it is.
template <typename Box>
void PaintScreenful(benchmark::State& state, const QString& sentence, bool again) {
    const QString text = screenful(sentence);
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(8.25);
    QWidget window;
    window.resize(800, 600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the window was not shown");
    std::unique_ptr<Box> box;
    const auto newBox = [&] {
        box = std::make_unique<Box>(&window);
        box->setFont(font);
        box->setGeometry(0, 0, 700, 500);
        box->show();
        QApplication::processEvents();
    };
    newBox();
    box->setPlainText(text);
    box->viewport()->repaint();
    for (auto _ : state) {
        if (!again) {
            state.PauseTiming();
            newBox();
            state.ResumeTiming();
            box->setPlainText(text);
        }
        box->viewport()->repaint();
    }
}

void registerAll() {
    const auto add = [](const std::string& name, auto function, auto... arguments) {
        benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.3)
            ->MinWarmUpTime(0.1);
    };
    for (const NamedShape& named : WindowShapes) {
        const std::string name = named.name;
        add("WindowFloor/" + name, WindowFloor, named.shape);
        add("Window/" + name, Window, named.shape);
        add("KeyAtStart/" + name, Keystroke, named.shape, false);
        add("KeyAtEnd/" + name, Keystroke, named.shape, true);
    }
    // Run once each with no warm-up: every try starts from a page just shown, and a warm-up
    // would repeat the tries, each searching a 200 MB page again, for minutes.
    for (const Interaction& interaction : interactions()) {
        const auto addInteraction = [](const std::string& name, auto function, auto... arguments) {
            benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->Iterations(1)
                ->Repetitions(1);
        };
        for (const InteractionPage& page : InteractionPages)
            if (page.shape.script != Script::Every) // in the window only
                addInteraction(std::string("Box/") + page.name + "/" + interaction.name,
                               Interact<LoneBox, InteractionPage>, page, &interaction);
        for (const char* page : WindowInteractionPages)
            addInteraction(std::string("InWindow/") + page + "/" + interaction.name,
                           Interact<BoxInWindow, const char*>, page, &interaction);
    }
    for (const auto& [script, sentence] : Screenfuls)
        for (const bool again : {false, true}) {
            const std::string how = again ? "/again" : "/shown";
            add(std::string("PaintBox/") + script + how, PaintScreenful<PlainTextBox>, sentence,
                again);
            add(std::string("PaintToolkit/") + script + how, PaintScreenful<QPlainTextEdit>,
                sentence, again);
        }
    for (const std::size_t size : Sizes) {
        const std::string bytes = std::to_string(size);
        for (const bool crlf : {true, false}) {
            const PageShape shape{size, crlf, Tags::Late};
            const std::string ends = crlf ? "/crlf" : "/lf";
            add("LoadFloor/" + bytes + ends, LoadFloor, shape);
            add("Load/" + bytes + ends, Load, shape);
        }
        const PageShape late{size, true, Tags::Late};
        add("ScanFloor/" + bytes, ScanFloor, late);
        for (const auto& [tags, where] :
             {std::pair{Tags::Early, "/early"}, {Tags::Late, "/late"}, {Tags::Absent, "/absent"}})
            add("Scan/" + bytes + where, Scan, PageShape{size, true, tags});
        add("WindowFloor/" + bytes, WindowFloor, late);
        add("Window/" + bytes, Window, late);
    }
}

int peakMemory(const QString& path) {
    WindowDriver driver;
    driver.search(path);
    driver.window().repaint();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss * 1024L); // bytes
    return 0;
}

long peakBytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

// Select all + copy in the page box, then the copy read as another program reads it (UTF-8).
int copyMemory(const QString& path) {
    WindowDriver driver;
    driver.search(path);
    driver.window().repaint();
    auto* box = qobject_cast<PlainTextBox*>(driver.control("txtOriginalFile"));
    box->setFocus();
    QTest::keySequence(box, QKeySequence::SelectAll);
    QTest::keySequence(box, QKeySequence::Copy);
    box->repaint();
    std::printf("%ld\n", peakBytes());
    const QByteArray copied =
        QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain"));
    if (copied.size() < box->length())
        qFatal("the copy is short");
    std::printf("%ld\n", peakBytes());
    return 0;
}

// What the toolkit's own box takes to show the page: set, shown and painted.
int bareBox(const QString& path) {
    const load::PageFile page = load::readPageFile(path);
    QPlainTextEdit box;
    box.resize(769, 153);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        qFatal("the box was not shown");
    QElapsedTimer timer;
    timer.start();
    box.setPlainText(fromPageText(*page.text));
    box.repaint();
    QApplication::processEvents();
    std::printf("%.6f\n", double(timer.nsecsElapsed()) / 1e9);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    if (argc == 4 && QByteArray(argv[1]) == "--write-page") {
        const QByteArray shape = argv[2];
        PageShape written{shape.toULongLong(), true, Tags::Late};
        for (const NamedShape& named : WindowShapes)
            if (shape == named.name)
                written = named.shape;
        writeFile(QString::fromLocal8Bit(argv[3]), generatePage(written));
        return 0;
    }
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak-memory")
        return peakMemory(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--copy-memory")
        return copyMemory(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--bare-box")
        return bareBox(QString::fromLocal8Bit(argv[2]));
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
