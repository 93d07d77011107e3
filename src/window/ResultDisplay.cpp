#include "window/ResultDisplay.h"

#include "document/formats/FunctionView.h"
#include "document/project/KeptModel.h"
#include "document/run/IdentificationRun.h"
#include "engine/linear/FitFigure.h"
#include "engine/search/Genetico.h"
#include "model/NumberText.h"
#include "window/KeptModelList.h"
#include "window/MDIMainChild.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace orvanel {

namespace {

constexpr int NumberDigits = 15;

} // namespace

const QString ResultDisplay::FitSeparator = QStringLiteral("   ");

ResultDisplay::ResultDisplay(TMDIMainChild& document, const IdentificationRun& run,
                             const KeptModelList& models, const RunState& state)
    : document_(document), run_(run), models_(models), state_(state) {}

const KeptModel* ResultDisplay::ChosenKept() const {
    return models_.Chosen(state_.Running, state_.ResultShown);
}

// Computed once at the end: a figure of every refresh during the run would cost the search time
// and describe a model about to change.
void ResultDisplay::KeepSummary() {
    std::optional<LinearModel> model;
    if (const IdentifiedModel* final = OptedModel()) {
        model = final->Model;
    } else {
        model = LinearModel::From(document_.Engine().BestModel());
    }
    if (!model) {
        return;
    }
    try {
        const ModelSummary::Data data = run_.EstimationData();
        summary_.Uncertainty =
            ModelUncertainty::Estimate(*model, data.Inputs, data.Output, data.Rows, data.Parts);
        summary_.Inputs =
            ModelSummary::Of(*model, document_.Doc().SampleTime(), data, summary_.Uncertainty);
        summary_.Model = std::move(*model);
    } catch (const std::exception&) {
        // A model whose figures cannot be computed is shown without them.
        summary_ = {};
    }
}

void ResultDisplay::ForgetSummary() {
    summary_ = {};
}

void ResultDisplay::Forget() {
    summary_ = {};
    shownMeasured_.clear();
    shownComputed_.clear();
    shownMeasuredText_.clear();
    shownComputedText_.clear();
}

QString ResultDisplay::KeptFitText(const KeptModel& kept) const {
    QString text = QString::fromStdString(kept.FitLabel(state_.DecimalSeparator));
    if (kept.ValidationBegins < kept.Computed.size()) {
        text += FitSeparator + QString::fromStdString(RunReport::FitLine(
                                   "validation", kept.ValidationFit, state_.DecimalSeparator));
    }
    return text;
}

// Without the data it was fitted to, a kept model's figures have no standard deviations.
RunSummary ResultDisplay::KeptSummary(const KeptModel& kept) const {
    RunSummary summary;
    if (std::optional<LinearModel> model = kept.Analysed()) {
        try {
            summary.Inputs = ModelSummary::Of(*model, document_.Doc().SampleTime());
            summary.Model = std::move(*model);
        } catch (const std::exception&) {
            summary = {};
        }
    }
    return summary;
}

std::vector<ModelOverlay> ResultDisplay::Overlays(int rows) const {
    std::vector<ModelOverlay> overlays;
    if (state_.Running) {
        return overlays;
    }
    for (const KeptModel& kept : document_.Doc().History().Models()) {
        if (!kept.Overlaid) {
            continue;
        }
        ModelOverlay overlay{kept.Name + ": " + kept.FitLabel(state_.DecimalSeparator), {}};
        const std::size_t count = std::min(kept.Computed.size(), static_cast<std::size_t>(rows));
        overlay.Computed.reserve(count);
        for (std::size_t r = 0; r < count; ++r) {
            overlay.Computed.push_back(
                FormatGeneral(kept.Computed[r], NumberDigits, state_.DecimalSeparator));
        }
        overlays.push_back(std::move(overlay));
    }
    return overlays;
}

const IdentifiedModel* ResultDisplay::OptedModel() const {
    const std::optional<IdentifiedModel>& result = run_.Result();
    return state_.ResultShown && result && run_.Resolved().AnyOptIn() ? &*result : nullptr;
}

