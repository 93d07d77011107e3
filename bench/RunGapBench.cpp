// How long the window goes without serving its event loop during a run on the largest table:
// 50 inputs and 100,000 samples, the real frame and document window, offscreen.

#include "app/MainForm.h"
#include "document/table/TableSamples.h"
#include "support/FakeUserDialogs.h"
#include "window/MDIMainChild.h"
#include "window/RunDriver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>

namespace {

constexpr int Samples = 100000;

// A plant whose output follows every input with a first-order lag.
void WriteLargeData(const QString& path, int inputs) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    double state = 0.0;
    QByteArray line;
    for (int k = 0; k < Samples; ++k) {
        line.clear();
        double drive = 0.0;
        for (int i = 0; i < inputs; ++i) {
            const double u = std::sin(0.001 * k * (i + 1) + i);
            drive += u / inputs;
            line += QByteArray::number(u, 'g', 6) + '\t';
        }
        state = 0.9 * state + 0.1 * drive;
        line += QByteArray::number(state, 'g', 6) + "\r\n";
        file.write(line);
    }
}

// The longest interval between two turns of the event loop, seen by a timer that fires on
// every turn.
class GapMeter : public QObject {
public:
    GapMeter() {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this,
                [this] { longest_ = std::max(longest_, clock_.restart()); });
    }
    void Start() {
        longest_ = 0;
        clock_.start();
        timer_.start();
    }
    qint64 Stop() {
        timer_.stop();
        return std::max(longest_, clock_.elapsed());
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

// A run of 2 generations of 10 individuals.
void BM_RunGap(benchmark::State& state) {
    const int inputs = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("large.txt"));
    WriteLargeData(path, inputs);
    auto dialogs = std::make_unique<orvanel::FakeUserDialogs>();
    orvanel::FakeUserDialogs& shown = *dialogs;
    orvanel::TMainForm form(std::move(dialogs));
    form.resize(1400, 900);
    form.show();
    form.OpenDocuments({path});
    orvanel::TMDIMainChild* document = form.Documents().constFirst();
    document->Engine().SetPopulationSize(10);
    document->Engine().Generations = 2;
    GapMeter meter;
    qint64 longest = 0;
    for (auto _ : state) {
        meter.Start();
        QElapsedTimer run;
        run.start();
        document->ExecuteAlgorithmMenuClick();
        longest = meter.Stop();
        state.counters["run_ms"] = static_cast<double>(run.elapsed());
    }
    state.counters["longest_gap_ms"] = static_cast<double>(longest);
    // The two long steps on the interface thread, alone.
    QElapsedTimer step;
    step.start();
    const orvanel::DataTable copy = document->Doc().Table();
    state.counters["copy_table_ms"] = static_cast<double>(step.restart());
    const orvanel::TableSamples samples = orvanel::TableSamples::FromTable(copy);
    state.counters["read_table_ms"] = static_cast<double>(step.restart());
    samples.HandTo(document->Engine());
    state.counters["hand_over_ms"] = static_cast<double>(step.restart());
    document->Driver().ShowResults();
    state.counters["show_results_ms"] = static_cast<double>(step.elapsed());
    std::printf("%d inputs x %d samples: longest event-loop gap %lld ms, generations done %d%s%s\n",
                inputs, Samples, static_cast<long long>(longest),
                document->Engine().Evolving() ? document->Engine().Generation() + 1 : 0,
                shown.errors.isEmpty() && shown.messages.isEmpty() ? "" : ", ended with: ",
                qPrintable((shown.errors + shown.messages).join(QStringLiteral("; "))));
}
BENCHMARK(BM_RunGap)->Arg(50)->Arg(5)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
