#include "engine/search/Genetico.h"

#include "engine/search/Crossover.h"
#include "engine/search/RunParameters.h"
#include "engine/search/Selection.h"
#include "model/RunError.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <unistd.h>

namespace orvanel {
namespace {

constexpr int GeneTypeCount = 8;
// The run's loops look for a stop as often as a long evaluation does between its shares.
constexpr std::size_t StopCheckPeriod = CandidateEvaluator::StopCheckPeriod;

// Thrown inside a step of a run when a stop is requested during a long loop; the run catches
// it and ends.
struct StoppedInStep {};

// The share of a population a refresh replaces: N x percent / 100 rounded half to even, + 1.
double RefreshCount(int populationSize, double percent) {
    return std::nearbyint(static_cast<double>(populationSize) * percent / 100.0) + 1.0;
}

} // namespace

TGenetico::TGenetico(int milliseconds)
    : elite([this](std::size_t i) { return PopulationError(i); },
            [this](std::size_t handled) { StopPoint(handled); }),
      evaluator(*this, running, [this](std::size_t handled) { StopPoint(handled); }) {
    SetGenesPerInput(5);
    SetPopulationSize(80);
    Rnd::SeedRandom(Rnd::SeedFromMilliseconds(milliseconds));
}

TGenetico::~TGenetico() = default;

void TGenetico::SetPopulationSize(int n) {
    if (n == populationSize)
        return;
    n = std::max(n, 2);
    // Pairs of children fill the population, so it must be even; the largest int cannot be
    // raised to the next even count and is lowered instead.
    if (n % 2 != 0)
        n = n == INT_MAX ? n - 1 : n + 1;
    populationSize = n;
}

namespace {

// The probability setters' rule: a probability, a percentage, or past both the fallback.
void StoreProbability(double& stored, double x, double fallback) {
    if (x == stored)
        return;
    if (x <= 1.0)
        stored = x;
    else if (x <= 100.0)
        stored = x / 100.0;
    else
        stored = fallback;
}

} // namespace

void TGenetico::SetTournamentProbability(double x) {
    StoreProbability(tournamentProbability, x, 0.7);
}

void TGenetico::SetMutationProbability(double x) {
    StoreProbability(mutationProbability, x, 0.00001);
}

void TGenetico::SetGenesPerInput(int n) {
    if (n == genesPerInput)
        return;
    genesPerInput = std::max(n, 0);
    geneMin.resize(static_cast<std::size_t>(genesPerInput), 0.0);
    geneMax.resize(static_cast<std::size_t>(genesPerInput), 0.0);
}

void TGenetico::SetGeneRange(int g, double min, double max) {
    if (g < 0 || g >= genesPerInput)
        return;
    geneMin[static_cast<std::size_t>(g)] = min;
    geneMax[static_cast<std::size_t>(g)] = max;
}

void TGenetico::UseReferenceMode() {
    ThreadCount = 1;
    CacheEvaluations = false;
    ScoreTogether = false;
}

void TGenetico::SetDataSize(int inputs, int samples) {
    const auto columns = static_cast<std::size_t>(std::max(inputs, 0) + 1);
    const auto rows = static_cast<std::size_t>(std::max(samples, 0));
    dataTable.clear();
    dataExperiments = Experiments();
    for (std::size_t c = 0; c < columns; ++c)
        dataTable.push_back(std::make_shared<std::vector<double>>(rows, 0.0));
}

void TGenetico::SetDataRow(std::span<const double> values, int row) {
    if (row < 1 || row > SampleCount())
        return;
    const std::size_t columns = std::min(values.size(), dataTable.size());
    for (std::size_t c = 0; c < columns; ++c) {
        auto& column = dataTable[c];
        // Models of an earlier run may still share this column; they keep their samples.
        if (column.use_count() > 1)
            column = std::make_shared<std::vector<double>>(*column);
        (*column)[static_cast<std::size_t>(row - 1)] = values[c];
    }
}

int TGenetico::SampleCount() const {
    return dataTable.empty() ? 0 : static_cast<int>(dataTable.front()->size());
}

std::span<const double> TGenetico::DataColumn(int c) const {
    return *dataTable.at(static_cast<std::size_t>(c));
}

std::optional<std::string> TGenetico::RunRefusal() const {
    if (SampleCount() == 0)
        return "The data table has no data points.";
    if (inputCount < 1)
        return "The model needs at least one input.";
    if (static_cast<std::size_t>(inputCount) + 1 != dataTable.size())
        return "The number of inputs does not match the data table.";
    if (genesPerInput < 1)
        return "Every input needs at least one gene.";
    for (const RunParameter* parameter : RunParameters::All()) {
        if (auto refusal = parameter->RefusalFor(*this))
            return refusal;
        if (auto refusal = LimitRefusal(*parameter))
            return refusal;
    }
    return std::nullopt;
}

// The rules that tie a parameter to another one, checked after the parameter's own bounds.
std::optional<std::string> TGenetico::LimitRefusal(const RunParameter& parameter) const {
    if (&parameter == &RunParameters::PreservedIndividuals && PreservedIndividuals > populationSize)
        return "Preserved Individuals must not exceed the Population Size.";
    if (&parameter == &RunParameters::RegenerationPercent &&
        RefreshCount(populationSize, RegenerationPercent) > populationSize - 1)
        return "% Population Refreshed must leave at least one individual of the Population "
               "Size in place.";
    return std::nullopt;
}

std::uint64_t TGenetico::LeastRunBytes() const {
    // Every individual keeps its own computed output once scored, besides its chromosomes.
    constexpr std::uint64_t BytesPerFunction = 256;
    const auto individuals = static_cast<std::uint64_t>(std::max(populationSize, 0));
    const auto samples = static_cast<std::uint64_t>(SampleCount());
    const auto inputs = static_cast<std::uint64_t>(std::max(inputCount, 0));
    return individuals * (samples * sizeof(double) + inputs * BytesPerFunction);
}

std::uint64_t TGenetico::PhysicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

void TGenetico::Run() {
    // A population of large models over a long table can exceed the memory; the user can act
    // on this, not on "std::bad_alloc" or on the system ending the program.
    static constexpr const char* NotEnoughMemory =
        "Not enough memory for this run: lower the Population Size or the number of Data Points.";
    if (running)
        throw RunError("The algorithm is already running.");
    if (const auto refusal = RunRefusal())
        throw RunError(*refusal);
    // The system grants far more than it has and ends the program once the pages are used.
    if (LeastRunBytes() > PhysicalMemoryBytes())
        throw RunError(NotEnoughMemory);
    running = true;
    try {
        RunGenerations();
    } catch (const std::bad_alloc&) {
        running = false;
        throw RunError(NotEnoughMemory);
    } catch (...) {
        running = false;
        throw;
    }
    running = false;
}

void TGenetico::RunGenerations() {
    evolving = false;
    // A stop asked before this run, as an owner does before handing new data over, is not
    // for it.
    stopRequested = false;
    bool anyCompleted = false;
    GenerationFigures completed;
    try {
        CreateInitialPopulation();
        generation = -1;
        evolving = true;
        for (long long remaining = static_cast<long long>(Generations) + 1; remaining > 0;
             --remaining) {
            ++generation;
            completed = Figures();
            if (generation > 0 && RegenerationPeriod > 0 && generation % RegenerationPeriod == 0)
                RefreshPopulation();
            EvaluateGeneration();
            Breed();
            Mutate();
            UpdateBest();
            anyCompleted = true;
            if (AppendEvolutionRow)
                AppendEvolutionRow(*this);
            YieldToOwner();
            if (stopRequested) {
                stopRequested = false;
                generation = Generations;
                break;
            }
        }
    } catch (const StoppedInStep&) {
        EndStoppedRun(anyCompleted, completed);
        return;
    }
    UpdateBest();
    // Kept from generation to generation only, not to hold on to this run's data.
    offspring = {};
}

TGenetico::GenerationFigures TGenetico::Figures() const {
    return {meanFitness, fitnessDeviation, expectedTotal, mutations, reproductions};
}

// A stop inside a step leaves the population as the step left it: its models scored since
// they last changed keep their Error, the others get FailedError. The best model and the
// figures are those of the last completed generation; with none there is no model at all.
void TGenetico::EndStoppedRun(bool anyCompleted, const GenerationFigures& completed) {
    stopRequested = false;
    offspring = {};
    if (!anyCompleted) {
        population.clear();
        scored.clear();
        elite.Clear();
        bestModel = NewIndividual();
        bestModel.Error = TFunTrans::FailedError;
        evolving = false;
        throw RunError("The run was stopped before its first generation was complete: there "
                       "is no model.");
    }
    meanFitness = completed.Mean;
    fitnessDeviation = completed.Deviation;
    expectedTotal = completed.ExpectedTotal;
    mutations = completed.Mutations;
    reproductions = completed.Reproductions;
    for (std::size_t i = 0; i < population.size(); ++i) {
        if (!scored[i])
            population[i].Error = TFunTrans::FailedError;
    }
    generation = Generations;
}

TMISOFunTrans TGenetico::NewIndividual() const {
    TMISOFunTrans individual;
    const std::size_t inputs = runColumns.size() - 1;
    individual.SetInputCount(static_cast<int>(inputs));
    for (std::size_t t = 0; t < inputs; ++t) {
        TFunTrans& function = individual.Functions()[t];
        function.SetGeneCount(genesPerInput);
        function.SetSamples(runColumns[t], runColumns.back(), runExperiments);
    }
    return individual;
}

void TGenetico::CreateInitialPopulation() {
    runColumns.assign(dataTable.begin(), dataTable.end());
    runExperiments = dataExperiments;
    const auto n = static_cast<std::size_t>(populationSize);
    population.assign(n, TMISOFunTrans());
    scored.assign(n, 0);
    bestModel = NewIndividual();
    progressStep = static_cast<double>(Generations) / static_cast<double>(populationSize);
    progress = 0.0;
    FillAtRandom(0, n, true);
}

void TGenetico::CreateRandomIndividual(TMISOFunTrans& individual) {
    for (TFunTrans& function : individual.Functions())
        DrawGenes(function);
}

void TGenetico::DrawGenes(TFunTrans& function) const {
    function.SetGeneCount(genesPerInput);
    for (int g = 0; g < genesPerInput; ++g) {
        const double min = geneMin[static_cast<std::size_t>(g)];
        const double max = geneMax[static_cast<std::size_t>(g)];
        function.SetGeneValue(g, Rnd::RandomReal() * (max - min) + min);
        function.SetGeneType(g, Rnd::RandomInt(0, GeneTypeCount - 1));
    }
}

// Every filling draws the same sequence of numbers whichever position it is for and whether
// the previous one was accepted, so fillings can be drawn ahead and evaluated together; the
// random state is then wound back to just after the last filling used. A repair draws from
// the state after the filling it mends, so the fillings drawn ahead of it are dropped.
void TGenetico::FillAtRandom(std::size_t first, std::size_t end, bool buildingPopulation) {
    const auto threads = static_cast<std::size_t>(evaluator.ThreadCount());
    const std::size_t batch = threads > 1 ? 2 * threads : 1;
    std::vector<TMISOFunTrans> fillings(batch);
    std::vector<char> screened(batch);
    std::vector<Rnd::State> stateAfter(batch);
    std::size_t position = first;
    int attempts = 0;
    std::size_t tried = 0;
    while (position < end) {
        for (std::size_t b = 0; b < batch; ++b) {
            fillings[b] = NewIndividual();
            CreateRandomIndividual(fillings[b]);
            stateAfter[b] = Rnd::GlobalState();
        }
        evaluator.ScoreFillings(fillings, screened);
        for (std::size_t b = 0; b < batch && position < end; ++b) {
            ++attempts;
            const bool checkStop = StopCheckDue(++tried);
            if (buildingPopulation || checkStop)
                YieldToOwner();
            if (checkStop)
                EndIfStopRequested();
            const bool repair = fillings[b].Error > CandidateEvaluator::AcceptableError;
            if (repair && attempts < CandidateEvaluator::MaxFillings)
                continue;
            if (repair) {
                Rnd::GlobalState() = stateAfter[b];
                evaluator.Repair(fillings[b], runColumns.back()->size(),
                                 [this](TFunTrans& function) { DrawGenes(function); });
            }
            population[position] = std::move(fillings[b]);
            scored[position] = 1;
            ++position;
            attempts = 0;
            if (buildingPopulation)
                CountAcceptedIndividual();
            if (repair)
                break;
            if (position == end)
                Rnd::GlobalState() = stateAfter[b];
        }
    }
}

void TGenetico::CountAcceptedIndividual() {
    progress += progressStep;
    generation = static_cast<int>(std::nearbyint(progress));
    if (generation >= Generations)
        generation = Generations - 1;
}

void TGenetico::EnsurePopulationScored() {
    if (!CacheEvaluations)
        return;
    std::vector<TMISOFunTrans*> stale;
    for (std::size_t i = 0; i < population.size(); ++i) {
        if (!scored[i])
            stale.push_back(&population[i]);
    }
    evaluator.EvaluateAll(stale);
    std::fill(scored.begin(), scored.end(), 1);
}

// The Error of position i as the algorithm reads it: evaluated again in reference mode, the
// kept result otherwise (EnsurePopulationScored has run).
double TGenetico::PopulationError(std::size_t i) {
    if (!CacheEvaluations) {
        scored[i] = 1;
        return evaluator.Evaluate(population[i]);
    }
    return population[i].Error;
}

double TGenetico::FitnessFromScore(TMISOFunTrans& individual, double error) const {
    const double parameters = individual.ParamCountSum();
    double fitness = -error - parameters * SizeReductionFactor;
    if (!std::isfinite(fitness))
        fitness = FailedFitness;
    individual.Fitness = fitness;
    return fitness;
}

double TGenetico::IndividualFitness(TMISOFunTrans& individual) {
    return FitnessFromScore(individual, evaluator.Evaluate(individual));
}

void TGenetico::EvaluateGeneration() {
    EnsurePopulationScored();
    if (!CacheEvaluations) {
        for (std::size_t i = 0; i < population.size(); ++i) {
            evaluator.Evaluate(population[i]);
            scored[i] = 1;
            StopPoint(i + 1);
        }
    }
    // Every fitness of a generation with the same size penalty, which the owner may change
    // while the evaluations above yield.
    std::vector<double> fitness(population.size());
    for (std::size_t i = 0; i < population.size(); ++i)
        fitness[i] = FitnessFromScore(population[i], population[i].Error);
    const FitnessStatistics statistics = ComputeFitnessStatistics(fitness);
    meanFitness = statistics.Mean;
    fitnessDeviation = statistics.Deviation;
    expectedTotal = 0.0;
    const auto n = static_cast<int>(population.size());
    if (SelectionType == 2) {
        SortByFitness();
        for (int i = 0; i < n; ++i)
            population[static_cast<std::size_t>(i)].RankScale(n - i, n);
    } else {
        for (TMISOFunTrans& individual : population)
            individual.SigmaScale(meanFitness, fitnessDeviation);
    }
    for (const TMISOFunTrans& individual : population)
        expectedTotal += individual.Expected;
}

void TGenetico::SortByFitness() {
    std::vector<double> fitness(population.size());
    for (std::size_t i = 0; i < population.size(); ++i)
        fitness[i] = population[i].Fitness;
    const std::vector<std::size_t> order = SortByFitnessOrder(fitness);
    std::vector<TMISOFunTrans> sorted;
    std::vector<char> sortedScored;
    sorted.reserve(population.size());
    sortedScored.reserve(population.size());
    for (const std::size_t from : order) {
        sorted.push_back(std::move(population[from]));
        sortedScored.push_back(scored[from]);
    }
    population = std::move(sorted);
    scored = std::move(sortedScored);
}

void TGenetico::CrossPair(std::size_t a, std::size_t b, TMISOFunTrans& first,
                          TMISOFunTrans& second) {
    const TMISOFunTrans& parentA = population[a];
    const TMISOFunTrans& parentB = population[b];
    for (std::size_t i = 0; i < parentA.Functions().size(); ++i) {
        const TFunTrans& fa = parentA.Functions()[i];
        const TFunTrans& fb = parentB.Functions()[i];
        const int ga = Rnd::RandomInt(0, fa.GeneCount() - 1);
        const int gb = Rnd::RandomInt(0, fb.GeneCount() - 1);
        const int c = Rnd::RandomInt(0, fa.BitsPerGene() - 1);
        CrossFunctions(fa, fb, ga, gb, c, first.Functions()[i], second.Functions()[i]);
    }
}

void TGenetico::Breed() {
    const std::size_t n = population.size();
    // Read once: the owner may change them while a long generation yields.
    const int selection = SelectionType;
    const double tournament = tournamentProbability;
    const double crossing = ReproductionProbability;
    // The last generation's objects take the copies, so that their storage is used again.
    std::vector<TMISOFunTrans>& next = offspring;
    next.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        next[i].Assign(population[i]);
        StopPoint(i + 1);
    }
    std::vector<char> nextScored = scored;
    std::vector<double> fitness(n);
    std::vector<double> weights(n);
    for (std::size_t i = 0; i < n; ++i) {
        fitness[i] = population[i].Fitness;
        weights[i] = population[i].Expected;
    }
    const RouletteWheel wheel(weights);
    reproductions = 0;
    for (std::size_t p = 0; p + 1 < n; p += 2) {
        StopPoint(p + 2);
        std::size_t a = 0;
        std::size_t b = 0;
        if (selection == 1) {
            a = TournamentPick(fitness, tournament);
            b = TournamentPick(fitness, tournament);
        } else {
            a = wheel.First(expectedTotal);
            b = wheel.Second(expectedTotal, a);
        }
        if (!Rnd::Flip(crossing))
            continue;
        ++reproductions;
        CrossPair(a, b, next[p], next[p + 1]);
        nextScored[p] = 0;
        nextScored[p + 1] = 0;
    }
    const std::size_t k = ElitismCount();
    UpdateElite(static_cast<int>(std::max<std::size_t>(k, 1)));
    for (std::size_t j = 0; j < k; ++j) {
        next[j].Assign(elite.Members()[j]);
        nextScored[j] = 1;
    }
    population.swap(next);
    for (TMISOFunTrans& old : offspring)
        old.ReleaseOutput();
    scored = std::move(nextScored);
}

