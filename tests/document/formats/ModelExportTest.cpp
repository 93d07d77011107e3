#include "document/formats/ModelExport.h"

#include "document/formats/ModelFile.h"
#include "document/formats/ModelScript.h"
#include "document/project/KeptModel.h"
#include "document/table/DocumentError.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

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
    EXPECT_FALSE(json.contains("shared_denominator"));
    EXPECT_FALSE(json.contains("offsets"));
    EXPECT_FALSE(json.contains("sample_time"));
    EXPECT_FALSE(json.contains("fit"));
    EXPECT_EQ(json["found_by"]["data_file"], "/data/plant.txt");
    EXPECT_FALSE(json["found_by"].contains("seed_ms"));
}

TEST_F(ModelExportTest, TheJsonCarriesEachInputsFiguresAndSettingsEvenWithoutData) {
    // 2 e^(-5s) / (20 s + 1) sampled at 1 s.
    const double a = std::exp(-1.0 / 20.0);
    ModelExport model;
    model.Model.Inputs.push_back({2.0 * (1.0 - a), {}, {{false, a}}, 5});
    model.SampleTime = 1.0;
    const nlohmann::json input = nlohmann::json::parse(model.Json())["inputs"][0];
    const nlohmann::json& summary = input["summary"];
    EXPECT_EQ(summary["units"], "seconds");
    EXPECT_NEAR(summary["fopdt"]["time_constant"].get<double>(), 20.0, 1e-9);
    EXPECT_NEAR(summary["fopdt"]["dead_time"].get<double>(), 5.0, 1e-9);
    EXPECT_NEAR(summary["time_constants"][0].get<double>(), 20.0, 1e-9);
    EXPECT_EQ(input["tuning"]["rule"], "SIMC");
    EXPECT_EQ(input["tuning"]["form"], "series");
    EXPECT_NEAR(input["tuning"]["pi"]["kc"].get<double>(), 1.0, 1e-9);
    EXPECT_NEAR(input["tuning"]["pi"]["ti"].get<double>(), 20.0, 1e-9);
    // Without the data nothing can be said of the deviations: null, one per coefficient.
    EXPECT_EQ(input["std"]["numerator"], nlohmann::json::array({nullptr}));
    EXPECT_EQ(input["std"]["denominator"], nlohmann::json::array({nullptr, nullptr}));
    EXPECT_EQ(input["warnings"], nlohmann::json::array());
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

// A model whose inputs share their poles says so before the inputs, each of which still
// carries the denominator; read back, the model is analysed in the shared form and a project
// keeps the claim.
TEST_F(ModelExportTest, ASharedDenominatorIsWrittenBeforeTheInputsAndReadsBackShared) {
    ModelExport model = TwoInputs();
    model.Model.Inputs[1].Poles = model.Model.Inputs[0].Poles;
    model.Model = *model.Model.AsShared();
    const nlohmann::ordered_json json = nlohmann::ordered_json::parse(model.Json());
    auto key = json.begin();
    std::advance(key, 2);
    EXPECT_EQ(key.key(), "shared_denominator");
    EXPECT_EQ(*key, true);
    EXPECT_EQ((++key).key(), "inputs");
    EXPECT_EQ(json["inputs"][1]["denominator"], json["inputs"][0]["denominator"]);

    KeptModel kept;
    kept.Coefficients = ModelFile::Parse(model.Json(), "shared.json");
    EXPECT_TRUE(kept.Coefficients.SharedDenominator);
    const std::optional<LinearModel> analysed = kept.Analysed();
    ASSERT_TRUE(analysed);
    EXPECT_TRUE(analysed->SharedPoles);
    EXPECT_EQ(analysed->ParameterCount(), model.Model.ParameterCount());
    EXPECT_TRUE(ModelFile::Parse(kept.Coefficients.Text(), "p").SharedDenominator);
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
    try {
        model.Write(PathOf("tf.m"));
        FAIL() << "a name that hides a function the script calls was written";
    } catch (const DocumentError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot export the model to " + PathOf("tf.m") + ": " +
                                                 *ModelExport::Refusal("tf.m"));
    }
    EXPECT_EQ(FileNames(), (std::vector<std::string>{"model.json", "model.py"}));
}

