#include "document/ModelExport.h"

#include "TempFolder.h"
#include "document/DocumentError.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace orvanel {
namespace {

using Format = ModelExport::Format;

// Coefficients that need all 17 digits to read back: 0.1 and 1/3 have no short decimal form.
ModelExport TwoInputs() {
    ModelExport model;
    model.Model.Inputs.push_back({0.1, {{false, 1.0 / 3.0}}, {{true, 0.0, -1.2, 0.5}}, 2});
    model.Model.Inputs.push_back({-2.0, {}, {{false, 0.7}}, 0});
    model.DataFile = "/data/plant.txt";
    return model;
}

class ModelExportTest : public TempFolder {};

TEST_F(ModelExportTest, TheJsonReadsBackToTheSameCoefficients) {
    const ModelExport model = TwoInputs();
    const nlohmann::json json = nlohmann::json::parse(model.Json());
    ASSERT_EQ(json["inputs"].size(), 2u);
    const nlohmann::json& first = json["inputs"][0];
    EXPECT_EQ(first["gain"].get<double>(), 0.1);
    EXPECT_EQ(first["numerator"].get<std::vector<double>>(), model.Model.Inputs[0].Numerator());
    EXPECT_EQ(first["denominator"].get<std::vector<double>>(), (std::vector<double>{1, -1.2, 0.5}));
    EXPECT_EQ(first["delay"], 2);
    // G(1), the sums in ascending powers.
    EXPECT_EQ(first["static_gain"].get<double>(), (0.1 + -1.0 / 3.0 * 0.1) / (0.5 + -1.2 + 1.0));
    EXPECT_EQ(json["inputs"][1]["numerator"].get<std::vector<double>>(), std::vector<double>{-2});
    EXPECT_EQ(json["inputs"][1]["delay"], 0);
    EXPECT_FALSE(json.contains("offsets"));
    EXPECT_FALSE(json.contains("sample_time"));
    EXPECT_FALSE(json.contains("fit"));
    EXPECT_EQ(json["found_by"]["data_file"], "/data/plant.txt");
    EXPECT_FALSE(json["found_by"].contains("seed_ms"));
}

TEST_F(ModelExportTest, TheJsonCarriesTheOptionalPartsWhenGiven) {
    ModelExport model = TwoInputs();
    model.RemovedOffsets = ModelExport::Offsets{{40.5, 3.25}, 0.1};
    model.SampleTime = 0.02;
    model.Fit = {{"objective", 12.75}, {"validation_fit_percent", std::nan("")}};
    model.SeedMilliseconds = 537;
    model.Parameters = {{"population", 100.0}, {"mutation", 0.05}, {"selection", "tournament"}};
    const nlohmann::ordered_json json = nlohmann::ordered_json::parse(model.Json());
    EXPECT_EQ(json["offsets"]["inputs"].get<std::vector<double>>(),
              (std::vector<double>{40.5, 3.25}));
    EXPECT_EQ(json["offsets"]["output"].get<double>(), 0.1);
    EXPECT_EQ(json["sample_time"].get<double>(), 0.02);
    EXPECT_EQ(json["fit"]["objective"].get<double>(), 12.75);
    EXPECT_TRUE(json["fit"]["validation_fit_percent"].is_null());
    EXPECT_EQ(json["found_by"]["seed_ms"], 537);
    // A count stays an integer, a probability a decimal, a choice its name.
    EXPECT_EQ(json["found_by"]["parameters"].dump(),
              R"({"population":100,"mutation":0.05,"selection":"tournament"})");
}

TEST_F(ModelExportTest, TheFormatFollowsTheExtensionInAnyCase) {
    EXPECT_EQ(ModelExport::FormatFor("a/model.JSON"), Format::Json);
    EXPECT_EQ(ModelExport::FormatFor("model.m"), Format::Matlab);
    EXPECT_EQ(ModelExport::FormatFor("x.y/model.Py"), Format::Python);
    EXPECT_EQ(ModelExport::FormatFor("model.txt"), std::nullopt);
    EXPECT_EQ(ModelExport::FormatFor("model.json/m"), std::nullopt);
    EXPECT_EQ(ModelExport::FormatFor("json"), std::nullopt);
}

TEST_F(ModelExportTest, WritesTheFormatOfTheExtensionAndRefusesAnUnknownOne) {
    const ModelExport model = TwoInputs();
    model.Write(PathOf("model.json"));
    EXPECT_EQ(ReadFile("model.json"), model.Json());
    model.Write(PathOf("model.py"));
    EXPECT_EQ(ReadFile("model.py"), model.Text(Format::Python));
    try {
        model.Write(PathOf("model.txt"));
        FAIL() << "an unknown extension was written";
    } catch (const DocumentError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot export the model to " + PathOf("model.txt") +
                      ": the name must end in .json, .m (MATLAB/Octave) or .py (Python)");
    }
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"model.json", "model.py"}));
}

TEST_F(ModelExportTest, TheScriptsSpellEveryCoefficientWith17SignificantDigits) {
    ModelExport model = TwoInputs();
    const std::string python = model.Text(Format::Python);
    EXPECT_NE(python.find("    ([0.10000000000000001, -0.033333333333333333],\n"
                          "     [1, -1.2, 0.5], 2),\n"),
              std::string::npos)
        << python;
    EXPECT_NE(python.find("SAMPLE_TIME = True  # unspecified\n"), std::string::npos);
    model.SampleTime = 0.1;
    const std::string matlab = model.Text(Format::Matlab);
    EXPECT_NE(matlab.find("sample_time = 0.10000000000000001;  % seconds\n"), std::string::npos);
    EXPECT_NE(matlab.find("numerators = {[0.10000000000000001, -0.033333333333333333], ...\n"
                          "    [-2]};\n"),
              std::string::npos)
        << matlab;
    EXPECT_NE(matlab.find("delays = [2, 0];\n"), std::string::npos);
}

} // namespace
} // namespace orvanel
