// Runs the built orvanel-identify on generated data files.
#include "cli/ExampleData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <vector>

namespace orvanel {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int Status;
    std::string Out;
    std::string Err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string WithoutFirstLine(const std::string& text) {
    return text.substr(text.find('\n'));
}

// The last number of every line.
std::vector<double> LastColumn(const std::string& text) {
    std::vector<double> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        values.push_back(std::stod(line.substr(line.find_last_of('\t') + 1)));
    return values;
}

// The fit as the command prints it, computed here from the definition.
std::string FitText(const std::vector<double>& y, const std::vector<double>& yc, std::size_t first,
                    std::size_t end) {
    double mean = 0.0;
    for (std::size_t i = first; i < end; ++i)
        mean += y[i] / static_cast<double>(end - first);
    double residual = 0.0;
    double spread = 0.0;
    for (std::size_t i = first; i < end; ++i) {
        residual += (y[i] - yc[i]) * (y[i] - yc[i]);
        spread += (y[i] - mean) * (y[i] - mean);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f %%", 100.0 * (1.0 - std::sqrt(residual / spread)));
    return text;
}

class IdentifyCommand : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("orvanel-identify-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder);
        data = folder / "plant.txt";
        std::ofstream(data, std::ios::binary)
            << ExampleData::DocumentText(ExampleData::TwoInputs(150, 3));
    }
    void TearDown() override { fs::remove_all(folder); }

    Outcome Run(const std::string& arguments) const {
        const fs::path out = folder / "stdout";
        const fs::path err = folder / "stderr";
        const std::string command = std::string(ORVANEL_IDENTIFY) + " " + arguments + " >" +
                                    out.string() + " 2>" + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    }

    fs::path folder;
    fs::path data;
    const std::string smallRun = "--population 10 --generations 6 --quiet --seed-ms 537 ";
};

TEST_F(IdentifyCommand, WritesTheReportNextToTheDataAndPrintsTheResult) {
    const Outcome outcome = Run(smallRun + data.string());
    ASSERT_EQ(outcome.Status, 0) << outcome.Err;
    EXPECT_EQ(outcome.Err, "");
    const std::string report = ReadFile(folder / "plant_Report.txt");
    ASSERT_FALSE(report.empty());
    EXPECT_NE(report.find("\r\n6\t"), std::string::npos);
    EXPECT_EQ(report.find("\r\n7\t"), std::string::npos);

    // Standard output: the objective, then the inputs, as at the report's end, then the fit.
    const std::size_t block = report.find("OPTIMUM SOLUTION\r\n") + 18;
    const std::size_t objective = report.find("Objective Function = ");
    std::string inputs = report.substr(block, objective - block);
    inputs.erase(std::remove(inputs.begin(), inputs.end(), '\r'), inputs.end());
    const std::string result = report.substr(objective) + "\n" + inputs;
    EXPECT_EQ(outcome.Out.substr(0, result.size()), result);
    EXPECT_EQ(outcome.Out.find("Fit (estimation) = "), result.size());
    EXPECT_EQ(inputs.find("Input 1: "), 0u);
    EXPECT_NE(inputs.find("\nInput 2: "), std::string::npos);
}

// The example data with the default parameters and a fixed seed: the whole report, its date
// line aside, is known.
TEST_F(IdentifyCommand, TheExampleRunWritesTheKnownReport) {
    const fs::path example = folder / "two-inputs.txt";
    fs::copy_file(fs::path(ORVANEL_EXAMPLES) / "two-inputs.txt", example);
    const Outcome outcome = Run("--quiet --seed-ms 537 " + example.string());
    ASSERT_EQ(outcome.Status, 0) << outcome.Err;
    EXPECT_EQ(
        WithoutFirstLine(ReadFile(folder / "two-inputs_Report.txt")),
        WithoutFirstLine(ReadFile(fs::path(ORVANEL_TEST_DATA) / "two-inputs-seed537_Report.txt")));
}

// With options the report ends in a section of its own, and the computed output written aside
// reproduces the printed fit figures.
TEST_F(IdentifyCommand, TheSimulatedOutputReproducesThePrintedFit) {
    const fs::path simulated = folder / "computed.txt";
    const Outcome outcome =
        Run(smallRun + "--remove-offsets --refine --validation-percent 30 --simulated-output " +
            simulated.string() + " " + data.string());
    ASSERT_EQ(outcome.Status, 0) << outcome.Err;
    const std::vector<double> y = LastColumn(ReadFile(data));
    const std::vector<double> yc = LastColumn(ReadFile(simulated));
    ASSERT_EQ(yc.size(), 150u);
    const std::string fits = "Fit (estimation) = " + FitText(y, yc, 0, 105) +
                             "\nFit (validation) = " + FitText(y, yc, 105, 150) + "\n";
    EXPECT_EQ(outcome.Out.substr(outcome.Out.size() - fits.size()), fits);
    EXPECT_NE(outcome.Out.find("\nRefined model:\nInput 1: "), std::string::npos);
    const std::string report = ReadFile(folder / "plant_Report.txt");
    EXPECT_NE(report.find("\r\n\r\n\r\nMODEL QUALITY\r\n"), std::string::npos);
    EXPECT_EQ(report.substr(report.rfind("\r\n") + 2),
              "Fit (validation) = " + FitText(y, yc, 105, 150));
}

TEST_F(IdentifyCommand, AResultThatCannotBeWrittenIsAFailure) {
    const std::string command = std::string(ORVANEL_IDENTIFY) + " " + smallRun + data.string() +
                                " >/dev/full 2>" + (folder / "stderr").string();
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(ReadFile(folder / "stderr"),
              "orvanel-identify: The result could not be written to standard output\n");
}

TEST_F(IdentifyCommand, TheSameSeedWritesTheSameReportWhateverTheThreads) {
    const fs::path first = folder / "first.txt";
    const fs::path second = folder / "second.txt";
    const fs::path other = folder / "other.txt";
    ASSERT_EQ(Run(smallRun + "--threads 1 --report " + first.string() + " " + data.string()).Status,
              0);
    ASSERT_EQ(
        Run(smallRun + "--threads 3 --report " + second.string() + " " + data.string()).Status, 0);
    ASSERT_EQ(Run("--population 10 --generations 6 --quiet --seed-ms 538 --report " +
                  other.string() + " " + data.string())
                  .Status,
              0);
    EXPECT_EQ(WithoutFirstLine(ReadFile(first)), WithoutFirstLine(ReadFile(second)));
    EXPECT_NE(WithoutFirstLine(ReadFile(first)), WithoutFirstLine(ReadFile(other)));
}

TEST_F(IdentifyCommand, ACellThatIsNoNumberStopsBeforeTheRun) {
    std::ofstream(data, std::ios::binary) << "1\t2\t3\r\n4\t5\t\r\n";
    const Outcome outcome = Run(smallRun + data.string());
    EXPECT_EQ(outcome.Status, 2);
    EXPECT_EQ(outcome.Err, "orvanel-identify: Input data could not be understood. Execution "
                           "cancelled. Row 2, column 3 is not a number.\n");
    EXPECT_FALSE(fs::exists(folder / "plant_Report.txt"));
}

TEST_F(IdentifyCommand, BadUsageIsOneLineAndStatusTwo) {
    Outcome outcome = Run("--generations x " + data.string());
    EXPECT_EQ(outcome.Status, 2);
    EXPECT_EQ(outcome.Err, "orvanel-identify: --generations needs an integer from 0 to "
                           "1000000000, not \"x\"\n");

    outcome = Run("--refresh-period 0 " + data.string());
    EXPECT_EQ(outcome.Status, 2);
    EXPECT_EQ(outcome.Err, "orvanel-identify: --refresh-period needs an integer from 1 to "
                           "1000000000, not \"0\"\n");
    EXPECT_FALSE(fs::exists(folder / "plant_Report.txt"));

    const std::string dataBytes = ReadFile(data);
    outcome = Run("--report " + (folder / "." / "plant.txt").string() + " " + data.string());
    EXPECT_EQ(outcome.Status, 2);
    EXPECT_EQ(outcome.Err,
              "orvanel-identify: The report would replace the data file " + data.string() + "\n");
    EXPECT_EQ(ReadFile(data), dataBytes);

    outcome = Run((folder / "missing.txt").string());
    EXPECT_EQ(outcome.Status, 2);
    EXPECT_EQ(outcome.Err,
              "orvanel-identify: Error opening the file. Check its format. Cannot read file " +
                  (folder / "missing.txt").string() + ": No such file or directory\n");

    outcome = Run("--help");
    EXPECT_EQ(outcome.Status, 0);
    EXPECT_EQ(outcome.Out.find("Usage: orvanel-identify DATA.txt"), 0u);
}

TEST_F(IdentifyCommand, ARunThatFailsSaysSoInTheReport) {
    // Every simulated residual overflows: no model can be scored.
    std::ofstream(data, std::ios::binary) << "1E200\t1E200\r\n2E200\t1E200\r\n";
    const Outcome outcome = Run("--population 2 --elitism 1 --quiet " + data.string());
    EXPECT_EQ(outcome.Status, 1);
    const std::string shown =
        "Todos Iguales: fewer than two models of the population could be evaluated";
    EXPECT_EQ(outcome.Err, "orvanel-identify: " + shown + "\n");
    EXPECT_EQ(outcome.Out, "");
    // A failed run has no model to report: an objective of 0 would read as a perfect fit.
    const std::string report = ReadFile(folder / "plant_Report.txt");
    EXPECT_EQ(report.substr(report.find("\r\n\r\n\r\n")), "\r\n\r\n\r\nRUN FAILED: " + shown);
}

} // namespace
} // namespace orvanel
