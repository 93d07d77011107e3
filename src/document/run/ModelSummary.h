// Per input of a model, what an engineer reads off it: process figures, warnings, the
// coefficients' standard deviations and controller settings, for the report, the command and
// the exports alike.
#pragma once

#include "engine/analysis/ControllerTuning.h"
#include "engine/analysis/ModelUncertainty.h"
#include "engine/analysis/ProcessFigures.h"
#include "engine/linear/LinearModel.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvanel {

struct InputSummary {
    ProcessFigures Figures;
    // ModelWarnings' sentences, without the input's name.
    std::vector<std::string> Warnings;
    // One per exported coefficient; NaN where no data were given or they do not determine
    // the model.
    ModelUncertainty::CoefficientStd Std;
    std::optional<ControllerTuning::Settings> Tuning;
};

class ModelSummary {
public:
    // The rows the model was fitted to, as Refinement takes them: one column per input and
    // the output, offsets removed as the model saw them.
    struct Data {
        std::vector<std::span<const double>> Inputs;
        std::span<const double> Output;
        std::size_t Rows = 0;
        Experiments Parts;
    };

    // One summary per input; times in seconds when sampleTime is given. Without data the
    // warnings that need them (slow poles, a gain out of scale) are left out and the standard
    // deviations are NaN.
    static std::vector<InputSummary> Of(const LinearModel& model, std::optional<double> sampleTime,
                                        const std::optional<Data>& data = std::nullopt);
    // The same with the model's uncertainty on `data` given, as ModelUncertainty::Estimate
    // computes it: for a caller that keeps it, and so need not compute it twice.
    static std::vector<InputSummary> Of(const LinearModel& model, std::optional<double> sampleTime,
                                        const std::optional<Data>& data,
                                        const std::optional<ModelUncertainty>& uncertainty);
    // The figures as a few lines of text, without the input's name or the warnings.
    static std::vector<std::string> Lines(const InputSummary& summary);
};

} // namespace orvanel
