#include "engine/search/Genetico.h"

#include "model/RunError.h"
#include "support/SameFunction.h"

#include <algorithm>
#include <climits>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

namespace orvanel {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int SeedMilliseconds = 537;

// Two inputs through 0.5/(z - 0.8) and 0.3/(z - 0.5), summed.
void HandOverPlantData(TGenetico& engine, int samples, double scale = 1.0) {
    engine.RequestStop();
    engine.SetDataSize(2, samples);
    double y1 = 0.0;
    double y2 = 0.0;
    double u1 = 0.0;
    double u2 = 0.0;
    for (int k = 0; k < samples; ++k) {
        y1 = 0.8 * y1 + 0.5 * u1;
        y2 = 0.5 * y2 + 0.3 * u2;
        u1 = ((k * 7) % 11) - 5.0;
        u2 = ((k * 5) % 13) - 6.0;
        const std::vector<double> row{u1 * scale, u2 * scale, (y1 + y2) * scale};
        engine.SetDataRow(row, k + 1);
    }
    engine.SetInputCount(2);
    engine.SetGenesPerInput(6);
    for (int g = 0; g < 6; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
}

// An engine with a small population and run, seeded alike every time: the integer draws
// continue across engines in one process, so they restart here too.
std::unique_ptr<TGenetico> SmallEngine(int population = 20, int generations = 12) {
    Rnd::GlobalState().SystemSeed = 0;
    auto engine = std::make_unique<TGenetico>(SeedMilliseconds);
    engine->SetPopulationSize(population);
    engine->Generations = generations;
    HandOverPlantData(*engine, 40);
    return engine;
}

std::string Genotype(const TMISOFunTrans& model) {
    std::string bits;
    for (const TFunTrans& function : model.Functions()) {
        for (const std::uint8_t bit : function.Bits())
            bits += bit != 0 ? '1' : '0';
        bits += '|';
    }
    return bits;
}

// What an observer of the run sees once per generation.
struct GenerationRow {
    int Generation;
    double Mean;
    double Deviation;
    int Mutations;
    int Reproductions;
    std::string BestGenotype;
    double BestError;
    bool operator==(const GenerationRow&) const = default;
};

// The rows of a run; an error that ends it is logged as a last row holding its message.
std::vector<GenerationRow> RunAndLog(TGenetico& engine) {
    std::vector<GenerationRow> rows;
    engine.AppendEvolutionRow = [&rows](const TGenetico& e) {
        rows.push_back({e.Generation(), e.MeanFitness(), e.FitnessDeviation(), e.Mutations(),
                        e.Reproductions(), Genotype(e.BestModel()), e.BestModel().Error});
    };
    try {
        engine.Run();
    } catch (const RunError& error) {
        rows.push_back({engine.Generation(), 0, 0, 0, 0, error.what(), 0});
    }
    engine.AppendEvolutionRow = nullptr;
    return rows;
}

std::vector<int> GenerationsOf(const std::vector<GenerationRow>& rows) {
    std::vector<int> numbers;
    for (const GenerationRow& row : rows)
        numbers.push_back(row.Generation);
    return numbers;
}

std::string RefusalOf(TGenetico& engine) {
    try {
        engine.Run();
    } catch (const RunError& error) {
        return error.what();
    }
    return "no refusal";
}

TEST(TGeneticoParameters, StartWithTheDefaults) {
    const TGenetico engine(SeedMilliseconds);
    EXPECT_EQ(engine.PopulationSize(), 80);
    EXPECT_EQ(engine.Generations, 100);
    EXPECT_EQ(engine.SelectionType, 0);
    EXPECT_EQ(engine.TournamentProbability(), 0.7);
    EXPECT_EQ(engine.ReproductionProbability, 0.85);
    EXPECT_EQ(engine.MutationProbability(), 0.001);
    EXPECT_EQ(engine.PreservedIndividuals, 5);
    EXPECT_EQ(engine.RegenerationPeriod, 10);
    EXPECT_EQ(engine.RegenerationPercent, 10.0);
    EXPECT_EQ(engine.SizeReductionFactor, 100.0);
    EXPECT_EQ(engine.GenesPerInput(), 5);
    EXPECT_THAT(engine.GeneMin(), ElementsAre(0, 0, 0, 0, 0));
    EXPECT_EQ(engine.InputCount(), 1);
    EXPECT_EQ(engine.Generation(), 0);
}

TEST(TGeneticoParameters, CreationSeedsTheRandomSourceFromTheMilliseconds) {
    TGenetico engine(537);
    const double first = Rnd::RandomReal();
    Rnd::SeedRandom(0.537);
    EXPECT_EQ(first, Rnd::RandomReal());
}

TEST(TGeneticoParameters, PopulationSizeIsAtLeastTwoAndEven) {
    TGenetico engine(SeedMilliseconds);
    for (const int n : {0, 1, 2, -5}) {
        engine.SetPopulationSize(n);
        EXPECT_EQ(engine.PopulationSize(), 2) << n;
    }
    engine.SetPopulationSize(7);
    EXPECT_EQ(engine.PopulationSize(), 8);
    engine.SetPopulationSize(INT_MAX);
    EXPECT_EQ(engine.PopulationSize(), INT_MAX - 1);
}

TEST(TGeneticoParameters, ProbabilitiesAcceptFractionsAndPercentagesAndFallBackAbove100) {
    TGenetico engine(SeedMilliseconds);
    engine.SetMutationProbability(0.5);
    EXPECT_EQ(engine.MutationProbability(), 0.5);
    engine.SetMutationProbability(1);
    EXPECT_EQ(engine.MutationProbability(), 1.0);
    engine.SetMutationProbability(50);
    EXPECT_EQ(engine.MutationProbability(), 0.5);
    engine.SetMutationProbability(150);
    EXPECT_EQ(engine.MutationProbability(), 0.00001);
    engine.SetTournamentProbability(25);
    EXPECT_EQ(engine.TournamentProbability(), 0.25);
    engine.SetTournamentProbability(150);
    EXPECT_EQ(engine.TournamentProbability(), 0.7);
}

TEST(TGeneticoParameters, GeneRangesFollowTheGeneCount) {
    TGenetico engine(SeedMilliseconds);
    engine.SetGenesPerInput(6);
    engine.SetGeneRange(5, -1, 1);
    engine.SetGeneRange(6, -2, 2);
    engine.SetGeneRange(-1, -2, 2);
    EXPECT_THAT(engine.GeneMin(), ElementsAre(0, 0, 0, 0, 0, -1));
    EXPECT_THAT(engine.GeneMax(), ElementsAre(0, 0, 0, 0, 0, 1));
    engine.SetGenesPerInput(-3);
    EXPECT_EQ(engine.GenesPerInput(), 0);
    EXPECT_TRUE(engine.GeneMin().empty());
}

TEST(TGeneticoData, RowsFillTheColumnsInputsFirstAndOutOfRangeRowsAreIgnored) {
    TGenetico engine(SeedMilliseconds);
    engine.SetDataSize(2, 3);
    engine.SetDataRow(std::vector<double>{1, 2, 3}, 1);
    engine.SetDataRow(std::vector<double>{4, 5, 6}, 2);
    engine.SetDataRow(std::vector<double>{7, 8, 9}, 3);
    engine.SetDataRow(std::vector<double>{0, 0, 0}, 0);
    engine.SetDataRow(std::vector<double>{0, 0, 0}, 4);
    ASSERT_EQ(engine.DataColumnCount(), 3);
    EXPECT_THAT(engine.DataColumn(0), ElementsAre(1, 4, 7));
    EXPECT_THAT(engine.DataColumn(1), ElementsAre(2, 5, 8));
    EXPECT_THAT(engine.DataColumn(2), ElementsAre(3, 6, 9));
}

TEST(TGeneticoData, NewDataLeavesTheLastRunsModelsWithTheirSamples) {
    auto engine = SmallEngine(4, 0);
    engine->PreservedIndividuals = 2;
    engine->Run();
    const std::vector<double> before = engine->BestModel().Functions()[0].Inputs();
    engine->SetDataRow(std::vector<double>{100, 100, 100}, 1);
    EXPECT_EQ(engine->BestModel().Functions()[0].Inputs(), before);
    EXPECT_EQ(engine->DataColumn(0)[0], 100.0);
}

TEST(TGeneticoRun, RefusesParametersItCannotUseNamingTheField) {
    struct Case {
        std::function<void(TGenetico&)> Change;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {[](TGenetico& e) { e.PreservedIndividuals = 21; },
         "Preserved Individuals must not exceed the Population Size."},
        {[](TGenetico& e) { e.PreservedIndividuals = -1; },
         "Preserved Individuals must not be negative."},
        {[](TGenetico& e) { e.RegenerationPeriod = 0; },
         "The Population Refresh Period must be at least 1 generation."},
        {[](TGenetico& e) { e.RegenerationPercent = 100.5; },
         "% Population Refreshed must be between 0 and 100."},
        // 20 x 95 / 100 = 19, so 20 would be replaced and none kept.
        {[](TGenetico& e) { e.RegenerationPercent = 95; },
         "% Population Refreshed must leave at least one individual of the Population Size in "
         "place."},
        {[](TGenetico& e) { e.SelectionType = 3; },
         "Selection must be Sigma Scaling, Tournament Selection or Rank Selection."},
        {[](TGenetico& e) { e.SetDataSize(2, 0); }, "The data table has no data points."},
        {[](TGenetico& e) { e.SetInputCount(3); },
         "The number of inputs does not match the data table."},
        {[](TGenetico& e) { e.SetInputCount(0); }, "The model needs at least one input."},
        {[](TGenetico& e) { e.SetGenesPerInput(0); }, "Every input needs at least one gene."},
    };
    for (const Case& c : cases) {
        auto engine = SmallEngine(20, 1);
        engine->Run();
        const std::string best = Genotype(engine->BestModel());
        const std::string first = Genotype(engine->Population().front());
        c.Change(*engine);
        EXPECT_EQ(engine->RunRefusal().value_or(""), c.Message);
        EXPECT_EQ(RefusalOf(*engine), c.Message);
        EXPECT_EQ(Genotype(engine->BestModel()), best) << c.Message;
        EXPECT_EQ(Genotype(engine->Population().front()), first) << c.Message;
    }
}

TEST(TGeneticoRun, EdgesOfTheRefreshAndElitismLimitsRun) {
    auto engine = SmallEngine(20, 1);
    engine->PreservedIndividuals = 20;
    engine->RegenerationPercent = 92.5; // 18.5 rounds to 18: 19 replaced, 1 kept
    engine->RegenerationPeriod = 1;
    EXPECT_FALSE(engine->RunRefusal());
    EXPECT_NO_THROW(engine->Run());
}

TEST(TGeneticoRun, ParametersChangedWhileItYieldsNeverTakeItOutsideThePopulation) {
    auto engine = SmallEngine(20, 12);
    engine->RegenerationPeriod = 2;
    engine->ProcessMessages = [&engine] {
        if (!engine->Evolving())
            return;
        engine->SetPopulationSize(2);
        engine->PreservedIndividuals = 1000;
        engine->RegenerationPeriod = engine->Generation() % 2;
        engine->RegenerationPercent = 100.0;
        engine->SelectionType = 2;
        engine->SetGenesPerInput(3);
        engine->SetDataSize(4, 2);
        engine->SetInputCount(4);
    };
    EXPECT_THAT(GenerationsOf(RunAndLog(*engine)),
                ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12));
    EXPECT_EQ(engine->Population().size(), 20u);
    EXPECT_EQ(engine->BestModel().InputCount(), 2);
}

TEST(TGeneticoRun, RefusesToStartAgainWhileItRuns) {
    auto engine = SmallEngine(10, 3);
    std::vector<std::string> refusals;
    engine->ProcessMessages = [&] {
        if (engine->Evolving() && refusals.empty())
            refusals.push_back(RefusalOf(*engine));
    };
    EXPECT_THAT(GenerationsOf(RunAndLog(*engine)), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(refusals, ElementsAre("The algorithm is already running."));

    // A run ended by an error does not block the next one.
    engine->ProcessMessages = [&engine] {
        if (engine->Evolving())
            throw RunError("ended by its owner");
    };
    EXPECT_EQ(RefusalOf(*engine), "ended by its owner");
    engine->ProcessMessages = [] { throw std::bad_alloc(); };
    EXPECT_EQ(RefusalOf(*engine), "Not enough memory for this run: lower the Population Size or "
                                  "the number of Data Points.");
    engine->ProcessMessages = nullptr;
    EXPECT_THAT(GenerationsOf(RunAndLog(*engine)), ElementsAre(0, 1, 2, 3));

    // A population whose outputs alone exceed the machine is refused before it is built, not
    // left to the system to end the program once the pages are used.
    const int size = engine->PopulationSize();
    engine->SetPopulationSize(2000000000);
    EXPECT_EQ(RefusalOf(*engine), "Not enough memory for this run: lower the Population Size or "
                                  "the number of Data Points.");
    EXPECT_TRUE(engine->Population().size() == static_cast<std::size_t>(size));
}

TEST(TGeneticoRun, WritesOneRowPerGenerationAndEndsAtGenerations) {
    auto engine = SmallEngine(10, 6);
    EXPECT_THAT(GenerationsOf(RunAndLog(*engine)), ElementsAre(0, 1, 2, 3, 4, 5, 6));
    EXPECT_EQ(engine->Generation(), 6);
    EXPECT_TRUE(engine->Evolving());

    auto single = SmallEngine(10, 0);
    EXPECT_THAT(GenerationsOf(RunAndLog(*single)), ElementsAre(0));

    auto none = SmallEngine(10, -1);
    EXPECT_TRUE(RunAndLog(*none).empty());
}

TEST(TGeneticoRun, AStopEndsAfterTheCurrentGenerationAndOneAskedBeforeTheRunIsDropped) {
    auto engine = SmallEngine(10, 20);
    engine->RequestStop();
    engine->ProcessMessages = [&engine] {
        if (engine->Evolving() && engine->Generation() == 7)
            engine->RequestStop();
    };
    const std::vector<GenerationRow> rows = RunAndLog(*engine);
    EXPECT_EQ(rows.back().Generation, 7);
    EXPECT_EQ(rows.size(), 8u);
    EXPECT_EQ(engine->Generation(), 20);
    EXPECT_FALSE(engine->StopRequested());

    // Building a small population is short: the stop comes after generation 0.
    auto early = SmallEngine(10, 20);
    early->ProcessMessages = [&early] {
        if (!early->Evolving())
            early->RequestStop();
    };
    EXPECT_THAT(GenerationsOf(RunAndLog(*early)), ElementsAre(0));
}

// A large population's steps look for a stop as they go: the run ends inside the step, with
// the last completed generation's model and figures, or with no model before the first.
TEST(TGeneticoRun, AStopInsideALongStepEndsTheRunThere) {
    constexpr int Population = 3000;
    auto building = SmallEngine(Population, 3);
    int yields = 0;
    building->ProcessMessages = [&] {
        ++yields;
        building->RequestStop();
    };
    const std::vector<GenerationRow> none = RunAndLog(*building);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].BestGenotype,
              "The run was stopped before its first generation was complete: there is no model.");
    EXPECT_LT(yields, Population / 2);
    EXPECT_TRUE(building->Population().empty());
    EXPECT_EQ(building->BestModel().Error, TFunTrans::FailedError);
    EXPECT_FALSE(building->StopRequested());

