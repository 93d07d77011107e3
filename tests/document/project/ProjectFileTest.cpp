#include "document/project/ProjectFile.h"

#include "document/table/DocumentError.h"
#include "support/TempFolder.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace orvanel {
namespace {

// Doubles that a decimal text with fewer than 17 digits or a careless parser would change.
const std::vector<double> Awkward = {
    0.1 + 0.2, 1.0 / 3.0, 5e-324, -1.7976931348623157e308, 2.2250738585072009e-308, -0.0};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

KeptModel RunModel() {
    KeptModel model;
    model.Name = "Run 2";
    model.Origin = "Run on plant.txt";
    model.Time = "2026-12-08T15:49:48Z";
    model.Stopped = true;
    model.ValidationBegins = 150;
    model.Options.RemoveOffsets = true;
    model.Options.Restarts = 3;
    LinearModel::Input input;
    input.Gain = Awkward[0];
    input.Zeros = {{false, Awkward[1], 0.0, 0.0}};
    input.Poles = {{true, 0.0, Awkward[2], Awkward[3]}, {false, Awkward[5], 0.0, 0.0}};
    input.Delay = 4;
    model.Factors = LinearModel{{input}};
    model.Coefficients = KeptModel::CoefficientsOf(*model.Factors, {}, false, {"valve"});
    model.Coefficients.InputOffsets = std::vector<double>{Awkward[4]};
    model.Coefficients.OutputOffset = Awkward[1];
    model.Coefficients.SampleTime = 0.1;
    Rnd::State seed;
    seed.RandomTable[55] = Awkward[1];
    seed.RandomIndex = 24;
    seed.SystemSeed = 4294967295u;
    model.Seed = seed;
    return model;
}

std::vector<ProjectDocument> TwoDocuments() {
    ProjectDocument embedded;
    embedded.Caption = "new1";
    embedded.EmbeddedRows = "1\t2.5\r\n3\t4\r\n";
    embedded.InputNames = {"valve"};
    embedded.OutputName = "temperature";
    embedded.SampleTime = 0.1;
    embedded.Options.Thorough = true;
    embedded.Options.ValidationPercent = 12.5;
    embedded.Parameters = {{"mutation-probability", 0.015}, {"population", 80}};
    KeptModel imported;
    imported.Name = "model";
    imported.Origin = "Imported from /data/model.json";
    imported.Coefficients.Inputs = {{"", {Awkward[0], Awkward[1]}, {1.0, Awkward[2]}, 0}};
    embedded.Models = {RunModel(), imported};
    embedded.Chosen = 1;
    ProjectDocument named;
    named.Caption = "plant.txt";
    named.DataPath = "/data/plant.txt";
    return {embedded, named};
}

class ProjectFileTest : public TempFolder {};

// What is written reads back as it was: the data, the names, the options and the parameters,
// and every model's coefficients, factors, offsets and seed to the last bit.
TEST_F(ProjectFileTest, AProjectReadsBackAsItWasWrittenToTheLastBit) {
    const std::vector<ProjectDocument> written = TwoDocuments();
    ProjectFile::Write(PathOf("p.orvanel"), written);
    EXPECT_EQ(ReadFile("p.orvanel"), ProjectFile::Text(written));
    const std::vector<ProjectDocument> read = ProjectFile::Read(PathOf("p.orvanel"));
    ASSERT_EQ(read.size(), 2u);
    const ProjectDocument& first = read[0];
    EXPECT_EQ(first.Caption, "new1");
    EXPECT_EQ(first.EmbeddedRows, "1\t2.5\r\n3\t4\r\n");
    EXPECT_EQ(first.DataPath, "");
    EXPECT_EQ(first.InputNames, std::vector<std::string>{"valve"});
    EXPECT_EQ(first.OutputName, "temperature");
    EXPECT_EQ(first.SampleTime, 0.1);
    EXPECT_TRUE(first.Options.Thorough);
    EXPECT_EQ(first.Options.ValidationPercent, 12.5);
    EXPECT_EQ(first.Parameters, written[0].Parameters);
    EXPECT_EQ(first.Chosen, 1u);
    ASSERT_EQ(first.Models.size(), 2u);

    const KeptModel& model = first.Models[0];
    const KeptModel original = RunModel();
    EXPECT_EQ(model.Name, "Run 2");
    EXPECT_EQ(model.Origin, original.Origin);
    EXPECT_EQ(model.Time, original.Time);
    EXPECT_TRUE(model.Stopped);
    EXPECT_EQ(model.ValidationBegins, 150u);
    EXPECT_TRUE(model.Options.RemoveOffsets);
    EXPECT_EQ(model.Options.Restarts, 3);
    ASSERT_TRUE(model.Factors);
    EXPECT_EQ(*model.Factors, *original.Factors);
    EXPECT_TRUE(std::signbit(model.Factors->Inputs[0].Poles[1].Root));
    const ModelFile::Input& input = model.Coefficients.Inputs[0];
    EXPECT_EQ(input.Name, "valve");
    EXPECT_TRUE(SameBits(input.Numerator, original.Coefficients.Inputs[0].Numerator));
    EXPECT_TRUE(SameBits(input.Denominator, original.Coefficients.Inputs[0].Denominator));
    EXPECT_EQ(input.Delay, 4);
    EXPECT_TRUE(SameBits(*model.Coefficients.InputOffsets, {Awkward[4]}));
    EXPECT_TRUE(SameBits({model.Coefficients.OutputOffset}, {Awkward[1]}));
    ASSERT_TRUE(model.Seed);
    EXPECT_EQ(model.Seed->RandomTable, original.Seed->RandomTable);
    EXPECT_EQ(model.Seed->RandomIndex, 24);
    EXPECT_EQ(model.Seed->SystemSeed, 4294967295u);

    EXPECT_FALSE(first.Models[1].Factors);
    EXPECT_FALSE(first.Models[1].Seed);
    EXPECT_TRUE(
        SameBits(first.Models[1].Coefficients.Inputs[0].Numerator, {Awkward[0], Awkward[1]}));
    EXPECT_EQ(read[1].DataPath, "/data/plant.txt");
    EXPECT_TRUE(read[1].Models.empty());
    EXPECT_EQ(read[1].Chosen, std::nullopt);
}

// A model whose inputs share their poles reads back shared, as its coefficient deviations are
// computed; a file that claims shared poles for inputs with poles of their own is refused.
TEST_F(ProjectFileTest, SharedPolesReadBackSharedAndMustAgree) {
    std::vector<ProjectDocument> documents = TwoDocuments();
    KeptModel& model = documents[0].Models[0];
    LinearModel factors = *model.Factors;
    factors.Inputs.push_back(factors.Inputs[0]);
    factors.Inputs[1].Gain = 2.0;
    model.Factors = factors.AsShared();
    model.Coefficients = KeptModel::CoefficientsOf(*model.Factors, {}, false, {"valve", "steam"});
    ProjectFile::Write(PathOf("p.orvanel"), documents);
    EXPECT_EQ(ProjectFile::Read(PathOf("p.orvanel"))[0].Models[0].Factors, model.Factors);

    std::string text = ProjectFile::Text(documents);
    const std::size_t lastPole = text.find("-0.0", text.rfind("\"poles\""));
    ASSERT_NE(lastPole, std::string::npos);
    text.replace(lastPole, 4, "0.5");
    try {
        ProjectFile::Parse(text, "p.orvanel");
        ADD_FAILURE() << "accepted";
    } catch (const DocumentError& error) {
        EXPECT_STREQ(error.what(),
                     "p.orvanel: documents[0].models[0].shared_denominator is true but "
                     "the inputs' poles differ");
    }
}

std::string RefusalOf(const std::string& text) {
    try {
        ProjectFile::Parse(text, "p.orvanel");
    } catch (const DocumentError& error) {
        return error.what();
    }
    return "accepted";
}

TEST_F(ProjectFileTest, AFaultyProjectIsRefusedNamingTheField) {
    std::string text = ProjectFile::Text(TwoDocuments());
    EXPECT_EQ(RefusalOf("{\"format\": \"orvanel-model\"}"),
              "p.orvanel: not a project of this program (\"format\" is not \"orvanel-project\")");
    EXPECT_EQ(RefusalOf(text.substr(0, 100)), "p.orvanel: not a JSON document");
    const auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    EXPECT_EQ(RefusalOf(replaced("\"delay\": 4", "\"delay\": -1")),
              "p.orvanel: documents[0].models[0].model: inputs[0].delay is not a whole number "
              "of samples from 0 to 1000000");
    EXPECT_EQ(RefusalOf(replaced("\"population\"", "\"populace\"")),
              "p.orvanel: documents[0].parameters.populace is not a parameter of the search");
    EXPECT_EQ(RefusalOf(replaced("\"chosen\": 1", "\"chosen\": 2")),
              "p.orvanel: documents[0].chosen is not a whole number from 0 to 1");
    EXPECT_EQ(RefusalOf(replaced("\"validation_percent\": 12.5", "\"validation_percent\": 95")),
              "p.orvanel: documents[0].options has validation-percent 95, outside 0 to 90");
    EXPECT_EQ(RefusalOf(replaced("\"stopped\": true", "\"stopped\": 1")),
              "p.orvanel: documents[0].models[0].stopped is not true or false");
    // Numbers that would size the search or the simulation are bounded before use.
    EXPECT_EQ(RefusalOf(replaced("\"population\": 80.0", "\"population\": 1e18")),
              "p.orvanel: documents[0].parameters.population is 1E18, not a whole number from 1 "
              "to 1000000000");
    std::string longer = "\"denominator\": [1.0";
    for (int k = 0; k < 40; ++k)
        longer += ", 0";
    EXPECT_EQ(RefusalOf(replaced("\"denominator\": [", longer + ",")),
              "p.orvanel: documents[0].models[0].model: inputs[0].denominator has 45 terms; a "
              "run's model has at most 33");
    // A member left out is named by its own path, not by its object's.
    EXPECT_EQ(RefusalOf(replaced("\"origin\"", "\"source\"")),
              "p.orvanel: documents[0].models[0].origin is missing");
}

} // namespace
} // namespace orvanel
