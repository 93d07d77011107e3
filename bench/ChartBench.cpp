// Cost of one refill of the measured-against-computed chart: 100,000 points in two series set
// cell by cell, then one redraw into a picture.
#include "window/MSChart.h"
#include "model/NumberText.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <qcustomplot.h>
#include <string>
#include <vector>

namespace {

constexpr int PointCount = 100'000;

// The texts a run writes: a measured and a computed output, 15 significant digits.
std::vector<std::string> SeriesTexts(double phase) {
    std::vector<std::string> texts;
    texts.reserve(PointCount);
    for (int i = 0; i < PointCount; ++i)
        texts.push_back(orvanel::FormatGeneral(std::sin(0.001 * i + phase) * 3.7, 15));
    return texts;
}

void Fill(orvanel::TMSChart& chart, const std::vector<std::string>& measured,
          const std::vector<std::string>& computed) {
    chart.SetRowCount(PointCount);
    for (int r = 1; r <= PointCount; ++r) {
        chart.SetRow(r);
        chart.SetColumn(1);
        chart.SetData(measured[static_cast<std::size_t>(r - 1)]);
        chart.SetColumn(2);
        chart.SetData(computed[static_cast<std::size_t>(r - 1)]);
    }
}

void Render(orvanel::TMSChart& chart) {
    chart.Refresh();
    benchmark::DoNotOptimize(chart.Plot()->toPixmap(800, 600));
}

// The first fill of a new chart: every cell is new.
void FirstFillAndRender(benchmark::State& state) {
    const std::vector<std::string> measured = SeriesTexts(0.0);
    const std::vector<std::string> computed = SeriesTexts(0.1);
    for (auto _ : state) {
        state.PauseTiming();
        auto chart = std::make_unique<orvanel::TMSChart>();
        chart->resize(800, 600);
        chart->SetColumnCount(2);
        state.ResumeTiming();
        Fill(*chart, measured, computed);
        Render(*chart);
    }
}
BENCHMARK(FirstFillAndRender)->Unit(benchmark::kMillisecond);

// A progress tick: the same measured output, a new computed output.
void RefillAndRender(benchmark::State& state) {
    const std::vector<std::string> measured = SeriesTexts(0.0);
    const std::vector<std::string> computed[] = {SeriesTexts(0.1), SeriesTexts(0.2)};
    orvanel::TMSChart chart;
    chart.resize(800, 600);
    chart.SetColumnCount(2);
    std::size_t tick = 0;
    for (auto _ : state) {
        Fill(chart, measured, computed[tick++ % 2]);
        Render(chart);
    }
}
BENCHMARK(RefillAndRender)->Unit(benchmark::kMillisecond);

} // namespace
