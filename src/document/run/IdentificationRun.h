// One identification run on a table of samples: the sequence the window and the command share.
#pragma once

#include "document/run/FinishedSearch.h"
#include "document/run/IdentificationOptions.h"
#include "document/run/IdentifiedModel.h"
#include "document/run/ModelSummary.h"
#include "document/run/RestartSlice.h"
#include "document/run/RunProgress.h"
#include "document/run/RunReport.h"
#include "document/run/RunResult.h"
#include "document/run/RunRows.h"
#include "document/run/SearchPolish.h"
#include "document/run/ValidationData.h"
#include "engine/estimators/StructureSearch.h"
#include "engine/linear/ColumnOffsets.h"
#include "engine/linear/LinearModel.h"
#include "model/Rnd.h"

#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

class TableSamples;
class TGenetico;
class TMISOFunTrans;

// The steps in order: HandOver the samples (a refusal ends the run there), BeginReport, Run.
// Run ends the report whatever happened; an owner whose own steps fail between BeginReport and
// Run ends it with Finish instead. The engine must outlive the run.
//
// Options, set before HandOver, add steps around the search: offsets taken out before the
// hand-over, the engine restricted to the estimation rows, restarts and refinement after it,
// and the final model simulated over all rows. With the default options the run is the search
// alone and its report is as it always was.
class IdentificationRun {
public:
    using PhaseProgress = RunProgress::PhaseProgress;
    using StopPhase = RunProgress::StopPhase;

    // Genes of every input's transfer function, each drawn from [-1, 1].
    static constexpr int GenesPerInput = 6;
    // The highest order of a transfer function's numerator or denominator a run builds: the
    // search draws at most a pair of poles or zeros per gene and its growth adds at most a pair
    // per pass. A file that claims more is damaged.
    static constexpr int MostOrder = 2 * (GenesPerInput + StructureSearch::DefaultPasses);

    explicit IdentificationRun(TGenetico& engine);

    // Stops the engine and hands it the samples and the genes of every input. Returns the
    // message the engine refuses the run with, or nothing when it can start.
    // With Options asking for it, the engine gets only the estimation rows, their offsets
    // removed, and the thorough search settings.
    std::optional<std::string> HandOver(const TableSamples& samples);
    // Several experiments with the same columns, in order, each named for the report: one
    // model fitted to all of them, each simulated from rest and, with offsets removed, taken
    // around its own means; a validation part holds out the last rows of each. The messages
    // name the experiment they are about. One experiment is HandOver(samples).
    std::optional<std::string> HandOver(std::span<const TableSamples> experiments,
                                        std::vector<std::string> names);
    // Creates the report at path with the engine's parameters; throws std::runtime_error naming
    // the file when it cannot be created.
    void BeginReport(const std::string& path, ReportSeparators separators = {});
    // Runs the engine, one report row per generation, then ends the report. Returns the
    // failure to show, empty when there is none: the run's error, else the report's.
    // After the search come the restarts and the refinement, then Result is set; the report
    // then ends with a section on the model's quality when any option is used.
    std::string Run();
    // Ends the report when one was begun and is still open, with "RUN FAILED" and `failure` (as
    // RunReport::FailureText shows it) in place of the model when `failure` is not empty;
    // returns `failure`, or when it is empty the report's error.
    std::string Finish(std::string failure);

    // Whether BeginReport created a report for this run.
    bool ReportBegun() const { return reportBegun; }
    const RunReport& Report() const { return report; }
    // The final model with its computed output and fit figures, after a Run that succeeded;
    // nothing before, after a failure, or when the search's best model cannot be simulated.
    const std::optional<IdentifiedModel>& Result() const { return result.Model(); }
    // Writes Result's computed output to path (see RunResult); part 0 is the run's own data,
    // part k the k-th of OtherData.
    void WriteComputedOutput(const std::string& path, std::size_t part = 0) const;
    // The same for the rows of experiment k (from 0) of several identified together.
    void WriteExperimentOutput(const std::string& path, std::size_t k) const;
    // Values one per line with 17 significant digits (see RunResult).
    static void WriteValues(const std::string& path, std::span<const double> values);
    // The random source as the search began, after BeforeRun: the same draws again from it.
    const Rnd::State& StartState() const { return seedState; }
    // Options with Thorough spelt out, as HandOver took them.
    const IdentificationOptions& Resolved() const { return resolved; }

    // The phase of the run a stop asked of the engine ended.
    StopPhase Stopped() const { return progress.Stopped(); }
    // The generation of the last report row written, -1 before the first: where a stopped
    // search ended (a stopped engine counts its generations as all done).
    int LastGeneration() const { return progress.LastGeneration; }
    // Whether the search completed a generation, so that it has a best model to show even
    // when the run failed after that.
    bool HasModel() const { return progress.HasModel(); }
    // The search whose model was kept, 1 for the run's own, and how many searches completed.
    int KeptSearch() const { return Result() ? Result()->Restart + 1 : 1; }
    int CompletedSearches() const { return progress.CompletedSearches; }
    // The search's best model as the report shows it under OPTIMUM SOLUTION: that of the
    // search whose model was kept, which with restarts need not be the engine's.
    const TMISOFunTrans& KeptSearchModel() const;
    // Where a stopped run ended, for the report and the user (see RunProgress).
    std::vector<std::string> StopLines() const;

