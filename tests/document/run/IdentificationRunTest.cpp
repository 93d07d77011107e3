#include "document/run/IdentificationRun.h"

#include "document/table/DataTable.h"
#include "document/table/TableSamples.h"
#include "document/table/TableText.h"
#include "engine/analysis/CancellingInputs.h"
#include "engine/linear/FitFigure.h"
#include "engine/search/Genetico.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace orvanel {
namespace {

namespace fs = std::filesystem;

TableSamples Samples(std::string_view text) {
    DataTable table;
    TableText::ParseTableText(table, text, TableText::LineEnds::AnyForm);
    return TableSamples::FromTable(table);
}

std::string TwoInputText(int rows) {
    std::string text;
    for (int k = 0; k < rows; ++k) {
        const int u1 = (k * 7) % 5;
        const int u2 = (k * 3) % 4;
        text += std::to_string(u1) + "\t" + std::to_string(u2) + "\t" +
                std::to_string(u1 + 2 * u2) + "\r\n";
    }
    return text;
}

// A first-order plant around a working point: inputs near 10 and 5, the output near 50.
struct OffsetPlant {
    std::vector<double> U1, U2, Y;
    std::string Text;

    explicit OffsetPlant(int rows) {
        double deviation = 0.0;
        for (int k = 0; k < rows; ++k) {
            U1.push_back(10.0 + (k * 7) % 5);
            U2.push_back(5.0 + (k * 3) % 4);
            const std::string y = std::to_string(50.0 + deviation);
            Y.push_back(std::stod(y));
            deviation = 0.6 * deviation + 0.5 * (U1.back() - 12.0) - 0.25 * (U2.back() - 6.5);
            Text +=
                std::to_string(U1.back()) + "\t" + std::to_string(U2.back()) + "\t" + y + "\r\n";
        }
    }
};

double MeanOf(const std::vector<double>& values, std::size_t rows) {
    double sum = 0.0;
    for (std::size_t r = 0; r < rows; ++r)
        sum = sum + values[r];
    return sum / static_cast<double>(rows);
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::size_t RowCount(const std::string& report) {
    const std::size_t table = report.find("EVOLUTION\r\n");
    const std::size_t end = report.find("\r\n\r\n\r\nOPTIMUM SOLUTION");
    if (table == std::string::npos || end == std::string::npos)
        return 0;
    const std::string rows = report.substr(table, end - table);
    return static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n')) - 1;
}

class IdentificationRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("orvanel-run-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder);
        engine.SetPopulationSize(6);
        engine.Generations = 4;
        engine.PreservedIndividuals = 2;
    }
    void TearDown() override { fs::remove_all(folder); }
    void PrepareThoroughRun() {
        Rnd::GlobalState().SystemSeed = 0;
        run.Options.Thorough = true;
        engine.SetPopulationSize(20);
    }

    fs::path folder;
    TGenetico engine{250};
    IdentificationRun run{engine};
};

TEST_F(IdentificationRunTest, HandOverGivesSixGenesInMinusOneToOneAndTheEnginesRefusal) {
    EXPECT_EQ(run.HandOver(Samples(TwoInputText(20))), std::nullopt);
    EXPECT_EQ(engine.InputCount(), 2);
    EXPECT_EQ(engine.SampleCount(), 20);
    EXPECT_EQ(engine.GenesPerInput(), IdentificationRun::GenesPerInput);
    EXPECT_EQ(engine.GeneMin(), std::vector<double>(6, -1.0));
    EXPECT_EQ(engine.GeneMax(), std::vector<double>(6, 1.0));

    engine.RegenerationPeriod = 0;
    EXPECT_EQ(run.HandOver(Samples(TwoInputText(20))),
              "The Population Refresh Period must be at least 1 generation.");
    EXPECT_EQ(run.Finish(""), "");
    EXPECT_FALSE(run.ReportBegun());
}

TEST_F(IdentificationRunTest, WritesOneRowPerGenerationAndCallsTheOwnerBack) {
    ASSERT_EQ(run.HandOver(Samples(TwoInputText(20))), std::nullopt);
    const fs::path path = folder / "plant_Report.txt";
    run.BeginReport(path.string());
    int rows = 0;
    int progress = 0;
    int seeded = 0;
    run.OnRow = [&](const TGenetico& e) { EXPECT_EQ(e.Generation(), rows++); };
    run.OnProgress = [&] { ++progress; };
    run.BeforeRun = [&] { EXPECT_EQ(progress + seeded++, 0); };
    EXPECT_EQ(run.Run(), "");
    EXPECT_TRUE(run.ReportBegun());
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(seeded, 1);
    // Five generations, and the first population filled position by position.
    EXPECT_GE(progress, 5 + 6);
    const std::string report = ReadFile(path);
    EXPECT_EQ(RowCount(report), 5u);
    EXPECT_EQ(report.substr(report.rfind("\r\n") + 2),
              run.Report().OptimumLines(engine.BestModel()).back());
    // The run's callbacks are the engine's only while it runs.
    EXPECT_FALSE(engine.ProcessMessages);
    EXPECT_FALSE(engine.AppendEvolutionRow);
    EXPECT_FALSE(engine.KeepResponsive);

    // A stop asked at a yield ends the run after that generation, the report complete.
    run.BeginReport(path.string());
    run.OnRow = nullptr;
    run.BeforeRun = nullptr;
    run.OnProgress = [&] {
        if (engine.Evolving() && engine.Generation() == 1)
            engine.RequestStop();
    };
    EXPECT_EQ(run.Run(), "");
    EXPECT_EQ(RowCount(ReadFile(path)), 2u);
}

TEST_F(IdentificationRunTest, TheFirstFailureWinsAndTheReportIsStillEnded) {
    const std::string allEqual =
        "Todos Iguales: fewer than two models of the population could be evaluated";
    // Every simulated residual overflows: no model can be scored, and the run says why.
    std::string huge;
    for (int r = 0; r < 8; ++r)
        huge += r == 2 ? "1\t-2E200\r\n" : "1\t1E200\r\n";
    ASSERT_EQ(run.HandOver(Samples(huge)), std::nullopt);
    const fs::path path = folder / "plant_Report.txt";
    run.BeginReport(path.string());
    const std::string failure = allEqual + "; the value -2E200 in row 3, column 2 is too large: "
                                           "the squared errors overflow. Scale the data down.";
    EXPECT_EQ(run.Run(), failure);
    const std::string report = ReadFile(path);
    EXPECT_NE(report.find("\r\n\r\n\r\nRUN FAILED: " + failure), std::string::npos);
    EXPECT_EQ(report.find("OPTIMUM SOLUTION"), std::string::npos);

    // A report that cannot be moved into place is the failure when the run has none.
    ASSERT_EQ(run.HandOver(Samples(TwoInputText(20))), std::nullopt);
    const fs::path gone = folder / "gone";
    fs::create_directory(gone);
    run.BeginReport((gone / "r.txt").string());
    run.OnRow = [&](const TGenetico&) { fs::remove_all(gone); };
    EXPECT_EQ(run.Run(), "Cannot create the report file " + (gone / "r.txt").string() +
                             ": No such file or directory");
    run.OnRow = nullptr;
    run.BeginReport(path.string());
    EXPECT_EQ(run.Finish("The plot window could not be opened"),
              "The plot window could not be opened");
    EXPECT_NE(ReadFile(path).find("RUN FAILED: The plot window could not be opened"),
              std::string::npos);

    EXPECT_THROW(run.BeginReport((folder / "missing" / "r.txt").string()), std::runtime_error);
    EXPECT_FALSE(run.ReportBegun());
}

TEST_F(IdentificationRunTest, OffsetsAndAValidationPartShapeTheSearchAndTheFigures) {
    const OffsetPlant plant(200);
    Rnd::GlobalState().SystemSeed = 0;
    run.Options.RemoveOffsets = true;
    run.Options.ValidationPercent = 25;
    run.Options.Refine = true;
    engine.SetPopulationSize(40);
    engine.Generations = 10;
    ASSERT_EQ(run.HandOver(Samples(plant.Text)), std::nullopt);
    // The engine sees the first 150 rows less their means over those rows.
    ASSERT_EQ(engine.SampleCount(), 150);
    EXPECT_DOUBLE_EQ(engine.DataColumn(0)[0], 10.0 - MeanOf(plant.U1, 150));
    EXPECT_DOUBLE_EQ(engine.DataColumn(2)[149], plant.Y[149] - MeanOf(plant.Y, 150));

    const fs::path path = folder / "plant_Report.txt";
    run.BeginReport(path.string());
    ASSERT_EQ(run.Run(), "");
    ASSERT_TRUE(run.Result());
    const IdentifiedModel& result = *run.Result();
    EXPECT_EQ(result.ValidationBegins, 150u);
    ASSERT_EQ(result.Computed.size(), 200u);
    EXPECT_DOUBLE_EQ(result.Offsets.OutputMean(), MeanOf(plant.Y, 150));
    // The figures are those of the computed output, its offset added back, against the data.
    EXPECT_EQ(result.EstimationFit, FitFigure::Percent(plant.Y, result.Computed, 0, 150));
    EXPECT_EQ(result.ValidationFit, FitFigure::Percent(plant.Y, result.Computed, 150, 200));
    EXPECT_NEAR(result.EstimationFit, 63.54, 0.005);
    EXPECT_NEAR(result.ValidationFit, 61.78, 0.005);

    const std::string report = ReadFile(path);
    const std::string objective = run.Report().OptimumLines(engine.BestModel()).back();
    EXPECT_NE(report.find(objective + "\r\n\r\n\r\nMODEL QUALITY\r\nEstimation rows: 1 to 150\r\n"
                                      "Validation rows: 151 to 200\r\nMean of input 1: "),
              std::string::npos);
    EXPECT_EQ(report.substr(report.rfind("\r\n") + 2), "Fit (validation) = 61.78 %");
}

TEST_F(IdentificationRunTest, RefinementIsNeverWorseAndRestartsDoNotDependOnThreads) {
    const OffsetPlant plant(120);
    const auto identify = [&](bool refine, int restarts, int threads) {
        // The integer source carries on from run to run: each starts as a fresh process would.
        Rnd::GlobalState().SystemSeed = 0;
        TGenetico search(250);
        search.SetPopulationSize(6);
        search.Generations = 4;
        search.ThreadCount = threads;
        IdentificationRun each(search);
        each.Options.RemoveOffsets = true;
        each.Options.Refine = refine;
        each.Options.Restarts = restarts;
        EXPECT_EQ(each.HandOver(Samples(plant.Text)), std::nullopt);
        EXPECT_EQ(each.Run(), "");
        return *each.Result();
    };
    const IdentifiedModel plain = identify(false, 1, 1);
    const IdentifiedModel refined = identify(true, 1, 1);
    EXPECT_FALSE(plain.Refined);
    EXPECT_TRUE(refined.Refined);
    EXPECT_LT(refined.EstimationError, plain.EstimationError);
    EXPECT_GE(refined.EstimationFit, plain.EstimationFit);

    const IdentifiedModel one = identify(true, 3, 1);
    const IdentifiedModel three = identify(true, 3, 3);
    EXPECT_EQ(one.Model, three.Model);
    EXPECT_EQ(one.Computed, three.Computed);
    EXPECT_EQ(one.Restart, three.Restart);
    EXPECT_LE(one.EstimationError, refined.EstimationError);
}

// A stop asked for while the restarts run ends them after their current generation and leaves
// their models out: the run's own refined model remains, as if there had been no restarts.
TEST_F(IdentificationRunTest, AStopDuringTheRestartsLeavesThemOut) {
    const OffsetPlant plant(120);
    const auto identify = [&](int restarts, bool stop) {
        Rnd::GlobalState().SystemSeed = 0;
        TGenetico search(250);
        search.SetPopulationSize(6);
        search.Generations = 5000;
        search.ThreadCount = 1;
        IdentificationRun each(search);
        each.Options.Refine = true;
        each.Options.Restarts = restarts;
        bool searched = false;
        int served = 0;
        each.OnRow = [&](const TGenetico& e) { searched = e.Generation() >= e.Generations; };
        each.OnResponsive = [&] {
            served += searched ? 1 : 0;
            if (stop && searched)
                search.RequestStop();
        };
        EXPECT_EQ(each.HandOver(Samples(plant.Text)), std::nullopt);
        EXPECT_EQ(each.Run(), "");
        return std::pair(*each.Result(), served);
    };
    const auto [alone, none] = identify(1, false);
    const auto [stopped, served] = identify(3, true);
    EXPECT_EQ(stopped.Model, alone.Model);
    EXPECT_EQ(stopped.Restart, 0);
    // Each call is a wait of 40 ms; restarts left to run would take most of a second.
    EXPECT_GE(served, 1);
    EXPECT_LE(served, 5);
}

// With the offset taken out a constant output is zero throughout, which any model with small
// enough gains matches, unstable poles and all: the run gives the simplest model instead.
TEST_F(IdentificationRunTest, AThoroughRunOnAConstantOutputGivesTheSimplestModel) {
    std::string text;
    for (int k = 0; k < 60; ++k)
        text += std::to_string((k * 7) % 5) + "\t" + std::to_string((k * 3) % 4) + "\t5\r\n";
    run.Options.Thorough = true;
    ASSERT_EQ(run.HandOver(Samples(text)), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    EXPECT_EQ(run.Result()->Model, LinearModel::Simplest(2));
}

// 0.5 / (z^5 (z - 0.9)) with 1 % noise, as the text of a table: each run of rows from rest.
std::string DeadTimePlantText(int rows, unsigned seed) {
    std::string text;
    unsigned state = seed;
    const auto draw = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 16) % 2001) / 1000.0 - 1.0;
    };
    std::vector<double> u;
    double y = 0.0;
    for (int k = 0; k < rows; ++k) {
        u.push_back(k % 10 == 0 ? (draw() < 0.0 ? -1.0 : 1.0) : u.empty() ? 1.0 : u.back());
        text += std::to_string(u.back()) + "\t" + std::to_string(y + 0.05 * draw()) + "\r\n";
        y = 0.9 * y + (k >= 5 ? 0.5 * u[static_cast<std::size_t>(k) - 5] : 0.0);
    }
    return text;
}

