#include "window/RunDriver.h"

#include "document/FunctionView.h"
#include "document/ModelFile.h"
#include "document/TableSamples.h"
#include "engine/FitFigure.h"
#include "engine/Genetico.h"
#include "model/NumberText.h"
#include "model/Rnd.h"
#include "window/CommandSeed.h"
#include "window/DocumentHost.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"
#include "window/RunPlot.h"
#include "window/UserDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <exception>
#include <future>
#include <optional>

namespace orvanel {

namespace {

const QString SaveFirstText = QStringLiteral("Save the document before executing the algorithm.");
const QString InitializingText = QStringLiteral("Initializing population...");
const QString ExecutingText = QStringLiteral("Executing...");
const QString GenerationText = QStringLiteral(" generation %1 of %2");
const QString StoppingText = QStringLiteral("Stopping...");
const QString ReadyText = QStringLiteral("Ready");
const QString FitSeparator = QStringLiteral("   ");
const QString PlotSuffix = QStringLiteral(" - Plot");
constexpr int NumberDigits = 15;
// How often the interface thread serves the event loop while it waits for other threads.
constexpr std::chrono::milliseconds ServeInterval(40);

// The time now in UTC, as ISO 8601 to the second.
std::string TimeNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text.data();
}

// An MDI child closes through its frame window, so that the frame forgets it.
void CloseChildWindow(QWidget* window) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        frame->close();
    } else {
        window->close();
    }
}

} // namespace

RunDriver::RunDriver(TMDIMainChild& document, DocumentHost& host)
    : QObject(&document), document_(document), host_(host), timer1_(new QTimer(this)),
      run_(document.Engine()), statusText_(ReadyText) {
    timer1_->setInterval(TimerPeriodMs);
    connect(timer1_, &QTimer::timeout, this, &RunDriver::Timer1Timer);
}

RunDriver::~RunDriver() = default;

RunPlot* RunDriver::PlotWindow() const {
    return dynamic_cast<RunPlot*>(plotWindow_.data());
}

bool RunDriver::TimerActive() const {
    return timer1_->isActive();
}

void RunDriver::ExecuteAlgorithmMenuClick() {
    // A run is not re-entrant: Execute arrives again from the menu, the shortcut or the plot
    // window while the engine yields to the window system.
    if (running_) {
        return;
    }
    running_ = true;
    stopWanted_ = false;
    resultShown_ = false;
    resultsKept_ = false;
    shownPhase_.clear();
    modelDescription_.reset();
    decimalSeparator_ = LocaleDecimalSeparator();
    document_.Engine().RequestStop();
    if (!SaveFirst()) {
        running_ = false;
        return;
    }
    DataTable& table = document_.Doc().Table();
    if (table.HasComputedColumn()) {
        table.RemoveComputedColumn();
    }
    ShowStatus(InitializingText);
    QCoreApplication::processEvents();
    KeepSearchSettings();
    if (!HandOverTable()) {
        RestoreSearchSettings();
        running_ = false;
        ShowStatus(ReadyText);
        CloseDeferredWindows();
        return;
    }
    // Handing five million values over is a long step of its own; the window is served
    // before the next one.
    QCoreApplication::processEvents();
    RunProtected();
}

std::vector<std::string> RunDriver::InputNames() const {
    const DataTable& table = document_.Doc().Table();
    std::vector<std::string> names;
    for (int input = 1; input <= table.InputCount(); ++input) {
        names.push_back(table.InputName(input));
    }
    return names;
}

void RunDriver::NameColumns(ModelExport& model) const {
    const DataTable& table = document_.Doc().Table();
    std::vector<std::string> names = InputNames();
    if (std::all_of(names.begin(), names.end(), [](const std::string& name) { return name.empty(); })) {
        names.clear();
    } else {
        for (int input = 1; input <= table.InputCount(); ++input) {
            names[static_cast<std::size_t>(input) - 1] = table.InputHeader(input);
        }
    }
    model.InputNames = std::move(names);
    model.OutputName = table.OutputName();
}

