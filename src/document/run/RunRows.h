// The rows a run works on: its experiments' columns, each with its validation part and offsets.
#pragma once

#include "document/run/IdentificationOptions.h"
#include "document/run/IdentifiedModel.h"
#include "document/run/ModelSummary.h"
#include "engine/linear/ColumnOffsets.h"
#include "engine/linear/LinearModel.h"
#include "model/Experiments.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvanel {

class TableSamples;

// Every experiment's columns laid end to end, the output last, each experiment's last rows
// held out for validation and, with offset removal, each taken around its own means over its
// estimation rows; the estimation rows of all of them are what the model is fitted to.
class RunRows {
public:
    // Takes the experiments' columns with `options` (resolved); several are named for the
    // messages by `names`, or "experiment k" where a name is missing. Returns the refusal of
    // rows too few for a model's genes or for a validation part, naming the experiment, or
    // nothing. A refusal may leave some of the rows taken.
    std::optional<std::string> Take(std::span<const TableSamples> experiments,
                                    std::vector<std::string> names,
                                    const IdentificationOptions& options);

    // The refusal of an output of one value over every estimation row, which leaves no
    // variation to fit (the search's models then grow without bound), or nothing.
    std::optional<std::string> ConstantOutputRefusal() const;
    // Where no model could be scored: the value too large for the squared errors, as the
    // search saw it, to append to the engine's failure; empty when no value is to blame.
    std::string OverflowCause() const;
    // The output's squared deviation from each experiment's mean over its estimation rows.
    double OutputDeviation() const;

    // The columns the model is fitted to, over the estimation rows with offsets removed, as a
    // model's summary takes them; none before Take.
    ModelSummary::Data Estimation() const;
    // The model over every row from rest, the offsets added back, and its fit figures on the
    // estimation and validation rows, each experiment's and all of them together.
    IdentifiedModel Judged(LinearModel found) const;

    // Rows of all experiments.
    std::size_t Count() const { return measured.size(); }
    // The inputs and the output: 0 before Take.
    std::size_t Width() const { return columns.size(); }
    // The means taken out of the columns (none without offset removal): the search's models
    // map the inputs less these to the output less its mean.
    const ColumnOffsets& Offsets() const { return offsets; }

private:
    void TakeExperiments(std::span<const TableSamples> experiments);
    void SeparateExperiments();
    std::optional<std::string> ExperimentRowsRefusal(std::span<const TableSamples> experiments,
                                                     int inputs) const;
    void JudgeExperiments(IdentifiedModel& model) const;
    std::span<const double> EstimationColumn(std::size_t c) const;
    std::vector<std::span<const double>> EstimationInputs() const;
    std::vector<std::span<const double>> InputColumns(std::size_t rows) const;

    IdentificationOptions resolved;
    // Every column over all rows, offsets removed, the output last; and the output as measured.
    std::vector<std::vector<double>> columns;
    std::vector<double> measured;
    ColumnOffsets offsets;
    std::size_t estimationRows = 0;
    // With several experiments: their names, where each begins among all rows and among the
    // estimation rows, its own offsets, and the estimation rows of every column (offsets
    // removed), which are then no longer the first rows of `columns`.
    std::vector<std::string> names;
    Experiments allParts;
    Experiments estimationParts;
    std::vector<ColumnOffsets> experimentOffsets;
    std::vector<std::size_t> validationBegins;
    std::vector<std::vector<double>> estimationColumns;
};

} // namespace orvanel