    // What runs after the search and how far it is, for a status line (see RunProgress). May
    // be read from OnResponsive while the restarts and the refinement run on other threads.
    PhaseProgress Progress() const { return progress.Progress(resolved.Restarts, Slice); }

    // Set before HandOver.
    IdentificationOptions Options;
    // Whether the rows handed over differ from the data file's: a table edited and not saved.
    // The report and the exports then say so, with the number of rows used.
    bool DataEdited = false;
    // Cells of the data file filled by interpolation, which the report counts.
    int FilledCells = 0;
    // Other experiments to judge the model on, named for the report; each must have as many
    // inputs as the run's data. Set before Run; with offsets removed each is taken around the
    // estimation means, as the exported model takes it.
    std::vector<ValidationData> OtherData;
    // Takes the samples' columns as an experiment of OtherData; nothing when its inputs are not
    // the run's, which the returned message then says.
    std::optional<std::string> AddOtherData(std::string name, const TableSamples& samples);

    // After HandOver: the refusal of a constant output (see RunRows), or nothing.
    std::optional<std::string> ConstantOutputRefusal() const;

    // The means taken out of the columns for the search (see RunRows).
    const ColumnOffsets& Offsets() const { return runRows.Offsets(); }
    // The rows handed over.
    std::size_t Rows() const { return runRows.Count(); }
    // The columns the model is fitted to (see RunRows); no rows before HandOver.
    ModelSummary::Data EstimationData() const { return runRows.Estimation(); }
    // The final model's figures per input for a sample time (see RunResult): the report, the
    // exports and the command all show them. Empty without a result.
    const std::vector<InputSummary>& Summaries(std::optional<double> sampleTime) const;
    // Seconds between samples, set before Run: the report's figures are then in seconds,
    // otherwise in samples.
    std::optional<double> SampleTime;

    // Called at the engine's yields: after every filling of the first population and once per
    // generation (after its report row). It may ask the engine to stop.
    std::function<void()> OnProgress;
    // Called after every report row, with the engine as of that generation.
    std::function<void(const TGenetico&)> OnRow;
    // Called about every engine.ResponsiveInterval while the engine waits for its evaluations
    // and while the restarts and the refinement run; a stop asked of the engine there ends
    // the restarts, whose models are then left out.
    std::function<void()> OnResponsive;
    // Called just before the engine runs, when nothing is left to set up; seeds reproducible
    // runs.
    std::function<void()> BeforeRun;

    // The restarts spread over processes. With Count above 1, Run runs only the searches whose
    // index is Index modulo Count, the run's own search (index 0) only in slice 0; it then
    // keeps no model and ends no report, and SliceSearches holds what the searches found.
    // Set before Run.
    RestartSlice Slice;
    const std::vector<FinishedSearch>& SliceSearches() const { return sliceSearches; }
    // After HandOver: the first search whose model does not give, on these data, the squared
    // error it came with ("Search 2's model gives the squared error 3.5, not the 1.25 it came
    // with: its part was changed"); such a model would be used while the texts that came with
    // it are printed.
    std::optional<std::string> ForeignModel(const std::vector<FinishedSearch>& searches) const;
    // In place of Run, after HandOver and BeginReport: ends the run with the searches of every
    // slice, one per index, as the run in one process ends with them. The report's evolution
    // table is `evolutionRows` (slice 0's, as RunReport::EvolutionRowText wrote them, the last
    // of generation `finalGeneration`). With `stopped`, a stop cut the slices short: the run
    // ends as one stopped then, by the searches' scores. Returns what Run returns.
    std::string RunMerged(const std::vector<FinishedSearch>& searches,
                          std::string_view evolutionRows, int finalGeneration,
                          bool stopped = false);

private:
    using Found = SearchPolish::Found;

    void RunEngine();
    std::vector<std::optional<Found>> FindAll(int restarts);
    std::optional<std::pair<Found, int>>
    ChosenByHoldOut(const std::vector<std::optional<Found>>& found, std::size_t searches);
    void RunServing(std::size_t count, std::atomic<bool>& stop, StopPhase phase,
                    const std::function<void(std::size_t)>& task);
    void Conclude();
    // The model chosen among the searches' (the first `searches`) and the estimators'.
    void KeepChosen(const std::vector<std::optional<Found>>& found, std::size_t searches);
    // The penalty per parameter of the structures, with the engine's settings.
    double PenaltyOf(const TGenetico& settings) const;
    void ConcludeWithSearchBest();
    void NoteSearchStop();
    StopPhase PhaseAfterSearch() const;
    std::optional<std::string> MemoryRefusal() const;
    std::string Ending(bool failed) const;

    TGenetico& engine;
    RunReport report;
    bool reportBegun = false;
    IdentificationOptions resolved;
    // The rows handed over, which the phases after the search work on.
    RunRows runRows;
    std::vector<LinearModel> candidates;
    Rnd::State seedState;
    // The work on the estimation rows after the search, with the structure penalty FindAll or
    // RunMerged takes from the engine's settings; it keeps the estimators' models.
    std::optional<SearchPolish> polish;
    RunResult result{runRows, OtherData};
    RunProgress progress;
    std::vector<FinishedSearch> sliceSearches;
};

} // namespace orvanel