bool RunDriver::SaveFirst() {
    if (!document_.DocumentPath().isEmpty()) {
        return true;
    }
    host_.Dialogs().ShowMessage(&document_, SaveFirstText);
    return host_.SaveDocumentWindow(document_);
}

// Steps that refuse the run leave the table without its computed column and nothing else
// changed: no timer, no report, no plot window.
bool RunDriver::HandOverTable() {
    std::optional<std::string> refusal;
    run_.Options = document_.Doc().Options();
    // The report then says that the rows are not the data file's.
    run_.DataEdited = document_.Doc().Modified();
    // The report's process figures are then in seconds.
    run_.SampleTime = document_.Doc().SampleTime();
    std::optional<TableSamples> validation;
    if (!ReadValidationTable(validation)) {
        return false;
    }
    try {
        refusal = run_.HandOver(ReadTable(document_.Doc().Table()));
    } catch (const BadCellError& error) {
        host_.Dialogs().ShowError(&document_, QString::fromUtf8(error.what()));
        return false;
    }
    run_.OtherData.clear();
    if (!refusal && validation) {
        refusal = run_.AddOtherData(validationDocument_->Doc().Caption(), *validation);
    }
    if (refusal) {
        host_.Dialogs().ShowError(&document_, QString::fromStdString(*refusal));
        return false;
    }
    return true;
}

// Another document's table is read as the run's own, with the same decimal separator.
bool RunDriver::ReadValidationTable(std::optional<TableSamples>& samples) {
    if (validationDocument_ == nullptr) {
        return true;
    }
    try {
        samples = ReadTable(validationDocument_->Doc().Table());
    } catch (const BadCellError& error) {
        host_.Dialogs().ShowError(
            &document_, QStringLiteral("Validation data %1: %2")
                            .arg(QString::fromStdString(validationDocument_->Doc().Caption()),
                                 QString::fromUtf8(error.what())));
        return false;
    }
    return true;
}

void RunDriver::SetValidationDocument(TMDIMainChild* document) {
    disconnect(validationClosed_);
    validationDocument_ = document;
    if (document != nullptr) {
        validationClosed_ = connect(document, &TMDIMainChild::Closed, this,
                                    [this] { SetValidationDocument(nullptr); });
    }
}

