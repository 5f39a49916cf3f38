// The text box against a model. Each run drives one box through random steps: typing, editing
// and moving keys, the mouse, the wheel and the scroll bar through real events, the box's slots
// and setters, resizes, wrap-mode and font changes. After every step the box is compared with a
// plain QString model of its text, caret, selection, clipboard and undo history, textChanged is
// counted, and the rows on screen are compared with a fresh box that lays the same text out at
// the same size, font and wrap mode, read as a screen reader reads it.
//
// Each run is reproducible from its number. TEXTBOX_MODEL_RUNS=N runs N runs from run
// TEXTBOX_MODEL_FIRST_RUN (default 1). A failing run prints the shortest sequence of its steps
// that still fails the same way, found by dropping steps and parts of texts and running again
// from the start.

#include "model/run.h"
#include "model/steps.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

using namespace model;

namespace {

// A run that crashes the box (a Qt assertion, a sanitizer's report) cannot be shrunk: its
// number and step are told as it goes down.
std::uint64_t runNow = 0;
std::size_t stepNow = 0;

void tellRunNow() {
    std::fprintf(stderr,
                 "The box went down in run %llu at step %zu. Again with "
                 "TEXTBOX_MODEL_FIRST_RUN=%llu TEXTBOX_MODEL_RUNS=1.\n",
                 static_cast<unsigned long long>(runNow), stepNow + 1,
                 static_cast<unsigned long long>(runNow));
}

QtMessageHandler qtMessages = nullptr;

void tellRunOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg)
        tellRunNow();
    qtMessages(type, context, message);
}

// The steps run one after another in a new box until one fails; the step and what failed.
struct Outcome {
    std::optional<Failure> failure;
    std::size_t failedAt = 0;
};

Outcome runSteps(PlainTextBox& fresh, const std::vector<Step>& steps, std::vector<QString>* log) {
    Run run(fresh, log);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        stepNow = i;
        if (auto failure = run.step(steps[i]))
            return {failure, i};
    }
    return {};
}

// The fewest steps, and the shortest texts in them, that still fail the same check.
std::vector<Step> shrink(PlainTextBox& fresh, std::vector<Step> steps, const QString& check) {
    int tries = 0; // a bound, for failures that only long texts show
    int bound = 800;
    const auto fails = [&](const std::vector<Step>& candidate) {
        if (++tries > bound)
            return false;
        const Outcome outcome = runSteps(fresh, candidate, nullptr);
        return outcome.failure && outcome.failure->check == check;
    };
    for (std::size_t chunk = std::max<std::size_t>(1, steps.size() / 2);; chunk /= 2) {
        for (std::size_t at = 0; at < steps.size();) {
            std::vector<Step> fewer = steps;
            fewer.erase(fewer.begin() + static_cast<long>(at),
                        fewer.begin() + static_cast<long>(std::min(steps.size(), at + chunk)));
            if (!fewer.empty() && fails(fewer))
                steps = std::move(fewer);
            else
                at += chunk;
        }
        if (chunk == 1)
            break;
    }
    tries = 0;
    bound = 300;
    for (Step& step : steps) {
        QString* text = step.op == Step::Type ? nullptr : &step.text;
        if (!text)
            continue;
        for (qsizetype chunk = std::max<qsizetype>(1, text->size() / 2);; chunk /= 2) {
            for (qsizetype at = 0; at < text->size();) {
                const QString kept = *text;
                text->remove(at, chunk);
                if (!fails(steps)) {
                    *text = kept;
                    at += chunk;
                }
            }
            if (chunk == 1)
                break;
        }
    }
    return steps;
}

std::uint64_t fromEnvironment(const char* name, std::uint64_t otherwise) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const std::uint64_t number = value.toULongLong(&ok);
    return ok ? number : otherwise;
}

// The default runs keep `make test` to about half a minute in each build.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t DefaultRuns = 30;
#else
constexpr std::uint64_t DefaultRuns = 200;
#endif

} // namespace

class TextBoxModelTest : public QObject {
    Q_OBJECT

private slots:
    void matchesTheModel();
};

void TextBoxModelTest::matchesTheModel() {
    const std::uint64_t first = fromEnvironment("TEXTBOX_MODEL_FIRST_RUN", 1);
    const std::uint64_t runs = fromEnvironment("TEXTBOX_MODEL_RUNS", DefaultRuns);
    qtMessages = qInstallMessageHandler(tellRunOnFatal);
    PlainTextBox fresh;
    fresh.show();
    QElapsedTimer clock;
    clock.start();
    std::uint64_t steps = 0;
    for (std::uint64_t run = first; run < first + runs; ++run) {
        runNow = run;
        const std::vector<Step> all = randomSteps(run);
        const Outcome outcome = runSteps(fresh, all, nullptr);
        if (!outcome.failure) {
            steps += all.size();
            continue;
        }
        const std::vector<Step> failing(all.begin(),
                                        all.begin() + static_cast<long>(outcome.failedAt) + 1);
        const std::vector<Step> shortest = shrink(fresh, failing, outcome.failure->check);
        std::vector<QString> log;
        const Outcome again = runSteps(fresh, shortest, &log);
        QString report =
            QStringLiteral("Run %1 fails at step %2 of %3: %4\n"
                           "Again with TEXTBOX_MODEL_FIRST_RUN=%1 TEXTBOX_MODEL_RUNS=1.\n"
                           "The shortest sequence that fails the same way:\n")
                .arg(run)
                .arg(outcome.failedAt + 1)
                .arg(all.size())
                .arg(outcome.failure->message);
        for (std::size_t i = 0; i < log.size(); ++i)
            report += QStringLiteral("  %1. %2\n").arg(i + 1).arg(log[i]);
        report +=
            QStringLiteral("  then: %1")
                .arg(again.failure ? again.failure->message : QStringLiteral("(passes alone)"));
        QFAIL(qPrintable(report));
    }
    qInfo("%llu runs from run %llu, %llu steps, in %.1f s", static_cast<unsigned long long>(runs),
          static_cast<unsigned long long>(first), static_cast<unsigned long long>(steps),
          clock.elapsed() / 1000.0);
}

// AddressSanitizer calls this before its report.
extern "C" void __asan_on_error() {
    tellRunNow();
}

// QTEST_MAIN, but a soak of many runs outlasts QtTest's five minutes for one test function.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "604800000");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TextBoxModelTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_text_box_model.moc"
