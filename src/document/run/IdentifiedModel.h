// What a run found, as the window and the command show it.
#pragma once

#include "engine/linear/ColumnOffsets.h"
#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace orvanel {

struct IdentifiedModel {
    // The final model: refined when refinement was asked for, the best of the restarts. It
    // maps the inputs less their offsets to the output less its offset.
    LinearModel Model;
    // The means taken out of the columns (all 0 without offset removal), the output's last.
    ColumnOffsets Offsets;
    // The model's output over every row from zero state, the output's offset added back.
    std::vector<double> Computed;
    // The first row of the validation part; the row count when nothing is held out.
    std::size_t ValidationBegins = 0;
    // Fit percentages (FitFigure) of Computed on the estimation and the validation rows;
    // NaN where there are no such rows or the output is constant over them.
    double EstimationFit = std::numeric_limits<double>::quiet_NaN();
    double ValidationFit = std::numeric_limits<double>::quiet_NaN();
    // Sum of squared residuals on the estimation rows, offsets removed.
    double EstimationError = std::numeric_limits<double>::infinity();
    // Whether Model came out of refinement rather than straight from a search.
    bool Refined = false;
    // The restart, from 0 for the run's own search, whose model this is.
    int Restart = 0;
    // The established estimator whose start the model was refined from, such as "ARX
    // estimate"; empty when it came from a search.
    std::string Origin;
    // The searches that ran to their end, the run's own included: fewer than asked for when
    // the run was stopped during the restarts.
    int CompletedSearches = 1;
    // The model judged on other experiments than the one it was found on, each simulated from
    // rest (with offsets removed, around the model's offsets: the estimation means).
    struct OtherData {
        std::string Name;
        std::vector<double> Measured;
        std::vector<double> Computed;
        double Fit = std::numeric_limits<double>::quiet_NaN();
    };
    std::vector<OtherData> Validation;
    // The fit over all of them together, each part around its own mean.
    double OtherDataFit = std::numeric_limits<double>::quiet_NaN();
    // With several experiments identified together, each one's rows among Computed, the
    // means taken out of its columns and its fit figures; EstimationFit and ValidationFit
    // are then over all of them, each part around its own mean, and Offsets the means over
    // every estimation row. Empty for one experiment.
    struct Experiment {
        std::string Name;
        std::size_t Begin = 0;
        std::size_t ValidationBegins = 0;
        std::size_t End = 0;
        ColumnOffsets Offsets;
        double EstimationFit = std::numeric_limits<double>::quiet_NaN();
        double ValidationFit = std::numeric_limits<double>::quiet_NaN();
    };
    std::vector<Experiment> PerExperiment;
};

} // namespace orvanel
