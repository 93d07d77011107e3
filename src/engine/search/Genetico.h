// The genetic algorithm that identifies a multi-input single-output model from sampled data.
#pragma once

#include "engine/search/CandidateEvaluator.h"
#include "engine/search/EliteKeeper.h"
#include "model/Experiments.h"
#include "model/MISOFunTrans.h"
#include "model/Rnd.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvanel {

struct RunParameter;

// One engine per data document. The owner sets the parameters, hands the data over
// (SetDataSize, SetDataRow for every row, SetInputCount), then calls Run, which builds a random
// population and breeds it for Generations + 1 generations. Every random draw happens on the
// calling thread in a fixed order, so a seed and the parameters decide the whole run; model
// evaluations, which draw nothing, may run on several threads and are cached per individual
// until its chromosome changes, without changing any result.
class TGenetico {
public:
    // Takes every parameter's default and seeds the shared random source from the millisecond
    // field of the time of day (0..999): divided by 10 while above 1, so 537 seeds 0.537.
    explicit TGenetico(int milliseconds = Rnd::CurrentMilliseconds());
    ~TGenetico();
    TGenetico(const TGenetico&) = delete;
    TGenetico& operator=(const TGenetico&) = delete;

    // Parameters with a setter. The others are plain fields below.
    int PopulationSize() const { return populationSize; }
    // Values below 2 become 2, odd values are raised by 1 (the largest int is lowered by 1).
    void SetPopulationSize(int n);
    double TournamentProbability() const { return tournamentProbability; }
    double MutationProbability() const { return mutationProbability; }
    // A value up to 1 is a probability, up to 100 a percentage; above 100 the tournament
    // probability becomes 0.7 and the mutation probability 0.00001.
    void SetTournamentProbability(double x);
    void SetMutationProbability(double x);
    int GenesPerInput() const { return genesPerInput; }
    // Genes of every transfer function of a new individual (negative counts give 0). The gene
    // ranges follow the count, new entries 0.
    void SetGenesPerInput(int n);
    const std::vector<double>& GeneMin() const { return geneMin; }
    const std::vector<double>& GeneMax() const { return geneMax; }
    // The interval new values of gene position g are drawn from; ignored outside
    // 0..GenesPerInput-1.
    void SetGeneRange(int g, double min, double max);

    // Generations of a run: the loop runs Generations + 1 times, none when negative.
    int Generations = 100;
    // 0 sigma scaling, 1 tournament selection, 2 rank selection.
    int SelectionType = 0;
    // Probability that a selected pair is crossed.
    double ReproductionProbability = 0.85;
    // Elitism: the individuals of lowest error carried unmutated into each generation.
    int PreservedIndividuals = 5;
    // A population refresh before every generation that is a multiple of this (at least 1).
    int RegenerationPeriod = 10;
    // Share of the population (0..100) a refresh replaces with new random individuals.
    double RegenerationPercent = 10.0;
    // Fitness penalty per model parameter.
    double SizeReductionFactor = 100.0;

    // Evaluation settings; neither changes any result. ThreadCount 0 uses every core. With
    // CacheEvaluations a model is simulated again only after its chromosome changed, and a
    // random filling that cannot be decoded into a model the simulation accepts is not
    // simulated before it is drawn again.
    int ThreadCount = 0;
    bool CacheEvaluations = true;
    // With ScoreTogether the models of a batch are simulated side by side in the vector
    // lanes, and the coefficient texts are built for the best model only.
    bool ScoreTogether = true;
    // One thread, no cache, each model scored alone: every evaluation the algorithm names
    // happens where it names it, as the algorithm is written.
    void UseReferenceMode();