void ExpectTheDeadTimePlant(const LinearModel::Input& found) {
    EXPECT_EQ(found.Delay, 5);
    ASSERT_EQ(found.Poles.size(), 1u);
    EXPECT_FALSE(found.Poles[0].Pair);
    EXPECT_TRUE(found.Zeros.empty());
    EXPECT_NEAR(found.Poles[0].Root, 0.9, 0.005);
    EXPECT_NEAR(found.Gain, 0.5, 0.02);
}

// The search alone imitates the dead time with fast poles.
TEST_F(IdentificationRunTest, AThoroughRunFindsTheOrderAndDeadTimeOfAFirstOrderPlant) {
    PrepareThoroughRun();
    ASSERT_EQ(run.HandOver(Samples(DeadTimePlantText(800, 7))), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    ExpectTheDeadTimePlant(run.Result()->Model.Inputs.at(0));
}

// The hold-out judges the last rows of each experiment's estimation part; one of a single
// row has none to fit on.
TEST_F(IdentificationRunTest, AThoroughRunOnSeveralExperimentsFindsThePlantToo) {
    PrepareThoroughRun();
    const std::vector<TableSamples> experiments{Samples(DeadTimePlantText(500, 7)),
                                                Samples(DeadTimePlantText(1, 3)),
                                                Samples(DeadTimePlantText(400, 11))};
    ASSERT_EQ(run.HandOver(experiments, {"a", "b", "c"}), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    ExpectTheDeadTimePlant(run.Result()->Model.Inputs.at(0));
}

// The plant's input beside a second column that moves with it (2 u + 3): the data cannot tell
// their shares apart, so a model with opposing gains fits as well as one without and parts
// from the plant anywhere else. The kept model has none.
TEST_F(IdentificationRunTest, AThoroughRunKeepsNoOpposingGainsOfInputsThatMoveTogether) {
    PrepareThoroughRun();
    std::string text;
    std::istringstream lines(DeadTimePlantText(600, 7));
    for (std::string line; std::getline(lines, line);) {
        const double u = std::stod(line);
        text += std::to_string(u) + "\t" + std::to_string(2.0 * u + 3.0) +
                line.substr(line.find('\t'));
    }
    ASSERT_EQ(run.HandOver(Samples(text)), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    const LinearModel& kept = run.Result()->Model;
    EXPECT_TRUE(CancellingInputs::Of(kept, run.EstimationData().Inputs, run.EstimationData().Rows)
                    .empty());
}

// The window stays served while the hold-out refits, and a stop there leaves the choice to the
// searches' scores.
TEST_F(IdentificationRunTest, AStopWhileTheHoldOutChoosesKeepsTheBestSearch) {
    PrepareThoroughRun();
    engine.ResponsiveInterval = std::chrono::milliseconds(0);
    bool choosing = false;
    run.OnResponsive = [&] {
        if (run.Progress().Text == "Choosing the model on held-out rows") {
            choosing = true;
            engine.RequestStop();
        }
    };
    ASSERT_EQ(run.HandOver(Samples(DeadTimePlantText(800, 7))), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    EXPECT_TRUE(choosing);
    EXPECT_EQ(run.Stopped(), IdentificationRun::StopPhase::HoldOut);
    EXPECT_EQ(run.StopLines().back(), "Stopped while choosing the model on held-out rows: the "
                                      "model of search 4, the best by its score, kept.");
    ASSERT_TRUE(run.Result().has_value());
    EXPECT_EQ(run.Progress().Text, "");
}

// A hold-out whose threads could not start ends its run with an error while still choosing:
// the next run's status line must not go on saying so.
TEST(RunProgressTest, ANewRunForgetsAnUnfinishedHoldOut) {
    RunProgress progress;
    progress.Choosing = true;
    progress.NoteStop(RunProgress::StopPhase::HoldOut);
    progress.Begin();
    EXPECT_EQ(progress.Progress(4, {}).Text, "");
    EXPECT_TRUE(progress.StopLines(100, 4, 1).empty());
}

// A slice names its own searches on the progress line, and one stopped during the run's own
// search still holds an entry for each of its searches, without a model for those not run, so
// that the processes of a stopped run can merge what they finished.
TEST_F(IdentificationRunTest, ASliceShowsItsOwnSearchesAndAStoppedOneHoldsThemAll) {
    const OffsetPlant plant(120);
    engine.Generations = 300;
    engine.ThreadCount = 1;
    engine.ResponsiveInterval = std::chrono::milliseconds(0);
    run.Options.Restarts = 8;
    run.Slice = {1, 3};
    std::vector<std::string> shown;
    run.OnResponsive = [&] {
        const std::string text = run.Progress().Text;
        if (!text.empty() && (shown.empty() || shown.back() != text))
            shown.push_back(text);
    };
    ASSERT_EQ(run.HandOver(Samples(plant.Text)), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    EXPECT_EQ(shown, (std::vector<std::string>{"Search 1 of 8 (slice 1 of 3: 1 of 3)",
                                               "Search 4 of 8 (slice 1 of 3: 2 of 3)",
                                               "Search 7 of 8 (slice 1 of 3: 3 of 3)"}));

    TGenetico search(250);
    search.SetPopulationSize(6);
    search.Generations = 5000;
    IdentificationRun stopped(search);
    stopped.Options.Restarts = 8;
    stopped.Slice = {0, 3};
    stopped.OnRow = [&](const TGenetico& e) {
        if (e.Generation() == 3)
            search.RequestStop();
    };
    ASSERT_EQ(stopped.HandOver(Samples(plant.Text)), std::nullopt);
    ASSERT_EQ(stopped.Run(), "");
    EXPECT_EQ(stopped.Stopped(), IdentificationRun::StopPhase::Search);
    const auto& searches = stopped.SliceSearches();
    ASSERT_EQ(searches.size(), 3u);
    EXPECT_EQ(searches[0].Index, 0);
    EXPECT_TRUE(searches[0].Model.has_value());
    EXPECT_EQ(searches[2].Index, 6);
    EXPECT_FALSE(searches[1].Model.has_value() || searches[2].Model.has_value());
}

} // namespace
} // namespace orvanel
