#include "document/project/KeptModel.h"

#include "document/run/RunReport.h"
#include "document/table/TableSamples.h"
#include "engine/linear/FitFigure.h"
#include "engine/linear/PolynomialFactors.h"

#include <algorithm>

namespace orvanel {

ModelFile KeptModel::CoefficientsOf(const LinearModel& model, const ColumnOffsets& offsets,
                                    bool offsetsRemoved, const std::vector<std::string>& names) {
    ModelFile file;
    for (std::size_t k = 0; k < model.Inputs.size(); ++k) {
        const LinearModel::Input& input = model.Inputs[k];
        std::vector<double> denominator = input.PolePolynomial();
        std::reverse(denominator.begin(), denominator.end());
        file.Inputs.push_back({k < names.size() ? names[k] : std::string(), input.Numerator(),
                               std::move(denominator), input.Delay});
    }
    if (offsetsRemoved) {
        const std::vector<double>& means = offsets.Means();
        file.InputOffsets = std::vector<double>(means.begin(), means.end() - 1);
        file.OutputOffset = offsets.OutputMean();
    }
    return file;
}

void KeptModel::SimulateOn(const TableSamples& samples, std::size_t validationBegins) {
    std::vector<double> computed = Coefficients.Simulate(samples);
    std::vector<double> measured(computed.size());
    for (std::size_t r = 0; r < measured.size(); ++r)
        measured[r] = samples.Row(static_cast<int>(r)).back();
    const std::size_t rows = computed.size();
    ValidationBegins = std::min(validationBegins, rows);
    EstimationFit = FitFigure::Percent(measured, computed, 0, ValidationBegins);
    ValidationFit = std::numeric_limits<double>::quiet_NaN();
    if (ValidationBegins < rows)
        ValidationFit = FitFigure::Percent(measured, computed, ValidationBegins, rows);
    Computed = std::move(computed);
}

std::optional<LinearModel> KeptModel::Analysed() const {
    if (Factors)
        return Factors;
    LinearModel model;
    for (const ModelFile::Input& input : Coefficients.Inputs) {
        std::optional<LinearModel::Input> factored =
            PolynomialFactors::InputOf(input.Numerator, input.Denominator, input.Delay);
        if (!factored)
            return std::nullopt;
        model.Inputs.push_back(std::move(*factored));
    }
    // Equal denominators have equal roots.
    if (Coefficients.SharedDenominator)
        return model.AsShared();
    return model;
}

std::string KeptModel::FitLabel(char decimalSeparator) const {
    return RunReport::FitLine("estimation", EstimationFit, decimalSeparator);
}

} // namespace orvanel