void TGenetico::Mutate() {
    mutations = 0;
    const double probability = mutationProbability;
    std::vector<int> hits;
    for (std::size_t i = ElitismCount(); i < population.size(); ++i) {
        StopPoint(i + 1);
        for (TFunTrans& function : population[i].Functions()) {
            Rnd::Flips(probability, function.BitCount(), hits);
            for (const int j : hits) {
                function.SetBit(j, function.Bit(j) == 0 ? 1 : 0);
                ++mutations;
                scored[i] = 0;
            }
        }
    }
}

void TGenetico::UpdateElite(int k) {
    EnsurePopulationScored();
    const auto count =
        static_cast<std::size_t>(std::clamp(k, 1, static_cast<int>(population.size())));
    elite.Update(population, count, CacheEvaluations);
}

void TGenetico::UpdateBest() {
    UpdateElite(1);
    bestModel.Assign(elite.Members().front());
    // Also with the cache: a copy does not carry its transfer functions' coefficients, which
    // the owner may read.
    evaluator.EvaluateInFull(bestModel);
}

void TGenetico::RefreshPopulation() {
    const auto n = population.size();
    const std::size_t kept = n - RefreshedCount();
    UpdateElite(static_cast<int>(kept));
    FillAtRandom(kept, n, false);
    for (std::size_t j = 0; j < kept; ++j) {
        population[j].Assign(elite.Members()[j]);
        scored[j] = 1;
    }
}

// The owner may change parameters while the run yields; the steps read these two through
// limits that keep every position inside the population.
std::size_t TGenetico::ElitismCount() const {
    return static_cast<std::size_t>(
        std::clamp(PreservedIndividuals, 0, static_cast<int>(population.size())));
}

std::size_t TGenetico::RefreshedCount() const {
    const double percent = RegenerationPercent >= 0.0 ? std::min(RegenerationPercent, 100.0) : 0.0;
    const double count = RefreshCount(static_cast<int>(population.size()), percent);
    return static_cast<std::size_t>(
        std::clamp(count, 1.0, static_cast<double>(population.size() - 1)));
}

void TGenetico::YieldToOwner() {
    if (ProcessMessages)
        ProcessMessages();
}

bool TGenetico::StopCheckDue(std::size_t handled) const {
    return running && handled % StopCheckPeriod == 0;
}

void TGenetico::EndIfStopRequested() const {
    if (stopRequested)
        throw StoppedInStep{};
}

void TGenetico::StopPoint(std::size_t handled) {
    if (!StopCheckDue(handled))
        return;
    YieldToOwner();
    EndIfStopRequested();
}

} // namespace orvanel