    auto whole = SmallEngine(Population, 3);
    const std::vector<GenerationRow> all = RunAndLog(*whole);
    // Asked while generation 2's children are scored, some scored and some not.
    auto stopped = SmallEngine(Population, 3);
    stopped->ResponsiveInterval = std::chrono::milliseconds(0);
    stopped->KeepResponsive = [&stopped] {
        if (stopped->Evolving() && stopped->Generation() == 2)
            stopped->RequestStop();
    };
    const std::vector<GenerationRow> rows = RunAndLog(*stopped);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows, ElementsAre(all[0], all[1]));
    EXPECT_EQ(stopped->Generation(), 3);
    EXPECT_EQ(stopped->MeanFitness(), rows[1].Mean);
    EXPECT_EQ(stopped->Mutations(), rows[1].Mutations);
    EXPECT_EQ(Genotype(stopped->BestModel()), rows[1].BestGenotype);
    // Every error the population shows is its model's; the others are marked failed.
    int failed = 0;
    for (const TMISOFunTrans& individual : stopped->Population()) {
        TMISOFunTrans copy;
        copy.Assign(individual);
        if (individual.Error == TFunTrans::FailedError)
            ++failed;
        else
            EXPECT_EQ(copy.Evaluate(), individual.Error);
    }
    EXPECT_GT(failed, 0);
    EXPECT_LT(failed, Population);
}

