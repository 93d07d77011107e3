#include "document/formats/FunctionView.h"

#include "model/FunTrans.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

namespace orvanel {
namespace {

// The search's step: entries up to 149, the first ten always, then until the relative change
// falls to 0.001 or entry 141.
constexpr std::size_t StepEntries = 150;
constexpr std::size_t StepStart = 2;
constexpr std::size_t StepWarmUp = 10;
constexpr std::size_t StepLast = 141;
constexpr double StepTolerance = 0.001;

std::vector<double> FailedStep() {
    return std::vector<double>(4, 0.0);
}

// Cuts a full step response where the search's would end.
std::vector<double> EndStep(std::vector<double> step) {
    for (std::size_t i = 0; i < StepWarmUp; ++i) {
        if (!std::isfinite(step[i]))
            return FailedStep();
    }
    std::size_t last = StepWarmUp;
    for (std::size_t i = StepWarmUp; i <= StepLast; ++i) {
        last = i;
        const double change = step[i] > 0 ? std::fabs((step[i] - step[i - 1]) / step[i]) : 1.0;
        if (!std::isfinite(step[i]) || !std::isfinite(change))
            return FailedStep();
        if (change <= StepTolerance)
            break;
    }
    step.resize(last + 1);
    return step;
}

// The search's own text builder and step, fed the coefficients in ascending powers of z.
FunctionView ViewOf(std::vector<double> zeros, double gain, std::vector<double> poles, int delay,
                    std::optional<LinearModel::Input> model, char decimalSeparator) {
    TFunTrans texts;
    texts.Numerator = zeros;
    texts.Denominator = poles;
    texts.Gain = gain;
    texts.Delay = delay;
    texts.BuildTexts(decimalSeparator);

    for (double& c : zeros)
        c = c * gain;
    const std::size_t n = poles.size() - 1;
    std::vector<double> unitStep(StepEntries, 1.0);
    std::fill_n(unitStep.begin(), StepStart, 0.0);
    std::vector<double> step(StepEntries);
    LinearModel::Filter(unitStep, zeros, std::span(poles).first(n),
                        static_cast<std::ptrdiff_t>(n) + delay, step);
    return {texts.NumText, texts.DenText, EndStep(std::move(step)), std::move(model)};
}

} // namespace

FunctionView FunctionView::Of(const TFunTrans& function, char decimalSeparator) {
    TFunTrans shown;
    shown.CopyFrom(function);
    shown.StepResponse(decimalSeparator);
    FunctionView view{shown.NumText, shown.DenText, {}, LinearModel::From(function)};
    for (int i = 0; i <= shown.StepLength; ++i)
        view.Step.push_back(shown.StepSample(i));
    return view;
}

FunctionView FunctionView::Of(const LinearModel::Input& input, char decimalSeparator) {
    return ViewOf(input.ZeroPolynomial(), input.Gain, input.PolePolynomial(), input.Delay, input,
                  decimalSeparator);
}

FunctionView FunctionView::Of(const ModelFile::Input& input, char decimalSeparator) {
    return ViewOf({input.Numerator.rbegin(), input.Numerator.rend()}, 1.0,
                  {input.Denominator.rbegin(), input.Denominator.rend()}, input.Delay, std::nullopt,
                  decimalSeparator);
}

} // namespace orvanel