    // The data table: inputs + 1 columns (the inputs, then the measured output) of samples
    // zeros each, replacing the previous table. Negative sizes count as 0.
    void SetDataSize(int inputs, int samples);
    // Stores values (inputs first, the output last) as sample row - 1. A row outside
    // 1..samples is ignored, and so are values beyond the table's columns.
    void SetDataRow(std::span<const double> values, int row);
    // The experiments the table's rows are made of, each simulated from rest; SetDataSize
    // makes the table one experiment again.
    void SetExperiments(Experiments experiments) { dataExperiments = std::move(experiments); }
    const Experiments& DataExperiments() const { return dataExperiments; }
    // Number of model inputs; a run refuses a count that does not match the table.
    void SetInputCount(int n) { inputCount = n; }
    int InputCount() const { return inputCount; }
    int DataColumnCount() const { return static_cast<int>(dataTable.size()); }
    int SampleCount() const;
    // The least memory a run of these parameters needs: a run that needs more than the machine
    // has is refused before the population is built.
    std::uint64_t LeastRunBytes() const;
    static std::uint64_t PhysicalMemoryBytes();
    // Column c of the table (inputs first, the output last).
    std::span<const double> DataColumn(int c) const;

    // Called after every filling of the initial population, once per generation, and every
    // thousand or so individuals of a step over a population of thousands, where the window
    // system gets to process its pending messages; it may call RequestStop.
    std::function<void()> ProcessMessages;
    // Called once per generation, after the best model is updated, to write the report row.
    std::function<void(const TGenetico&)> AppendEvolutionRow;
    // Called on the calling thread about every ResponsiveInterval while it waits for the
    // evaluations of a batch, so that a window stays live through long generations. BestModel
    // is then that of the last completed generation and no evaluation touches it; Generation
    // may already count the generation in progress. It may call RequestStop and read the run
    // state, but must not start another run of this engine.
    std::function<void()> KeepResponsive;
    std::chrono::milliseconds ResponsiveInterval{40};

    // The message that Run would refuse with, naming the offending field as the options
    // dialog labels it, or nothing when a run can start.
    std::optional<std::string> RunRefusal() const;
    // A whole run. Throws RunError before touching anything when RunRefusal has a message or
    // a run of this engine is in progress (called again while it yields); any error of a
    // generation (RunError::AllEqual) ends the run and propagates, leaving the best model of the
    // last completed generation. A stop before the first generation is complete is such an
    // error too: the population is then empty and BestModel has Error FailedError.
    void Run();
    // Ends the run after the current generation. A step that loops over thousands of
    // individuals (building or refreshing the population, scoring, breeding) ends sooner, at
    // its next look about every thousand individuals: BestModel, the figures and Generation
    // are then those of a stopped run after the last completed generation, and a model of
    // the population not scored since it last changed has Error FailedError. A request made
    // before Run starts is dropped.
    void RequestStop() { stopRequested = true; }
    // Forgets a stop asked while no run is in progress, as Run does when it starts.
    void DropStop() { stopRequested = false; }

    // Run state, read by the owner while the run yields and after it.
    // While the population is built, a progress count up to Generations - 1; then the current
    // generation 0..Generations.
    int Generation() const { return generation; }
    bool Evolving() const { return evolving; }
    bool StopRequested() const { return stopRequested; }
    double MeanFitness() const { return meanFitness; }
    double FitnessDeviation() const { return fitnessDeviation; }
    int Mutations() const { return mutations; }
    int Reproductions() const { return reproductions; }
    double ExpectedTotal() const { return expectedTotal; }
    const std::vector<TMISOFunTrans>& Population() const { return population; }
    const std::vector<TMISOFunTrans>& Elite() const { return elite.Members(); }
    // The lowest-error individual after the last completed generation, evaluated.
    const TMISOFunTrans& BestModel() const { return bestModel; }
    // Model evaluations made since creation.
    std::int64_t EvaluationCount() const { return evaluator.Count(); }

    // The steps of Run, public so that each can be exercised alone. They expect what Run
    // provides: accepted parameters and, except for the first, a built population.