TEST(TGeneticoRun, CountsProgressWhileBuildingThePopulation) {
    auto engine = SmallEngine(80, 100);
    std::vector<int> seen;
    engine->ProcessMessages = [&] {
        if (seen.empty() || seen.back() != engine->Generation())
            seen.push_back(engine->Generation());
    };
    engine->CreateInitialPopulation();
    // 100 / 80 per accepted individual, rounded half to even: 1.25, 2.5, 3.75, 5, ... 7.5.
    ASSERT_GE(seen.size(), 8u);
    EXPECT_THAT(std::vector<int>(seen.begin(), seen.begin() + 8),
                ElementsAre(0, 1, 2, 4, 5, 6, 8, 9));
    EXPECT_EQ(engine->Generation(), 99);
    EXPECT_FALSE(engine->Evolving());
    for (const TMISOFunTrans& individual : engine->Population())
        EXPECT_LE(individual.Error, 1e100);
}

TEST(TGeneticoRun, FitnessIsTheErrorPlusTheSizePenalty) {
    auto engine = SmallEngine(20, 0);
    engine->SizeReductionFactor = 7.0;
    engine->CreateInitialPopulation();
    engine->EvaluateGeneration();
    std::vector<double> valid;
    for (const TMISOFunTrans& individual : engine->Population()) {
        EXPECT_EQ(individual.Fitness, -individual.Error - individual.ParamCount * 7.0);
        valid.push_back(individual.Fitness);
    }
    const double mean = std::accumulate(valid.begin(), valid.end(), 0.0) / 20.0;
    EXPECT_EQ(engine->MeanFitness(), mean);
    double total = 0.0;
    for (const TMISOFunTrans& individual : engine->Population()) {
        double expected =
            (individual.Fitness - engine->MeanFitness() + 1.0) / (2.0 * engine->FitnessDeviation());
        if (expected < 0.0)
            expected = 0.1;
        EXPECT_EQ(individual.Expected, expected);
        total += individual.Expected;
    }
    EXPECT_EQ(engine->ExpectedTotal(), total);

    TMISOFunTrans failed = engine->Population().front();
    failed.Functions()[0].SetGeneCount(1); // one gene of type 0: no pole, rejected
    EXPECT_EQ(engine->IndividualFitness(failed), -1e300);
}