// Reading the largest table's five million cells takes longer than the window may go unserved.
// A copy of the table, taken at once as the cells were then, is read on another thread while
// this one serves the event loop; edits made meanwhile do not reach the run.
TableSamples RunDriver::ReadTable(const DataTable& source) {
    std::future<TableSamples> reading = std::async(
        std::launch::async, [table = source, separator = decimalSeparator_] {
            return TableSamples::FromTable(table, separator);
        });
    while (reading.wait_for(ServeInterval) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return reading.get();
}

void RunDriver::RunProtected() {
    TGenetico& engine = document_.Engine();
    ShowGauge(engine.Generations, 0);
    shownGeneration_ = 0;
    shownEvolving_ = false;
    summary_ = {};
    timer1_->start();
    // The plot window gets its busy cursor once this run has found it.
    document_.setCursor(Qt::WaitCursor);
    std::string failure;
    try {
        reportPath_ = QFile::decodeName(
            QByteArray::fromStdString(RunReport::ReportPathFor(document_.Doc().DocumentPath())));
        run_.BeginReport(QFile::encodeName(reportPath_).toStdString(), LocaleReportSeparators());
        RunPlot* plot = FindOrCreatePlotWindow(engine.InputCount());
        document_.Doc().Table().AddComputedColumn();
        ShowExecuteImage(DocumentHost::RunningImage);
        host_.TileMenuClick();
        if (plot != nullptr) {
            plot->Window()->show();
            // Cascaded, the windows cover each other: the run's plot stays in front.
            plot->Window()->parentWidget()->raise();
            QCoreApplication::processEvents();
        }
        HookYields();
        failure = run_.Run();
    } catch (const std::exception& error) {
        failure = run_.Finish(error.what());
    }
    Finish(failure);
}

RunPlot* RunDriver::FindOrCreatePlotWindow(int inputs) {
    RunPlot* plot = host_.FindPlotWindow(document_.windowTitle() + PlotSuffix);
    if (plot == nullptr) {
        plot = host_.CreatePlotWindow();
        if (plot != nullptr) {
            ownedPlots_.append(plot->Window());
        }
    }
    if (plot != nullptr) {
        plot->PrepareRun(document_.windowTitle() + PlotSuffix, inputs, decimalSeparator_);
        plot->NameInputs(InputNames());
        plot->NameOutput(document_.Doc().Table().OutputName());
        plot->SetBusy(true);
    }
    plotWindow_ = plot != nullptr ? plot->Window() : nullptr;
    return plot;
}

// The engine runs on this thread and yields in two ways. Once per generation (and after each
// filling of the first population) it calls ProcessMessages, where the run state is that of a
// completed step: the progress tick shows what it reads there. Inside a generation it scores
// its individuals on worker threads, and this thread, instead of blocking until they are done,
// serves the event loop about every 40 ms through KeepResponsive; the best model is then that
// of the last completed generation and no worker touches it, so a tick may show it. A stop
// asked for at either kind of yield takes effect after the current generation, as it would at
// the per-generation yield, and no random draw happens while the loop is served, so the run
// stays the same as without these yields.
void RunDriver::HookYields() {
    TGenetico& engine = document_.Engine();
    run_.OnProgress = [this, &engine] {
        shownGeneration_ = engine.Generation();
        shownEvolving_ = engine.Evolving();
        QCoreApplication::processEvents();
        // The engine drops stop requests while it builds its population; a stop the user asked
        // for is asked again until the generation loop honours it.
        if (stopWanted_) {
            engine.RequestStop();
        }
    };
    run_.OnResponsive = [this, &engine] {
        QCoreApplication::processEvents();
        if (stopWanted_) {
            engine.RequestStop();
        }
        // A phase after the search is named as it begins, not at the next tick.
        if (run_.Progress().Text != shownPhase_) {
            ShowProgress();
        }
    };
    engine.ResponsiveInterval = ServeInterval;
    run_.BeforeRun = SeedBeforeRun;
}

void RunDriver::Finish(const std::string& failure) {
    TGenetico& engine = document_.Engine();
    if (run_.ReportBegun() && document_.Doc().ShowReport()) {
        host_.Dialogs().ShowTextFile(reportPath_);
    }
    ShowEndGauge(engine.Generations);
    ClearBusyCursor();
    timer1_->stop();
    resultShown_ = failure.empty() && run_.Result().has_value();
    if (resultShown_) {
        modelDescription_ = ModelExport::Of(run_, engine, document_.Doc().DocumentPath(),
                                            CommandSeed::MillisecondsOf(run_.StartState()),
                                            document_.Doc().SampleTime());
        if (!modelDescription_->SeedMilliseconds) {
            modelDescription_->StartState = run_.StartState();
        }
        NameColumns(*modelDescription_);
        KeepSummary();
        KeepModel();
    }
    // A stop that came too late to cut anything short leaves a run that ended as any other.
    // Read before the user's settings come back: a thorough run's generations are its own.
    const std::vector<std::string> stopLines = run_.StopLines();
    RestoreSearchSettings();
    // The fit figures stay in view after the written end-of-run text.
    const QString figures = FitText();
    const QString fit = figures.isEmpty() ? QString() : FitSeparator + figures;
    if (!stopLines.empty()) {
        ShowStatus(QString::fromStdString(stopLines.back()) + fit, true);
    } else if (!fit.isEmpty()) {
        ShowStatus(ReadyText + fit + PoorFitHint(), true);
    } else {
        ShowStatus(ReadyText);
    }
    // Refilling the largest table and chart is the last long step: the window is served first.
    QCoreApplication::processEvents();
    ShowResults();
    resultsKept_ = run_.HasModel();
    running_ = false;
    // The button offers a new run only now: a click before this could only have asked the
    // ending run to stop again.
    ShowExecuteImage(DocumentHost::IdleImage);
    if (!failure.empty()) {
        host_.Dialogs().ShowError(&document_, QString::fromStdString(failure));
    }
    CloseDeferredWindows();
}

// Computed once at the end: a figure of every refresh during the run would cost the search time
// and describe a model about to change.
void RunDriver::KeepSummary() {
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
            ModelUncertainty::Estimate(*model, data.Inputs, data.Output, data.Rows);
        summary_.Inputs = ModelSummary::Of(*model, document_.Doc().SampleTime(), data);
        summary_.Model = std::move(*model);
    } catch (const std::exception&) {
        // A model whose figures cannot be computed is shown without them.
        summary_ = {};
    }
}

