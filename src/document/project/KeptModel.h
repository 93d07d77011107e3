// A model a document keeps: found by one of its runs or read from a model file.
#pragma once

#include "document/formats/ModelFile.h"
#include "document/run/IdentificationOptions.h"
#include "engine/linear/ColumnOffsets.h"
#include "engine/linear/LinearModel.h"
#include "model/Rnd.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class TableSamples;

// Everything needed to show the model again, judge it on other data and say where it came
// from. Coefficients is what is simulated, so that a model kept from a run, read from its
// export or from a project computes the same output to the last bit.
struct KeptModel {
    // Unique within its history; names the entry while its position changes.
    int Id = 0;
    std::string Name;
    // Where it came from: "Run on DATA" or "Imported from FILE".
    std::string Origin;
    ModelFile Coefficients;
    // The factors a run found, which the views of poles, zeros and figures need; none for a
    // model read from a file.
    std::optional<LinearModel> Factors;
    IdentificationOptions Options;
    // The random source as the run's search began: the run again from it draws the same.
    std::optional<Rnd::State> Seed;
    // When the model was kept, ISO 8601 in UTC.
    std::string Time;
    // Whether the run was stopped before its end.
    bool Stopped = false;
    // Drawn beside the chosen model on the output chart.
    bool Overlaid = false;

    // The output over its document's rows and the fit figures of it: estimation on the rows
    // before ValidationBegins, validation on the rest (NaN without such rows).
    std::vector<double> Computed;
    std::size_t ValidationBegins = 0;
    double EstimationFit = std::numeric_limits<double>::quiet_NaN();
    double ValidationFit = std::numeric_limits<double>::quiet_NaN();

    // The coefficient form of a run's model, inputs named as given (none, or one per input):
    // what the JSON export writes for it.
    static ModelFile CoefficientsOf(const LinearModel& model, const ColumnOffsets& offsets,
                                    bool offsetsRemoved, const std::vector<std::string>& names);
    // Simulates the model on the samples and takes its fit figures there, the rows from
    // `validationBegins` on judged apart. Throws DocumentError when the samples have another
    // number of inputs.
    void SimulateOn(const TableSamples& samples, std::size_t validationBegins);
    // "Fit (estimation) = 85.31 %", as the status line says it.
    std::string FitLabel(char decimalSeparator = '.') const;
    std::size_t InputCount() const { return Coefficients.Inputs.size(); }
    // The factors for the views that analyse the model: Factors when the model has them, else
    // the roots of its coefficients (PolynomialFactors), poles shared when the coefficients
    // say so; nothing when an input has none.
    std::optional<LinearModel> Analysed() const;
};

} // namespace orvanel
