// One identification run on a table of samples: the sequence the window and the command share.
#pragma once

#include "document/RunReport.h"

#include <functional>
#include <optional>
#include <string>

namespace orvanel {

class TableSamples;
class TGenetico;

// The steps in order: HandOver the samples (a refusal ends the run there), BeginReport, Run.
// Run ends the report whatever happened; an owner whose own steps fail between BeginReport and
// Run ends it with Finish instead. The engine must outlive the run.
class IdentificationRun {
public:
    // Genes of every input's transfer function, each drawn from [-1, 1].
    static constexpr int GenesPerInput = 6;

    explicit IdentificationRun(TGenetico& engine);

    // Stops the engine and hands it the samples and the genes of every input. Returns the
    // message the engine refuses the run with, or nothing when it can start.
    std::optional<std::string> HandOver(const TableSamples& samples);
    // Creates the report at path with the engine's parameters; throws std::runtime_error naming
    // the file when it cannot be created.
    void BeginReport(const std::string& path, ReportSeparators separators = {});
    // Runs the engine, one report row per generation, then ends the report. Returns the
    // failure to show, empty when there is none: the run's error, else the report's.
    std::string Run();
    // Ends the report when one was begun and is still open, with "RUN FAILED" and `failure` in
    // place of the model when `failure` is not empty; returns the failure as shown to the user,
    // or when it is empty the report's error.
    std::string Finish(std::string failure);

    // Whether BeginReport created a report for this run.
    bool ReportBegun() const { return reportBegun; }
    const RunReport& Report() const { return report; }

    // Called at the engine's yields: after every filling of the first population and once per
    // generation (after its report row). It may ask the engine to stop.
    std::function<void()> OnProgress;
    // Called after every report row, with the engine as of that generation.
    std::function<void(const TGenetico&)> OnRow;
    // Called about every engine.ResponsiveInterval while the engine waits for its evaluations.
    std::function<void()> OnResponsive;
    // Called just before the engine runs, when nothing is left to set up; seeds reproducible
    // runs.
    std::function<void()> BeforeRun;

private:
    void RunEngine();

    TGenetico& engine;
    RunReport report;
    bool reportBegun = false;
};

} // namespace orvanel