void RunDriver::KeepModel() {
    const IdentifiedModel& result = *run_.Result();
    KeptModel kept;
    kept.Origin = "Run on " + document_.Doc().Caption();
    kept.Coefficients = KeptModel::CoefficientsOf(result.Model, result.Offsets,
                                                  run_.Resolved().RemoveOffsets, InputNames());
    kept.Coefficients.SampleTime = document_.Doc().SampleTime();
    kept.Factors = result.Model;
    kept.Options = document_.Doc().Options();
    kept.Seed = run_.StartState();
    kept.Time = TimeNow();
    kept.Stopped = run_.Stopped() != IdentificationRun::StopPhase::None;
    kept.Computed = result.Computed;
    kept.ValidationBegins = result.ValidationBegins;
    kept.EstimationFit = result.EstimationFit;
    kept.ValidationFit = result.ValidationFit;
    lastRunId_ = document_.Doc().History().Add(std::move(kept)).Id;
}

const KeptModel* RunDriver::ChosenKept() const {
    const KeptModel* chosen = document_.Doc().History().ChosenModel();
    if (running_ || chosen == nullptr || (resultShown_ && chosen->Id == lastRunId_)) {
        return nullptr;
    }
    return chosen;
}

bool RunDriver::CanShowPlot() const {
    return running_ || resultsKept_ || !document_.Doc().History().Empty();
}

void RunDriver::ChooseModel(std::size_t index) {
    if (!running_) {
        document_.Doc().History().Choose(index);
        ShowChosenModel();
    }
}

void RunDriver::OverlayModel(std::size_t index, bool overlaid) {
    if (!running_) {
        document_.Doc().History().SetOverlaid(index, overlaid);
        ShowChosenModel();
    }
}

void RunDriver::RenameModel(std::size_t index, const std::string& name) {
    if (!running_) {
        document_.Doc().History().Rename(index, name);
        ShowChosenModel();
    }
}

void RunDriver::RemoveModel(std::size_t index) {
    if (running_) {
        return;
    }
    RunHistory& history = document_.Doc().History();
    history.Remove(index);
    if (history.Empty()) {
        ForgetResults();
    } else {
        ShowChosenModel();
    }
}

// The last run's output would otherwise stay on screen with no entry to say what it is.
void RunDriver::ForgetResults() {
    resultShown_ = false;
    resultsKept_ = false;
    lastRunId_ = 0;
    editedIds_.clear();
    modelDescription_.reset();
    chosenDescription_.reset();
    summary_ = {};
    shownMeasured_.clear();
    shownComputed_.clear();
    shownMeasuredText_.clear();
    shownComputedText_.clear();
    DataTable& table = document_.Doc().Table();
    if (table.HasComputedColumn()) {
        table.RemoveComputedColumn();
    }
    if (QWidget* window = plotWindow_.data()) {
        CloseChildWindow(window);
    }
    ShowStatus(ReadyText);
}

