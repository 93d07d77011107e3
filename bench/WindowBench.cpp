// How the document window keeps up with the largest table: 100,000 data points of 50 inputs
// and the output, shown in the grid, offscreen; and how fast the plot window of a
// 100,000-row document shows another of its kept models.

#include "app/MainForm.h"
#include "app/PlotChild.h"
#include "document/table/TableSamples.h"
#include "window/DocumentHost.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"
#include "window/QtUserDialogs.h"
#include "window/RunDriver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTableView>
#include <benchmark/benchmark.h>

namespace {

using orvanel::TMDIMainChild;

class BenchHost : public orvanel::DocumentHost {
public:
    orvanel::UserDialogs& Dialogs() override { return dialogs_; }
    bool SaveDocumentWindow(TMDIMainChild&) override { return false; }
    void SetStatusText(const QString&) override {}
    void SetGauge(int, int, int) override {}
    void SetExecuteImageIndex(int) override {}
    void TileMenuClick() override {}
    orvanel::RunPlot* FindPlotWindow(const QString&) override { return nullptr; }
    orvanel::RunPlot* CreatePlotWindow() override { return nullptr; }

private:
    // Deleting many rows asks first; the benchmark answers Yes.
    class YesDialogs : public orvanel::QtUserDialogs {
        bool AskDeleteRows(QWidget*, int) override { return true; }
    };
    YesDialogs dialogs_;
};

QString LargeTableText() {
    QString line;
    for (int column = 1; column <= 51; ++column) {
        line += QStringLiteral("%1.25\t").arg(-column * 3);
    }
    line.chop(1);
    line += QStringLiteral("\r\n");
    return line.repeated(100000);
}

struct LargeDocument {
    BenchHost host;
    TMDIMainChild window{host, QStringLiteral("New1")};
    QTableView* grid = window.findChild<QTableView*>();

    LargeDocument() {
        window.resize(1200, 800);
        window.show();
        QGuiApplication::clipboard()->setText(LargeTableText());
        window.PasteTable();
    }
    // Selects data rows first..last, as dragging over their numbers does.
    void SelectRows(int first, int last) {
        QAbstractItemModel* model = grid->model();
        grid->selectionModel()->select(
            QItemSelection(model->index(first - 1, 0), model->index(last - 1, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Renders the visible cells as a repaint of the window would.
    void Paint() { benchmark::DoNotOptimize(grid->viewport()->grab()); }
};

// Reading 100,000 x 51 cells from the clipboard into the table and drawing the grid again.
void BM_PasteLargeTable(benchmark::State& state) {
    LargeDocument document;
    for (auto _ : state) {
        document.window.PasteTable();
        document.Paint();
    }
}
BENCHMARK(BM_PasteLargeTable)->Unit(benchmark::kMillisecond);

// Jumping between the first and the last rows, as dragging the scroll bar does.
void BM_ScrollLargeTable(benchmark::State& state) {
    LargeDocument document;
    bool bottom = false;
    for (auto _ : state) {
        bottom = !bottom;
        if (bottom) {
            document.grid->scrollToBottom();
        } else {
            document.grid->scrollToTop();
        }
        document.Paint();
    }
}
BENCHMARK(BM_ScrollLargeTable)->Unit(benchmark::kMillisecond);

// "Add" and "Del" on the first row, each followed by drawing the grid.
void BM_InsertAndDeleteFirstRow(benchmark::State& state) {
    LargeDocument document;
    document.grid->setCurrentIndex(document.grid->model()->index(0, 0));
    for (auto _ : state) {
        document.window.AddBitBtnClick();
        document.Paint();
        document.window.DelBitBtnClick();
        document.Paint();
    }
}
BENCHMARK(BM_InsertAndDeleteFirstRow)->Unit(benchmark::kMillisecond);

// Two inputs and the output over 100,000 rows, with two first-order models kept.
struct DocumentWithModels {
    orvanel::TMainForm form;
    TMDIMainChild* window = form.CreateDocumentWindow(QStringLiteral("models"));

    DocumentWithModels() {
        form.resize(1400, 900);
        form.show();
        std::string rows;
        for (int k = 0; k < 100000; ++k) {
            rows += std::to_string((k / 50) % 2) + "\t" + std::to_string((k / 70) % 3) + "\t" +
                    std::to_string(0.001 * (k % 997)) + "\r\n";
        }
        window->LoadProjectRows(rows);
        const orvanel::TableSamples samples =
            orvanel::TableSamples::FromTable(window->Doc().Table());
        for (const double pole : {0.8, 0.95}) {
            orvanel::LinearModel::Input input;
            input.Gain = 1.0 - pole;
            input.Poles = {{false, pole, 0.0, 0.0}};
            orvanel::KeptModel kept;
            kept.Factors = orvanel::LinearModel{{input, input}};
            kept.Coefficients = orvanel::KeptModel::CoefficientsOf(*kept.Factors, {}, false, {});
            kept.SimulateOn(samples, 100000);
            window->Doc().History().Add(std::move(kept));
        }
        window->Driver().ShowPlotWindow();
    }
};

// Choosing the other model: the computed column, the output chart, the function views and the
// list filled again, and the plot window drawn.
void BM_ChooseModelOfLargeDocument(benchmark::State& state) {
    DocumentWithModels document;
    auto* plot = dynamic_cast<orvanel::TPlotMDIChild*>(document.window->Driver().PlotWindow());
    std::size_t chosen = 0;
    for (auto _ : state) {
        document.window->Driver().ChooseModel(chosen);
        plot->OutputChart().Refresh();
        benchmark::DoNotOptimize(plot->grab());
        chosen = 1 - chosen;
    }
}
BENCHMARK(BM_ChooseModelOfLargeDocument)->Unit(benchmark::kMillisecond);

// "Del" on all rows but the last, each followed by drawing the grid; Undo puts them back untimed.
void BM_DeleteAllButOneRow(benchmark::State& state) {
    LargeDocument document;
    for (auto _ : state) {
        document.SelectRows(1, 99999);
        document.window.DelBitBtnClick();
        document.Paint();
        state.PauseTiming();
        document.window.UndoEditMenuClick();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteAllButOneRow)->Unit(benchmark::kMillisecond);

// Edit > Undo of that deletion: the 99,999 rows come back in one block.
void BM_UndoDeleteAllButOneRow(benchmark::State& state) {
    LargeDocument document;
    for (auto _ : state) {
        state.PauseTiming();
        document.SelectRows(1, 99999);
        document.window.DelBitBtnClick();
        state.ResumeTiming();
        document.window.UndoEditMenuClick();
        document.Paint();
    }
}
BENCHMARK(BM_UndoDeleteAllButOneRow)->Unit(benchmark::kMillisecond);

} // namespace
