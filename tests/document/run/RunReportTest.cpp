#include "document/run/RunReport.h"

#include "engine/search/Genetico.h"
#include "model/NumberText.h"
#include "model/RunError.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace orvanel {
namespace {

namespace fs = std::filesystem;

const ReportTimestamp Timestamp{2026, 3, 5, 9, 7, 2};

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class RunReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() /
            ("orvanel-report-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        Rnd::GlobalState().SystemSeed = 0;
        engine = std::make_unique<TGenetico>(250);
        engine->SetPopulationSize(6);
        engine->Generations = 2;
        engine->PreservedIndividuals = 2;
        engine->SelectionType = 1;
        engine->SetMutationProbability(0.5);
        engine->SetDataSize(2, 30);
        for (int k = 0; k < 30; ++k) {
            const double u1 = (k * 7) % 5;
            const double u2 = (k * 3) % 4;
            engine->SetDataRow(std::vector<double>{u1, u2, 0.5 * u1 + 2.0 * u2}, k + 1);
        }
        engine->SetInputCount(2);
        engine->SetGenesPerInput(6);
        for (int g = 0; g < 6; ++g)
            engine->SetGeneRange(g, -1.0, 1.0);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs the engine with a report, keeping every row as the engine saw it.
    std::string RunWithReport(RunReport& report) {
        const fs::path path = folder / "plant_Report.txt";
        report.BeginReport(path.string(), *engine, Timestamp);
        engine->AppendEvolutionRow = [&](const TGenetico& e) {
            report.AppendEvolutionRow(e);
            mutations.push_back(e.Mutations());
            means.push_back(e.MeanFitness());
            firstBitCounts.push_back(e.BestModel().Functions()[0].BitCount());
            bitCounts.push_back(e.BestModel().Functions()[0].BitCount() +
                                e.BestModel().Functions()[1].BitCount());
        };
        engine->Run();
        report.EndReport(engine->BestModel());
        return ReadFile(path);
    }

    fs::path folder;
    std::unique_ptr<TGenetico> engine;
    std::vector<int> mutations;
    std::vector<double> means;
    std::vector<int> firstBitCounts;
    std::vector<int> bitCounts;
};

TEST(ReportPath, ReplacesAnExtensionOfTwoToFourCharactersWithReport) {
    EXPECT_EQ(RunReport::ReportPathFor("C:\\data\\plant.txt"), "C:\\data\\plant_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("C:\\data\\plant"), "C:\\data\\plant_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u/run1.data"), "/home/u/run1_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u/run1.tx"), "/home/u/run1_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u/x.tar.gz"), "/home/u/x.tar_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u/run1.texts"), "/home/u/run1.texts_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u.v.w/ab"), "/home/u.v.w/ab_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("/home/u/.ab"), "/home/u/_Report.txt");
    EXPECT_EQ(RunReport::ReportPathFor("plant.txt"), "plant_Report.txt");
}

TEST_F(RunReportTest, HeadingListsTheParametersLineByLine) {
    RunReport report;
    const std::string text = RunWithReport(report);
    const std::vector<std::string> lines = Split(text, "\r\n");
    ASSERT_GE(lines.size(), 15u);
    const std::vector<std::string> heading(lines.begin(), lines.begin() + 15);
    EXPECT_EQ(heading, (std::vector<std::string>{
                           "Report generated on 03/05/26 at 09:07:02",
                           "",
                           "ALGORITHM PARAMETERS",
                           "Population: 6",
                           "Generations: 2",
                           "Selection Type: Tournament Selection",
                           "Elitism: 2",
                           "Mutation Probability: 0.5",
                           "Reproduction Probability: 0.85",
                           "Selection Probability: 0.7",
                           "Regeneration Period: 10",
                           "Regeneration Percent: 10",
                           "",
                           "EVOLUTION",
                           "Generation\tMean\tStd. Deviation\tMutations\tReproductions\tOptimum "
                           "Genotype\tOptimum Fenotype\tOptimum",
                       }));
}

TEST_F(RunReportTest, RowsAndTheOptimumFollowTheHeading) {
    RunReport report;
    const std::string text = RunWithReport(report);
    // Every line ends with CR LF except the last, which has no line end.
    EXPECT_EQ(Split(text, "\n").size(), Split(text, "\r\n").size());
    EXPECT_NE(text.back(), '\n');

    const std::vector<std::string> lines = Split(text, "\r\n");
    ASSERT_EQ(lines.size(), 15u + 3u + 2u + 1u + 2u + 1u);
    for (std::size_t g = 0; g < 3; ++g) {
        const std::vector<std::string> fields = Split(lines[15 + g], "\t");
        ASSERT_EQ(fields.size(), 8u);
        EXPECT_EQ(fields[0], std::to_string(g));
        EXPECT_EQ(fields[1], FormatGeneral(means[g], 5));
        EXPECT_EQ(fields[3], std::to_string(mutations[g]));
        // Each input's bits, one character per bit, each followed by " // ".
        EXPECT_EQ(fields[5].size(), static_cast<std::size_t>(bitCounts[g]) + 8u);
        EXPECT_EQ(fields[5].find_first_not_of("01"), static_cast<std::size_t>(firstBitCounts[g]));
        EXPECT_EQ(fields[5].substr(fields[5].size() - 4), " // ");
        EXPECT_EQ(Split(fields[6], " // ").size(), 3u);
        EXPECT_EQ(fields[6].substr(fields[6].size() - 4), " // ");
    }
    const TMISOFunTrans& best = engine->BestModel();
    const auto& f = best.Functions();
    EXPECT_EQ(lines[18], "");
    EXPECT_EQ(lines[19], "");
    EXPECT_EQ(lines[20], "OPTIMUM SOLUTION");
    EXPECT_EQ(lines[21], "Input 1: " + f[0].NumText + "/" + f[0].DenText);
    EXPECT_EQ(lines[22], "Input 2: " + f[1].NumText + "/" + f[1].DenText);
    EXPECT_EQ(lines[23], "Objective Function = " + FormatGeneral(best.Error, 15));
    EXPECT_NE(f[0].DenText.find("\xC2\xB7z^"), std::string::npos);
}

TEST_F(RunReportTest, UsesTheLocaleSeparatorsGiven) {
    RunReport report(ReportSeparators{".", ".", ','});
    engine->SetMutationProbability(0.25);
    const std::string text = RunWithReport(report);
    const std::vector<std::string> lines = Split(text, "\r\n");
    EXPECT_EQ(lines[0], "Report generated on 03.05.26 at 09.07.02");
    EXPECT_EQ(lines[7], "Mutation Probability: 0,25");
    EXPECT_EQ(lines[8], "Reproduction Probability: 0,85");
    for (std::size_t i = 15; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].find('.'), std::string::npos) << lines[i];
    EXPECT_NE(text.find(','), std::string::npos);
}