std::vector<double> ResultDisplay::ComputedOutput(int rows) const {
    const auto count = static_cast<std::size_t>(rows);
    if (const KeptModel* kept = ChosenKept()) {
        std::vector<double> computed = kept->Computed;
        computed.resize(count, std::nan(""));
        return computed;
    }
    if (const IdentifiedModel* final = OptedModel()) {
        std::vector<double> computed = final->Computed;
        computed.resize(count);
        return computed;
    }
    TMISOFunTrans model;
    model.Assign(document_.Engine().BestModel());
    model.Evaluate(state_.DecimalSeparator);
    // The search's models map deviations from the means to deviations when offsets were
    // removed: the output's mean puts them back on the measured output's level.
    const double outputOffset = run_.Offsets().OutputMean();
    std::vector<double> computed(count);
    for (std::size_t r = 0; r < count; ++r) {
        computed[r] = model.OutputSample(static_cast<long long>(r)) + outputOffset;
    }
    return computed;
}

// The measured output as the run read it from the table.
std::vector<double> ResultDisplay::MeasuredOutput(int rows) const {
    return ColumnValues(document_.Doc().Table().InputCount() + 1, rows);
}

// The numbers of a data column (1-based) as the run read them.
std::vector<double> ResultDisplay::ColumnValues(int column, int rows) const {
    const DataTable& table = document_.Doc().Table();
    std::vector<double> values(static_cast<std::size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        values[static_cast<std::size_t>(r - 1)] =
            ParseNumber(table.DataCell(r, column), state_.DecimalSeparator).value_or(0.0);
    }
    return values;
}

// Residuals judge a model on rows it was not fitted to when there are such rows.
void ResultDisplay::ShowResidualsOf(RunPlot& plot, int input) const {
    const auto rows = static_cast<int>(shownMeasured_.size());
    std::vector<double> residuals = shownMeasured_;
    for (std::size_t r = 0; r < residuals.size() && r < shownComputed_.size(); ++r) {
        residuals[r] -= shownComputed_[r];
    }
    std::vector<double> inputValues = ColumnValues(input + 1, rows);
    std::size_t validationBegins = residuals.size();
    if (const KeptModel* kept = ChosenKept()) {
        validationBegins = kept->ValidationBegins;
    } else if (const IdentifiedModel* final = OptedModel()) {
        validationBegins = final->ValidationBegins;
    }
    if (validationBegins < residuals.size()) {
        const auto first = static_cast<std::ptrdiff_t>(validationBegins);
        residuals.erase(residuals.begin(), residuals.begin() + first);
        inputValues.erase(inputValues.begin(), inputValues.begin() + first);
    }
    plot.ShowResiduals(std::move(residuals), std::move(inputValues));
}

// A first run with the defaults can fit poorly where a thorough one fits well: the user is
// told it exists.
QString ResultDisplay::PoorFitHint() const {
    if (!state_.ResultShown) {
        return {};
    }
    const std::optional<std::string> hint = run_.Options.PoorFitHint(
        run_.Result()->EstimationFit, "Options > Thorough identification", state_.DecimalSeparator);
    return hint ? FitSeparator + QString::fromStdString(*hint) : QString();
}

QString ResultDisplay::FitText() const {
    if (const KeptModel* kept = ChosenKept()) {
        return KeptFitText(*kept);
    }
    if (!state_.ResultShown) {
        return {};
    }
    const int rows = document_.Doc().Table().RowCount() - 1;
    return OptedModel() != nullptr ? FitTextOf({}, {})
                                   : FitTextOf(MeasuredOutput(rows), ComputedOutput(rows));
}

QString ResultDisplay::FitTextOf(const std::vector<double>& measured,
                                 const std::vector<double>& computed) const {
    if (const KeptModel* kept = ChosenKept()) {
        return KeptFitText(*kept);
    }
    if (!state_.ResultShown) {
        return {};
    }
    const IdentifiedModel& result = *run_.Result();
    double estimation = result.EstimationFit;
    // Without options the figure is that of the search's own computed output.
    if (OptedModel() == nullptr) {
        estimation = FitFigure::Percent(measured, computed, 0, measured.size());
    }
    QString text = QString::fromStdString(
        RunReport::FitLine("estimation", estimation, state_.DecimalSeparator));
    if (result.ValidationBegins < result.Computed.size()) {
        text += FitSeparator + QString::fromStdString(RunReport::FitLine(
                                   "validation", result.ValidationFit, state_.DecimalSeparator));
    }
    for (const IdentifiedModel::OtherData& other : result.Validation) {
        text += FitSeparator + QString::fromStdString(
                                   RunReport::FitLine(RunReport::OtherDataPart(result, other.Name),
                                                      other.Fit, state_.DecimalSeparator));
    }
    return text;
}