TEST(TGeneticoRun, RankSelectionSortsTheFitterFirstWithLinearWeights) {
    auto engine = SmallEngine(20, 0);
    engine->SelectionType = 2;
    engine->CreateInitialPopulation();
    engine->EvaluateGeneration();
    const auto& population = engine->Population();
    for (std::size_t i = 0; i + 1 < population.size(); ++i)
        EXPECT_GE(population[i].Fitness, population[i + 1].Fitness);
    EXPECT_EQ(population.front().Expected, 1.1);
    EXPECT_EQ(population.back().Expected, 0.9);
    EXPECT_DOUBLE_EQ(population[4].Expected, 0.9 + 0.2 * 15.0 / 19.0);
}

TEST(TGeneticoRun, AllModelsFailingIsTodosIguales) {
    Rnd::GlobalState().SystemSeed = 0;
    TGenetico engine(SeedMilliseconds);
    engine.SetPopulationSize(2);
    engine.PreservedIndividuals = 1;
    HandOverPlantData(engine, 5, 1e200); // every residual squared overflows
    bool rowWritten = false;
    engine.AppendEvolutionRow = [&rowWritten](const TGenetico&) { rowWritten = true; };
    EXPECT_EQ(RefusalOf(engine), "Todos Iguales");
    EXPECT_FALSE(rowWritten);
    EXPECT_TRUE(engine.Evolving());
    EXPECT_EQ(engine.Generation(), 0);
}