void RunDriver::ImportModel(const QString& path) {
    if (running_) {
        return;
    }
    decimalSeparator_ = LocaleDecimalSeparator();
    const std::string file = QFile::encodeName(path).toStdString();
    try {
        KeptModel model;
        model.Coefficients = ModelFile::Read(file);
        model.Name = QFileInfo(path).completeBaseName().toStdString();
        model.Origin = "Imported from " + file;
        model.Time = TimeNow();
        const TableSamples samples = ReadTable(document_.Doc().Table());
        model.SimulateOn(samples, static_cast<std::size_t>(samples.Samples()));
        document_.Doc().History().Add(std::move(model));
    } catch (const std::exception& error) {
        host_.Dialogs().ShowError(&document_, QStringLiteral("Cannot import %1 into %2: %3")
                                                  .arg(path, document_.windowTitle(),
                                                       QString::fromUtf8(error.what())));
        return;
    }
    ShowChosenModel();
    ShowPlotWindow();
}

void RunDriver::TableEdited() {
    for (const KeptModel& model : document_.Doc().History().Models()) {
        editedIds_.insert(model.Id);
    }
}

void RunDriver::RefreshEditedModels() {
    RunHistory& history = document_.Doc().History();
    std::vector<KeptModel*> due;
    for (std::size_t k = 0; k < history.Models().size(); ++k) {
        const KeptModel& model = history.Models()[k];
        if (editedIds_.count(model.Id) != 0 && (history.Chosen() == k || model.Overlaid)) {
            due.push_back(history.Find(model.Id));
        }
    }
    if (due.empty()) {
        return;
    }
    decimalSeparator_ = LocaleDecimalSeparator();
    KeptModel* simulated = due.front();
    try {
        const TableSamples samples = ReadTable(document_.Doc().Table());
        const auto rows = static_cast<std::size_t>(samples.Samples());
        for (KeptModel* model : due) {
            simulated = model;
            // A model judged on all its rows is judged on all of them again.
            model->SimulateOn(samples, model->ValidationBegins < model->Computed.size()
                                           ? model->ValidationBegins
                                           : rows);
            editedIds_.erase(model->Id);
            // The run's own output and figures were those of the rows it ran on.
            if (model->Id == lastRunId_) {
                lastRunId_ = 0;
            }
        }
    } catch (const std::exception& error) {
        host_.Dialogs().ShowError(&document_, QStringLiteral("Cannot simulate %1 on %2: %3")
                                                  .arg(QString::fromStdString(simulated->Name),
                                                       document_.windowTitle(),
                                                       QString::fromUtf8(error.what())));
    }
}

void RunDriver::ShowChosenModel() {
    if (running_) {
        return;
    }
    RefreshEditedModels();
    if (ChosenKept() == nullptr && !resultsKept_) {
        if (RunPlot* plot = PlotWindow()) {
            plot->ShowModels(document_.Doc().History(), decimalSeparator_);
        }
        return;
    }
    DataTable& table = document_.Doc().Table();
    if (!table.HasComputedColumn()) {
        table.AddComputedColumn();
    }
    const KeptModel* kept = ChosenKept();
    chosenDescription_ = kept != nullptr ? DescriptionOf(*kept) : std::nullopt;
    ShowResults();
    const QString figures = FitText();
    ShowStatus(figures.isEmpty() ? ReadyText : ReadyText + FitSeparator + figures, true);
}