TEST_F(RunReportTest, FailuresNameTheFileAndTheReason) {
    RunReport report;
    const std::string missing = (folder / "no such folder" / "plant_Report.txt").string();
    try {
        report.BeginReport(missing, *engine, Timestamp);
        FAIL() << "created";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create the report file " + missing + ": No such file or directory");
    }
    // A device would block or swallow the report.
    try {
        report.BeginReport("/dev/full", *engine, Timestamp);
        FAIL() << "created";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create the report file /dev/full: Not a regular file");
    }
    EXPECT_FALSE(report.IsOpen());
}

TEST_F(RunReportTest, AFailedRunSaysSoInsteadOfTheSolution) {
    RunReport report;
    const fs::path path = folder / "plant_Report.txt";
    report.BeginReport(path.string(), *engine, Timestamp);
    report.EndReport(engine->BestModel(), RunReport::FailureText(RunError::AllEqual()));
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.substr(text.find("\r\n\r\n\r\n")),
              "\r\n\r\n\r\nRUN FAILED: Todos Iguales: fewer than two models of the population "
              "could be evaluated");
    EXPECT_EQ(RunReport::FailureText(RunError("Not enough memory")), "Not enough memory");
    // Only the engine's failure is explained, not another error that happens to share its text.
    EXPECT_EQ(RunReport::FailureText(std::runtime_error("Todos Iguales")), "Todos Iguales");
}

TEST_F(RunReportTest, AnAbandonedReportLeavesThePreviousOne) {
    const fs::path path = folder / "plant_Report.txt";
    std::ofstream(path) << "previous";
    RunReport report;
    report.BeginReport(path.string(), *engine, Timestamp);
    report.AppendEvolutionRow(*engine);
    report.Abandon();
    EXPECT_FALSE(report.IsOpen());
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(RunReportTest, ANewReportReplacesTheOldFile) {
    const fs::path path = folder / "plant_Report.txt";
    std::ofstream(path) << std::string(100000, 'x');
    RunReport report;
    report.BeginReport(path.string(), *engine, Timestamp);
    report.EndReport(engine->BestModel());
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.find('x'), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 22), "Objective Function = 0");
}

} // namespace
} // namespace orvanel