TEST(TGeneticoRun, TheEliteIsCarriedUnmutatedIntoTheNextGeneration) {
    auto engine = SmallEngine(20, 8);
    engine->RegenerationPeriod = 100;
    engine->SetMutationProbability(0.05);
    std::vector<std::string> lowestBefore;
    int checked = 0;
    engine->AppendEvolutionRow = [&](const TGenetico& e) {
        const auto& population = e.Population();
        std::vector<std::string> firstFive;
        for (std::size_t i = 0; i < 5; ++i)
            firstFive.push_back(Genotype(population[i]));
        std::sort(firstFive.begin(), firstFive.end());
        if (!lowestBefore.empty()) {
            EXPECT_EQ(firstFive, lowestBefore) << "generation " << e.Generation();
            ++checked;
        }
        // The five of lowest error, earlier positions first among equals.
        std::vector<std::size_t> order(population.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return population[a].Error < population[b].Error;
        });
        lowestBefore.clear();
        for (std::size_t i = 0; i < 5; ++i)
            lowestBefore.push_back(Genotype(population[order[i]]));
        std::sort(lowestBefore.begin(), lowestBefore.end());
    };
    engine->Run();
    EXPECT_EQ(checked, 8);
}

TEST(TGeneticoRun, ReproductionAndMutationCountsFollowTheirProbabilities) {
    auto engine = SmallEngine(20, 3);
    engine->ReproductionProbability = 1.0;
    EXPECT_THAT(RunAndLog(*engine),
                ::testing::Each(::testing::Field(&GenerationRow::Reproductions, 10)));

    // Without crossover every bit after the elite flips: the count is their bit total.
    auto flipAll = SmallEngine(20, 3);
    flipAll->ReproductionProbability = 0.0;
    flipAll->SetMutationProbability(1.0);
    flipAll->PreservedIndividuals = 3;
    flipAll->AppendEvolutionRow = [](const TGenetico& e) {
        EXPECT_EQ(e.Reproductions(), 0);
        int bits = 0;
        for (std::size_t i = 3; i < e.Population().size(); ++i)
            for (const TFunTrans& function : e.Population()[i].Functions())
                bits += function.BitCount();
        EXPECT_EQ(e.Mutations(), bits);
    };
    flipAll->Run();
}