    // Population and BestModel from new individuals; fills every position at random until
    // its error is at most 1e100, counting Generation up as positions are accepted. When the
    // 501st filling of a position is not acceptable either, it is repaired: input by input, a
    // transfer function that does not decode, is not admissible or whose own error exceeds
    // 1e100 is drawn again (up to 500 times each), and the whole is kept whatever its error.
    void CreateInitialPopulation();
    // Gives every gene of every transfer function a value drawn from its range and a type
    // drawn from 0..7, in input and gene order.
    void CreateRandomIndividual(TMISOFunTrans& individual);
    // Evaluates the individual and stores and returns -Error - ParamCount x SizeReductionFactor,
    // or -1e300 when that is not a finite number.
    double IndividualFitness(TMISOFunTrans& individual);
    // Scores every individual, sets MeanFitness, FitnessDeviation, the selection weights and
    // ExpectedTotal; throws RunError::AllEqual() with fewer than two valid scores.
    void EvaluateGeneration();
    // Reorders the population by fitness, fitter first, by the engine's own quicksort.
    void SortByFitness();
    // Selection, one-point crossover of the chosen pairs and elitism into a new generation.
    void Breed();
    // Flips bits with MutationProbability after the elite positions.
    void Mutate();
    // Elite := copies of the k individuals of lowest error (k taken into 1..N), earlier
    // positions winning ties, in the order the slots were filled.
    void UpdateElite(int k);
    // BestModel := a copy of the lowest-error individual, evaluated.
    void UpdateBest();
    // Keeps the individuals of lowest error in the first positions and replaces the last
    // round(N x RegenerationPercent / 100) + 1 positions with new random individuals.
    void RefreshPopulation();

private:
    std::optional<std::string> LimitRefusal(const RunParameter& parameter) const;
    void RunGenerations();
    TMISOFunTrans NewIndividual() const;
    void EnsurePopulationScored();
    double PopulationError(std::size_t i);
    double FitnessFromScore(TMISOFunTrans& individual, double error) const;
    void FillAtRandom(std::size_t first, std::size_t end, bool buildingPopulation);
    void DrawGenes(TFunTrans& function) const;
    void CountAcceptedIndividual();
    void CrossPair(std::size_t a, std::size_t b, TMISOFunTrans& first, TMISOFunTrans& second);
    std::size_t ElitismCount() const;
    std::size_t RefreshedCount() const;
    void YieldToOwner();
    // The figures an observer reads once per generation.
    struct GenerationFigures {
        double Mean = 0.0;
        double Deviation = 0.0;
        double ExpectedTotal = 0.0;
        int Mutations = 0;
        int Reproductions = 0;
    };
    GenerationFigures Figures() const;
    void EndStoppedRun(bool anyCompleted, const GenerationFigures& completed);
    // Whether a loop of a run that has handled this many individuals looks for a stop now.
    bool StopCheckDue(std::size_t handled) const;
    void EndIfStopRequested() const;
    // Called by a loop of a run once per individual handled: at every look it serves the
    // owner and ends the step if a stop is requested.
    void StopPoint(std::size_t handled);

    int populationSize = 0;
    double tournamentProbability = 0.7;
    double mutationProbability = 0.001;
    int genesPerInput = 0;
    std::vector<double> geneMin;
    std::vector<double> geneMax;

    int inputCount = 1;
    std::vector<std::shared_ptr<std::vector<double>>> dataTable;
    Experiments dataExperiments;

    int generation = 0;
    bool evolving = false;
    bool stopRequested = false;
    bool running = false;
    double meanFitness = 0.0;
    double fitnessDeviation = 0.0;
    int mutations = 0;
    int reproductions = 0;
    double expectedTotal = 0.0;
    double progress = 0.0;
    double progressStep = 0.0;

    // The data of the current run's individuals, inputs then the output; a new table handed
    // over while it runs does not reach them.
    std::vector<std::shared_ptr<const std::vector<double>>> runColumns;
    Experiments runExperiments;
    std::vector<TMISOFunTrans> population;
    // The generation before the current one, whose objects the next copies go into.
    std::vector<TMISOFunTrans> offspring;
    // Per population position: whether its Error, Output and parameter count belong to its
    // current chromosome. Copies carry the flag; crossover and mutation clear it.
    std::vector<char> scored;
    EliteKeeper elite;
    TMISOFunTrans bestModel;
    CandidateEvaluator evaluator;
};

} // namespace orvanel