std::optional<ModelExport> RunDriver::DescriptionOf(const KeptModel& kept) const {
    if (!kept.Factors) {
        return std::nullopt;
    }
    ModelExport description;
    description.Model = *kept.Factors;
    if (kept.Coefficients.InputOffsets) {
        description.RemovedOffsets =
            ModelExport::Offsets{*kept.Coefficients.InputOffsets, kept.Coefficients.OutputOffset};
    }
    description.SampleTime = document_.Doc().SampleTime();
    description.Fit = {{"estimation_fit_percent", kept.EstimationFit}};
    if (kept.ValidationBegins < kept.Computed.size()) {
        description.Fit.push_back({"validation_fit_percent", kept.ValidationFit});
    }
    description.DataFile = document_.Doc().DocumentPath();
    NameColumns(description);
    return description;
}

QString RunDriver::KeptFitText(const KeptModel& kept) const {
    QString text = QString::fromStdString(kept.FitLabel(decimalSeparator_));
    if (kept.ValidationBegins < kept.Computed.size()) {
        text += FitSeparator + QString::fromStdString(RunReport::FitLine(
                                   "validation", kept.ValidationFit, decimalSeparator_));
    }
    return text;
}

// Without the data it was fitted to, a kept model's figures have no standard deviations.
RunSummary RunDriver::KeptSummary(const KeptModel& kept) const {
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

std::vector<ModelOverlay> RunDriver::Overlays(int rows) const {
    std::vector<ModelOverlay> overlays;
    if (running_) {
        return overlays;
    }
    for (const KeptModel& kept : document_.Doc().History().Models()) {
        if (!kept.Overlaid) {
            continue;
        }
        ModelOverlay overlay{kept.Name + ": " + kept.FitLabel(decimalSeparator_), {}};
        const std::size_t count = std::min(kept.Computed.size(), static_cast<std::size_t>(rows));
        overlay.Computed.reserve(count);
        for (std::size_t r = 0; r < count; ++r) {
            overlay.Computed.push_back(FormatGeneral(kept.Computed[r], NumberDigits, decimalSeparator_));
        }
        overlays.push_back(std::move(overlay));
    }
    return overlays;
}

void RunDriver::KeepSearchSettings() {
    keptGenerations_ = document_.Engine().Generations;
    keptSizeReductionFactor_ = document_.Engine().SizeReductionFactor;
}

void RunDriver::RestoreSearchSettings() {
    document_.Engine().Generations = keptGenerations_;
    document_.Engine().SizeReductionFactor = keptSizeReductionFactor_;
}

void RunDriver::ClearBusyCursor() {
    document_.unsetCursor();
    if (RunPlot* plot = PlotWindow()) {
        plot->SetBusy(false);
    }
}

void RunDriver::Timer1Timer() {
    ShowProgress();
    ShowResults();
}

void RunDriver::ShowProgress() {
    const IdentificationRun::PhaseProgress phase = run_.Progress();
    shownPhase_ = phase.Text;
    const int generations = document_.Engine().Generations;
    if (phase.Text.empty()) {
        ShowGauge(generations, shownGeneration_);
    } else {
        // Without a measure of its own, the phase shows a busy gauge (a range of nothing).
        ShowGauge(phase.Total, phase.Done);
    }
    if (stopWanted_) {
        ShowStatus(StoppingText);
    } else if (!phase.Text.empty()) {
        ShowStatus(ExecutingText + u' ' + QString::fromStdString(phase.Text));
    } else {
        ShowStatus(shownEvolving_
                       ? ExecutingText + GenerationText.arg(shownGeneration_).arg(generations)
                       : InitializingText);
    }
}

void RunDriver::ShowEndGauge(int generations) {
    switch (run_.Stopped()) {
    case IdentificationRun::StopPhase::Search:
        ShowGauge(generations, std::max(run_.LastGeneration(), 0));
        break;
    case IdentificationRun::StopPhase::Restarts:
        ShowGauge(run_.Resolved().Restarts, run_.CompletedSearches());
        break;
    case IdentificationRun::StopPhase::None:
    case IdentificationRun::StopPhase::HoldOut:
    case IdentificationRun::StopPhase::Refinement:
        // The search itself ran to its end.
        ShowGauge(generations, generations);
        break;
    }
}

void RunDriver::ShowStatus(const QString& text, bool untilNextCommand) {
    statusText_ = text;
    statusHeld_ = untilNextCommand;
    if (!host_.ShowsStateOf(document_)) {
        return;
    }
    if (untilNextCommand) {
        host_.SetStatusTextUntilNextCommand(text);
    } else {
        host_.SetStatusText(text);
    }
}

void RunDriver::ShowGauge(int maximum, int position) {
    gaugeMaximum_ = maximum;
    gaugePosition_ = position;
    if (host_.ShowsStateOf(document_)) {
        host_.SetGauge(0, maximum, position);
    }
}

void RunDriver::ShowExecuteImage(int index) {
    if (host_.ShowsStateOf(document_)) {
        host_.SetExecuteImageIndex(index);
    }
}

void RunDriver::ShowState() {
    if (statusHeld_) {
        host_.SetStatusTextUntilNextCommand(statusText_);
    } else {
        host_.SetStatusText(statusText_);
    }
    host_.SetGauge(0, gaugeMaximum_, gaugePosition_);
    host_.SetExecuteImageIndex(running_ ? DocumentHost::RunningImage : DocumentHost::IdleImage);
}

const IdentifiedModel* RunDriver::OptedModel() const {
    const std::optional<IdentifiedModel>& result = run_.Result();
    return resultShown_ && result && run_.Resolved().AnyOptIn() ? &*result : nullptr;
}

std::vector<double> RunDriver::ComputedOutput(int rows) const {
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
    model.Evaluate(decimalSeparator_);
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
std::vector<double> RunDriver::MeasuredOutput(int rows) const {
    return ColumnValues(document_.Doc().Table().InputCount() + 1, rows);
}

// The numbers of a data column (1-based) as the run read them.
std::vector<double> RunDriver::ColumnValues(int column, int rows) const {
    const DataTable& table = document_.Doc().Table();
    std::vector<double> values(static_cast<std::size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        values[static_cast<std::size_t>(r - 1)] =
            ParseNumber(table.DataCell(r, column), decimalSeparator_).value_or(0.0);
    }
    return values;
}

// Residuals judge a model on rows it was not fitted to when there are such rows.
void RunDriver::ShowResidualsOf(RunPlot& plot, int input) const {
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
QString RunDriver::PoorFitHint() const {
    if (!resultShown_) {
        return {};
    }
    const std::optional<std::string> hint = run_.Options.PoorFitHint(
        run_.Result()->EstimationFit, "Options > Thorough identification", decimalSeparator_);
    return hint ? FitSeparator + QString::fromStdString(*hint) : QString();
}

QString RunDriver::FitText() const {
    if (const KeptModel* kept = ChosenKept()) {
        return KeptFitText(*kept);
    }
    if (!resultShown_) {
        return {};
    }
    const int rows = document_.Doc().Table().RowCount() - 1;
    return OptedModel() != nullptr ? FitTextOf({}, {})
                                   : FitTextOf(MeasuredOutput(rows), ComputedOutput(rows));
}

QString RunDriver::FitTextOf(const std::vector<double>& measured,
                             const std::vector<double>& computed) const {
    if (const KeptModel* kept = ChosenKept()) {
        return KeptFitText(*kept);
    }
    if (!resultShown_) {
        return {};
    }
    const IdentifiedModel& result = *run_.Result();
    double estimation = result.EstimationFit;
    // Without options the figure is that of the search's own computed output.
    if (OptedModel() == nullptr) {
        estimation = FitFigure::Percent(measured, computed, 0, measured.size());
    }
    QString text =
        QString::fromStdString(RunReport::FitLine("estimation", estimation, decimalSeparator_));
    if (result.ValidationBegins < result.Computed.size()) {
        text += FitSeparator + QString::fromStdString(RunReport::FitLine(
                                   "validation", result.ValidationFit, decimalSeparator_));
    }
    for (const IdentifiedModel::OtherData& other : result.Validation) {
        text += FitSeparator +
                QString::fromStdString(RunReport::FitLine(
                    RunReport::OtherDataPart(result, other.Name), other.Fit, decimalSeparator_));
    }
    return text;
}

void RunDriver::ShowResults() {
    DataTable& table = document_.Doc().Table();
    const int rows = table.RowCount() - 1;
    const int outputColumn = table.InputCount() + 1;
    // One simulation and one reading of the output per refresh serve the column, the fit
    // figures and the residuals.
    shownComputed_ = ComputedOutput(rows);
    shownMeasured_ = MeasuredOutput(rows);
    shownComputedText_.resize(shownComputed_.size());
    for (std::size_t r = 0; r < shownComputed_.size(); ++r) {
        shownComputedText_[r] = FormatGeneral(shownComputed_[r], NumberDigits, decimalSeparator_);
    }
    table.SetComputedOutputs(shownComputedText_);
    shownMeasuredText_.resize(static_cast<std::size_t>(rows));
    for (int r = 1; r <= rows; ++r) {
        shownMeasuredText_[static_cast<std::size_t>(r - 1)] = table.DataCell(r, outputColumn);
    }
    if (RunPlot* plot = PlotWindow()) {
        FillPlot(*plot);
    }
}

void RunDriver::FillPlot(RunPlot& plot) {
    const std::vector<std::string_view> measured(shownMeasuredText_.begin(),
                                                 shownMeasuredText_.end());
    plot.ShowOutputs(measured, shownComputedText_);
    plot.ShowOverlays(Overlays(static_cast<int>(measured.size())));
    plot.ShowModels(document_.Doc().History(), decimalSeparator_);
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
    ShowFunctionOf(plot, std::clamp(plot.ChosenInput(), 0, inputs - 1), decimalSeparator_);
}

void RunDriver::ShowPlotWindow() {
    if (!CanShowPlot()) {
        return;
    }
    RunPlot* plot = PlotWindow();
    if (plot == nullptr) {
        plot = FindOrCreatePlotWindow(document_.Doc().Table().InputCount());
        if (plot == nullptr) {
            return;
        }
        // A running search fills the new window at its next tick.
        plot->SetBusy(running_);
        if (!running_ && shownMeasuredText_.empty()) {
            ShowChosenModel();
        } else if (!running_) {
            FillPlot(*plot);
        }
    }
    if (auto* frame = qobject_cast<QMdiSubWindow*>(plot->Window()->parentWidget())) {
        frame->showNormal();
        frame->mdiArea()->setActiveSubWindow(frame);
    }
    plot->Window()->show();
}

void RunDriver::ShowFunctionOf(RunPlot& plot, int input, char decimalSeparator) const {
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
            FunctionView view = FunctionView::Of(kept->Coefficients.Inputs[index], decimalSeparator);
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

void RunDriver::RequestStop() {
    document_.Engine().RequestStop();
    // A stop asked again while the run ends keeps the first one.
    if (running_ && !stopWanted_) {
        stopWanted_ = true;
        ShowStatus(StoppingText);
    }
}

void RunDriver::CloseAfterRun(QWidget* window) {
    if (!running_) {
        CloseChildWindow(window);
        return;
    }
    RequestStop();
    closeAfterRun_.append(window);
}

// The windows close from the event loop, once the command that ran has returned.
void RunDriver::CloseDeferredWindows() {
    for (const QPointer<QWidget>& window : std::exchange(closeAfterRun_, {})) {
        if (window != nullptr) {
            QTimer::singleShot(0, window, [w = window.data()] { CloseChildWindow(w); });
        }
    }
}

void RunDriver::ClosePlotWindows() {
    for (const QPointer<QWidget>& window : std::exchange(ownedPlots_, {})) {
        if (window != nullptr) {
            CloseChildWindow(window);
        }
    }
}

} // namespace orvanel