TEST(TGeneticoRun, ARefreshKeepsTheLowestErrorsFirstAndRenewsTheLastPositions) {
    struct Case {
        int Population;
        double Percent;
        std::size_t Renewed;
    };
    for (const Case c : {Case{80, 10.0, 9}, Case{80, 0.0, 1}, Case{4, 12.5, 1}}) {
        auto engine = SmallEngine(c.Population, 10);
        engine->RegenerationPercent = c.Percent;
        engine->CreateInitialPopulation();
        std::vector<std::pair<double, std::string>> before;
        for (const TMISOFunTrans& individual : engine->Population())
            before.emplace_back(individual.Error, Genotype(individual));
        std::stable_sort(before.begin(), before.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        engine->RefreshPopulation();
        const std::size_t kept = static_cast<std::size_t>(c.Population) - c.Renewed;
        std::vector<std::string> expected;
        std::vector<std::string> first;
        for (std::size_t i = 0; i < kept; ++i) {
            expected.push_back(before[i].second);
            first.push_back(Genotype(engine->Population()[i]));
        }
        std::sort(expected.begin(), expected.end());
        std::sort(first.begin(), first.end());
        EXPECT_EQ(first, expected) << c.Population << " " << c.Percent;
        for (std::size_t i = kept; i < engine->Population().size(); ++i) {
            const std::string renewed = Genotype(engine->Population()[i]);
            EXPECT_TRUE(std::none_of(before.begin(), before.end(),
                                     [&](const auto& b) { return b.second == renewed; }));
        }
    }
}

// Reference mode evaluates everything where the algorithm names it, on one thread; the fast
// mode keeps results and uses several threads. The runs must not differ in anything.
TEST(TGeneticoRun, ReferenceAndFastModesGiveTheSameRun) {
    for (const int selection : {0, 1, 2}) {
        for (const int elitism : {0, 5}) {
            auto reference = SmallEngine(20, 25);
            reference->UseReferenceMode();
            reference->SelectionType = selection;
            reference->PreservedIndividuals = elitism;
            reference->RegenerationPeriod = 4;
            reference->SetMutationProbability(0.01);
            const std::vector<GenerationRow> expected = RunAndLog(*reference);
            const Rnd::State drawsAfter = Rnd::GlobalState();

            for (const int threads : {1, 3}) {
                auto fast = SmallEngine(20, 25);
                fast->ThreadCount = threads;
                fast->SelectionType = selection;
                fast->PreservedIndividuals = elitism;
                fast->RegenerationPeriod = 4;
                fast->SetMutationProbability(0.01);
                EXPECT_EQ(RunAndLog(*fast), expected) << selection << " " << elitism;
                EXPECT_EQ(Genotype(fast->BestModel()), Genotype(reference->BestModel()));
                EXPECT_EQ(fast->BestModel().Output(), reference->BestModel().Output());
                for (std::size_t t = 0; t < 2; ++t)
                    ExpectSameFunction(fast->BestModel().Functions()[t],
                                       reference->BestModel().Functions()[t]);
                // Fillings drawn ahead for parallel evaluation are given back.
                EXPECT_EQ(Rnd::GlobalState().RandomTable, drawsAfter.RandomTable);
                EXPECT_EQ(Rnd::GlobalState().RandomIndex, drawsAfter.RandomIndex);
                EXPECT_EQ(Rnd::GlobalState().SystemSeed, drawsAfter.SystemSeed);
                EXPECT_LT(fast->EvaluationCount(), reference->EvaluationCount());
            }
        }
    }
}

// Inputs holding levels for 5 samples, each through its own 0.2/(z - 0.6 - 0.01 i), summed.
void HandOverManyInputs(TGenetico& engine, int inputs, int samples) {
    engine.SetDataSize(inputs, samples);
    std::vector<double> state(static_cast<std::size_t>(inputs), 0.0);
    std::vector<double> row(static_cast<std::size_t>(inputs) + 1);
    for (int k = 0; k < samples; ++k) {
        double y = 0.0;
        for (std::size_t i = 0; i < state.size(); ++i) {
            state[i] = (0.6 + 0.01 * static_cast<double>(i)) * state[i] + 0.2 * row[i];
            y += state[i];
            row[i] = static_cast<double>(((k / 5 + 3) * (static_cast<int>(i) + 7)) % 11) - 5.0;
        }
        row.back() = y;
        engine.SetDataRow(row, k + 1);
    }
    engine.SetInputCount(inputs);
    engine.SetGenesPerInput(6);
    for (int g = 0; g < 6; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
}

// A run that never needs a repair draws what it always drew: these are the figures of the
// defined rule.
TEST(TGeneticoRun, AnOrdinaryRunKeepsItsKnownResult) {
    auto engine = SmallEngine(20, 12);
    const std::vector<GenerationRow> rows = RunAndLog(*engine);
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows.back().BestError, 0x1.93338da35c6dep-7);
    EXPECT_EQ(rows.back().Mean, -0x1.a51796729f869p+8);
}

// With 30 inputs almost no random individual is usable whole; repaired fillings let the run
// reach a finite objective, the same in every mode.
TEST(TGeneticoRun, ManyInputsRunToAFiniteObjectiveInEveryMode) {
    const auto engineFor = [](int threads) {
        Rnd::GlobalState().SystemSeed = 0;
        auto engine = std::make_unique<TGenetico>(SeedMilliseconds);
        engine->SetPopulationSize(10);
        engine->Generations = 4;
        engine->RegenerationPeriod = 2;
        HandOverManyInputs(*engine, 30, 40);
        if (threads == 0)
            engine->UseReferenceMode();
        else
            engine->ThreadCount = threads;
        return engine;
    };
    auto reference = engineFor(0);
    const std::vector<GenerationRow> expected = RunAndLog(*reference);
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_LT(reference->BestModel().Error, 1e100);
    const Rnd::State drawsAfter = Rnd::GlobalState();
    for (const int threads : {1, 3}) {
        auto fast = engineFor(threads);
        EXPECT_EQ(RunAndLog(*fast), expected) << threads;
        EXPECT_EQ(fast->BestModel().Output(), reference->BestModel().Output());
        EXPECT_EQ(Rnd::GlobalState().RandomTable, drawsAfter.RandomTable);
        EXPECT_EQ(Rnd::GlobalState().RandomIndex, drawsAfter.RandomIndex);
        EXPECT_EQ(Rnd::GlobalState().SystemSeed, drawsAfter.SystemSeed);
    }
    auto initial = engineFor(3);
    initial->CreateInitialPopulation();
    for (const TMISOFunTrans& individual : initial->Population())
        EXPECT_LT(individual.Error, 1e100);
}

// Yields while workers evaluate must neither change the run nor show a best model that a
// worker is changing: the best model seen at each yield is always one reported by a row.
TEST(TGeneticoRun, YieldsWhileEvaluationsRunLeaveTheRunUnchanged) {
    for (const int threads : {1, 3}) {
        auto plain = SmallEngine(20, 12);
        plain->ThreadCount = threads;
        const std::vector<GenerationRow> expected = RunAndLog(*plain);

        auto yielding = SmallEngine(20, 12);
        yielding->ThreadCount = threads;
        yielding->ResponsiveInterval = std::chrono::milliseconds(0);
        std::vector<std::string> reported{Genotype(yielding->BestModel())};
        int yields = 0;
        int unreported = 0;
        yielding->KeepResponsive = [&] {
            ++yields;
            const std::string seen = Genotype(yielding->BestModel());
            if (yielding->Evolving() &&
                std::find(reported.begin(), reported.end(), seen) == reported.end())
                ++unreported;
        };
        yielding->ProcessMessages = [&] { reported.push_back(Genotype(yielding->BestModel())); };
        EXPECT_EQ(RunAndLog(*yielding), expected) << threads;
        EXPECT_EQ(Genotype(yielding->BestModel()), Genotype(plain->BestModel()));
        // On one thread every evaluation is followed by a yield; with workers, how many come
        // depends on who takes the evaluations.
        if (threads == 1) {
            EXPECT_GT(yields, 12);
        }
        EXPECT_EQ(unreported, 0);
    }
}

} // namespace
} // namespace orvanel