TEST_F(ModelExportTest, RefusesNamesThatWouldBreakTheScriptsWithTheReason) {
    const std::string notRunnable = "MATLAB and Octave run a script by its name, which must begin "
                                    "with a letter and hold only letters, digits and "
                                    "underscores, at most 63";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"out/my_model2.m", std::nullopt},
        {"numpy.json", std::nullopt},
        {std::string(63, 'a') + ".m", std::nullopt},
        {std::string(64, 'a') + ".m", notRunnable},
        {"out/my-model.m", notRunnable},
        {"2model.m", notRunnable},
        {"_model.m", notRunnable},
        {"caf\xC3\xA9.m", notRunnable},
        {"out/end.m", "end is a MATLAB/Octave keyword, which cannot name a script"},
        {"out/tf.m", "a script named tf.m would replace the function tf that it calls, for every "
                     "script run from its folder"},
        {"STR2DOUBLE.M", "a script named STR2DOUBLE.M would replace the function str2double that "
                         "it calls, for every script run from its folder"},
        {"out/numpy.py", "the script would import numpy.py in place of the module numpy"},
        {"model.txt", ModelExport::KnownExtensions()},
    };
    for (const auto& [path, refusal] : cases)
        EXPECT_EQ(ModelExport::Refusal(path), refusal) << path;
}

// The refusal protects what the scripts use only while its lists follow the scripts.
TEST_F(ModelExportTest, TheListsOfCallsAndImportsAreWhatTheScriptsUse) {
    // Named columns add the names to the model: the scripts then call more.
    ModelExport named = TwoInputs();
    named.InputNames = {"valve", "feed"};
    named.OutputName = "temperature";
    // The code without comments, quoted text and the one command ("pkg load control").
    std::string code = named.Text(Format::Matlab);
    for (const char* noise : {R"(^\s*%.*)", "'[^'\n]*'", "%.*", R"(pkg load \w+)"})
        code = std::regex_replace(
            code, std::regex(noise, std::regex::ECMAScript | std::regex::multiline), " ");
    std::set<std::string> assigned;
    const std::regex assignment(R"(\b(\w+)\s*(\([^)]*\)|\{[^}]*\})?\s*=(?!=)|\[~, (\w+)\]\s*=)");
    for (std::sregex_iterator i(code.begin(), code.end(), assignment), end; i != end; ++i)
        assigned.insert((*i)[1].matched ? (*i)[1].str() : (*i)[3].str());
    std::set<std::string> called{"pkg"};
    const std::regex word(R"(\b[A-Za-z_]\w*)");
    for (std::sregex_iterator i(code.begin(), code.end(), word), end; i != end; ++i) {
        if (!assigned.contains(i->str()) &&
            !std::set<std::string>{"if", "elseif", "else", "end", "for"}.contains(i->str()))
            called.insert(i->str());
    }
    const auto functions = ModelScript::MatlabFunctions();
    EXPECT_EQ(called, std::set<std::string>(functions.begin(), functions.end()));

    const std::string python = TwoInputs().Text(Format::Python);
    std::set<std::string> imported;
    const std::regex import(R"(^(import|from) (\w+))",
                            std::regex::ECMAScript | std::regex::multiline);
    for (std::sregex_iterator i(python.begin(), python.end(), import), end; i != end; ++i)
        imported.insert((*i)[2].str());
    const auto modules = ModelScript::PythonModules();
    std::set<std::string> expected(modules.begin(), modules.end());
    expected.insert("sys");
    EXPECT_EQ(imported, expected);
}

// Python reads an encoding from a "coding=" on the first two lines.
TEST_F(ModelExportTest, ADataFileNameThatIsNotUtf8OrDeclaresAnEncodingBreaksNoExport) {
    ModelExport model = TwoInputs();
    model.DataFile = "caf\xE9 coding=foo\n.txt";
    EXPECT_EQ(nlohmann::json::parse(model.Json())["found_by"]["data_file"],
              R"(caf\xE9 coding=foo\x0A.txt)");
    const std::string python = model.Text(Format::Python);
    const std::size_t name = python.find("# caf\\xE9 coding=foo\\x0A.txt\n");
    ASSERT_NE(name, std::string::npos) << python;
    EXPECT_EQ(std::count(python.begin(), python.begin() + name, '\n'), 2);
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