void ResultDisplay::ShowResults(RunPlot* plot) {
    DataTable& table = document_.Doc().Table();
    const int rows = table.RowCount() - 1;
    const int outputColumn = table.InputCount() + 1;
    // One simulation and one reading of the output per refresh serve the column, the fit
    // figures and the residuals.
    shownComputed_ = ComputedOutput(rows);
    shownMeasured_ = MeasuredOutput(rows);
    shownComputedText_.resize(shownComputed_.size());
    for (std::size_t r = 0; r < shownComputed_.size(); ++r) {
        shownComputedText_[r] =
            FormatGeneral(shownComputed_[r], NumberDigits, state_.DecimalSeparator);
    }
    table.SetComputedOutputs(shownComputedText_);
    shownMeasuredText_.resize(static_cast<std::size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        shownMeasuredText_[static_cast<std::size_t>(r - 1)] = table.DataCell(r, outputColumn);
    }
    if (plot != nullptr) {
        FillPlot(*plot);
    }
}

void ResultDisplay::FillPlot(RunPlot& plot) {
    const std::vector<std::string_view> measured(shownMeasuredText_.begin(),
                                                 shownMeasuredText_.end());
    plot.ShowOutputs(measured, shownComputedText_);
    plot.ShowOverlays(Overlays(static_cast<int>(measured.size())));
    plot.ShowModels(document_.Doc().History(), state_.DecimalSeparator);
    const IdentifiedModel* final = OptedModel();
    const KeptModel* kept = ChosenKept();
    int validationRow = 0;
    if (kept != nullptr) {
        validationRow = kept->ValidationBegins < kept->Computed.size()
                            ? static_cast<int>(kept->ValidationBegins) + 1
                            : 0;
    } else if (final != nullptr && final->ValidationBegins < final->Computed.size()) {
        validationRow = static_cast<int>(final->ValidationBegins) + 1;
    }
    plot.ShowQuality(FitTextOf(shownMeasured_, shownComputed_).toStdString(), validationRow);
    // A reused window may list more inputs than this model has; it never reaches past them.
    plot.SetSampleTime(document_.Doc().SampleTime());
    plot.ShowSummary(kept != nullptr ? KeptSummary(*kept) : summary_);
    int inputs = document_.Engine().BestModel().InputCount();
    if (kept != nullptr) {
        inputs = static_cast<int>(kept->InputCount());
    } else if (final != nullptr) {
        inputs = static_cast<int>(final->Model.Inputs.size());
    }
    ShowFunctionOf(plot, std::clamp(plot.ChosenInput(), 0, inputs - 1), state_.DecimalSeparator);
}

void ResultDisplay::ShowFunctionOf(RunPlot& plot, int input, char decimalSeparator) const {
    if (input < 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(input);
    if (const KeptModel* kept = ChosenKept()) {
        if (index >= kept->InputCount()) {
            return;
        }
        if (kept->Factors) {
            plot.ShowFunction(FunctionView::Of(kept->Factors->Inputs[index], decimalSeparator),
                              decimalSeparator);
        } else {
            // The texts and step of the coefficients as read; the roots only for the views.
            FunctionView view =
                FunctionView::Of(kept->Coefficients.Inputs[index], decimalSeparator);
            if (const std::optional<LinearModel> analysed = kept->Analysed()) {
                view.Model = analysed->Inputs[index];
            }
            plot.ShowFunction(view, decimalSeparator);
        }
        ShowResidualsOf(plot, input);
        return;
    }
    if (const IdentifiedModel* final = OptedModel()) {
        if (index < final->Model.Inputs.size()) {
            plot.ShowFunction(FunctionView::Of(final->Model.Inputs[index], decimalSeparator),
                              decimalSeparator);
            ShowResidualsOf(plot, input);
        }
        return;
    }
    const TMISOFunTrans& model = document_.Engine().BestModel();
    if (input < model.InputCount()) {
        plot.ShowFunction(FunctionView::Of(model.Functions()[index], decimalSeparator),
                          decimalSeparator);
        ShowResidualsOf(plot, input);
    }
}

} // namespace orvanel
