// Loading, scanning and showing pages of every shape, each measured beside its floor in the
// same run:
//   metatags_bench [benchmark options]      the benchmarks
//   metatags_bench --write-page SHAPE PATH  writes the page of a shape of the window table, or
//                                           of BYTES in lines with the tags late
//   metatags_bench --peak-memory PATH       Search PATH in the window; print the peak RSS
//   metatags_bench --bare-box PATH          show PATH's page text in a bare QPlainTextEdit;
//                                           print the seconds

#include "app/frmMetatags.h"
#include "app/qt_text.h"
#include "bench/page_generator.h"
#include "load/large_pages.h"
#include "load/page_file.h"
#include "scan/analysis.h"
#include "tests/window_driver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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
    static std::map<std::tuple<std::size_t, bool, Tags, Layout>, QString> written;
    auto& path = written[{shape.bytes, shape.crlf, shape.tags, shape.layout}];
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

void registerAll() {
    const auto add = [](const std::string& name, auto function, auto... arguments) {
        benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    for (const NamedShape& named : WindowShapes) {
        const std::string name = named.name;
        add("WindowFloor/" + name, WindowFloor, named.shape);
        add("Window/" + name, Window, named.shape);
        add("KeyAtStart/" + name, Keystroke, named.shape, false);
        add("KeyAtEnd/" + name, Keystroke, named.shape, true);
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
    if (argc == 3 && QByteArray(argv[1]) == "--bare-box")
        return bareBox(QString::fromLocal8Bit(argv[2]));
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
