#include "document/run/ModelSummary.h"

#include "engine/analysis/CancellingInputs.h"
#include "engine/analysis/ModelWarnings.h"

#include <cmath>
#include <cstdio>

namespace orvanel {
namespace {

std::string Number(double value) {
    if (std::isnan(value))
        return "undefined";
    if (std::isinf(value))
        return value > 0 ? "infinite" : "-infinite";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string List(const std::vector<double>& values) {
    std::string text;
    for (const double v : values)
        text += (text.empty() ? "" : " ") + Number(v);
    return text;
}

std::string Complex(const std::complex<double>& value) {
    if (value.imag() == 0.0)
        return Number(value.real());
    return Number(value.real()) + (value.imag() < 0 ? " - " : " + ") +
           Number(std::abs(value.imag())) + "j";
}

std::string Loop(const ControllerTuning::ClosedLoop& loop) {
    if (std::isnan(loop.OvershootPercent))
        return "unstable";
    const std::string settling = std::isnan(loop.SettlingTime)
                                     ? "does not settle within " + Number(loop.Horizon)
                                     : "settles in " + Number(loop.SettlingTime);
    return settling + ", overshoot " + Number(loop.OvershootPercent) + " %";
}

} // namespace

std::vector<InputSummary> ModelSummary::Of(const LinearModel& model,
                                           std::optional<double> sampleTime,
                                           const std::optional<Data>& data) {
    std::optional<ModelUncertainty> uncertainty;
    if (data)
        uncertainty =
            ModelUncertainty::Estimate(model, data->Inputs, data->Output, data->Rows, data->Parts);
    return Of(model, sampleTime, data, uncertainty);
}

std::vector<InputSummary> ModelSummary::Of(const LinearModel& model,
                                           std::optional<double> sampleTime,
                                           const std::optional<Data>& data,
                                           const std::optional<ModelUncertainty>& uncertainty) {
    double outputRange = 0.0;
    if (data)
        outputRange = ModelWarnings::Range(data->Output.first(data->Rows));
    std::vector<InputSummary> summaries;
    for (std::size_t k = 0; k < model.Inputs.size(); ++k) {
        const LinearModel::Input& input = model.Inputs[k];
        InputSummary s;
        s.Figures = ProcessFigures::Of(input, sampleTime);
        std::optional<ModelWarnings::Data> scale;
        if (data && k < data->Inputs.size())
            scale = ModelWarnings::Data{
                data->Rows, ModelWarnings::Range(data->Inputs[k].first(data->Rows)), outputRange};
        s.Warnings = ModelWarnings::Of(input, scale);
        if (uncertainty) {
            s.Std = uncertainty->Coefficients(k);
        } else {
            s.Std.Numerator.assign(input.Numerator().size(), ProcessFigures::NaN);
            s.Std.Denominator.assign(input.PolePolynomial().size(), ProcessFigures::NaN);
        }
        s.Tuning = ControllerTuning::Simc(input, s.Figures);
        summaries.push_back(std::move(s));
    }
    if (data)
        for (const CancellingInputs::Pair& pair :
             CancellingInputs::Of(model, data->Inputs, data->Rows, data->Parts))
            summaries[pair.First].Warnings.push_back(CancellingInputs::Sentence(
                pair, summaries[pair.First].Figures.StaticGain,
                summaries[pair.Second].Figures.StaticGain));
    return summaries;
}

std::vector<std::string> ModelSummary::Lines(const InputSummary& summary) {
    const ProcessFigures& f = summary.Figures;
    const std::string units = " (" + f.Units() + ")";
    std::vector<std::string> lines;
    std::string delay = "Static gain " + Number(f.StaticGain) + ", delay " +
                        std::to_string(f.DelaySamples) +
                        (f.DelaySamples == 1 ? " sample" : " samples");
    if (f.InSeconds)
        delay += " (" + Number(f.DeadTime) + " seconds)";
    lines.push_back(delay);
    if (f.HasContinuous) {
        std::string dynamics =
            "Time constants: " + (f.TimeConstants.empty() ? "none" : List(f.TimeConstants));
        for (const ProcessFigures::Pair& p : f.Pairs)
            dynamics += "; pair: natural frequency " + Number(p.NaturalFrequency) + ", damping " +
                        Number(p.Damping);
        std::string zeros;
        for (const std::complex<double>& z : f.ZerosS)
            zeros += (zeros.empty() ? "" : ", ") + Complex(z);
        const std::string perTime = f.InSeconds ? " (1/s)" : " (1/sample)";
        lines.push_back(dynamics + "; zeros in s" + perTime + ": " +
                        (zeros.empty() ? "none" : zeros) + units);
    } else if (!f.Note.empty()) {
        lines.push_back("No continuous-time equivalent: " + f.Note);
    }
    if (f.Fopdt)
        lines.push_back("First order plus dead time: gain " + Number(f.Fopdt->Gain) +
                        ", time constant " + Number(f.Fopdt->TimeConstant) + ", dead time " +
                        Number(f.Fopdt->DeadTime) + units);
    if (!f.GainNote.empty())
        lines.push_back(f.GainNote);
    if (std::isfinite(f.StepFigures.RiseTime) || std::isfinite(f.StepFigures.SettlingTime))
        lines.push_back("Step: rise time " + Number(f.StepFigures.RiseTime) + ", settling time " +
                        Number(f.StepFigures.SettlingTime) + ", overshoot " +
                        Number(f.StepFigures.OvershootPercent) + " %" + units);
    lines.push_back("Standard deviations: numerator " + List(summary.Std.Numerator) +
                    ", denominator " + List(summary.Std.Denominator));
    if (const auto& t = summary.Tuning) {
        lines.push_back(t->Rule + " PI (" + t->Form + ", tau_c " + Number(t->TauC) + "): Kc " +
                        Number(t->Pi.Kc) + ", Ti " + Number(t->Pi.Ti) + ", closed loop " +
                        Loop(t->PiLoop) + units);
        lines.push_back(t->Rule + " PID (" + t->Form + "): Kc " + Number(t->Pid.Kc) + ", Ti " +
                        Number(t->Pid.Ti) + ", Td " + Number(t->Pid.Td) + ", closed loop " +
                        Loop(t->PidLoop) + units);
    }
    return lines;
}

} // namespace orvanel
