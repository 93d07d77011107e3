#include "document/project/KeptModel.h"

#include "document/run/IdentificationRun.h"
#include "document/table/DataTable.h"
#include "document/table/TableSamples.h"
#include "document/table/TableText.h"
#include "engine/search/Genetico.h"

#include <cstring>
#include <gtest/gtest.h>

namespace orvanel {
namespace {

// A first-order plant around a working point, so that the offsets matter.
std::string PlantText(int rows) {
    std::string text;
    double deviation = 0.0;
    for (int k = 0; k < rows; ++k) {
        const double u1 = 10.0 + (k * 7) % 5;
        const double u2 = 5.0 + (k * 3) % 4;
        text += std::to_string(u1) + "\t" + std::to_string(u2) + "\t" +
                std::to_string(50.0 + deviation) + "\r\n";
        deviation = 0.6 * deviation + 0.5 * (u1 - 12.0) - 0.25 * (u2 - 6.5);
    }
    return text;
}

TableSamples Samples(const std::string& text) {
    DataTable table;
    TableText::ParseTableText(table, text, TableText::LineEnds::AnyForm);
    return TableSamples::FromTable(table);
}

// What a refined run with offsets computed is what its kept model, written and read back as
// a model file, computes again: the same bits on every row and the same fit figures.
TEST(KeptModelTest, ARunsModelReadBackComputesTheRunsOutputBitForBit) {
    const TableSamples samples = Samples(PlantText(200));
    TGenetico engine{250};
    engine.SetPopulationSize(20);
    engine.Generations = 5;
    IdentificationRun run(engine);
    run.Options.RemoveOffsets = true;
    run.Options.ValidationPercent = 25;
    run.Options.Refine = true;
    ASSERT_EQ(run.HandOver(samples), std::nullopt);
    ASSERT_EQ(run.Run(), "");
    const IdentifiedModel& result = *run.Result();

    KeptModel kept;
    kept.Coefficients = ModelFile::Parse(
        KeptModel::CoefficientsOf(result.Model, result.Offsets, true, {"valve", "feed"}).Text(),
        "kept.json");
    EXPECT_EQ(kept.Coefficients.Inputs[1].Name, "feed");
    kept.SimulateOn(samples, result.ValidationBegins);
    ASSERT_EQ(kept.Computed.size(), 200u);
    EXPECT_EQ(0, std::memcmp(kept.Computed.data(), result.Computed.data(), 200 * sizeof(double)));
    EXPECT_EQ(kept.EstimationFit, result.EstimationFit);
    EXPECT_EQ(kept.ValidationFit, result.ValidationFit);
    EXPECT_EQ(kept.ValidationBegins, 150u);

    const TableSamples oneInput = Samples("1\t2\r\n3\t4\r\n");
    EXPECT_THROW(
        {
            try {
                kept.SimulateOn(oneInput, 2);
            } catch (const DocumentError& error) {
                EXPECT_STREQ(error.what(), "The data have 1 inputs; the model has 2");
                throw;
            }
        },
        DocumentError);
}

} // namespace
} // namespace orvanel
