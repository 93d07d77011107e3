#include "window/RunDriver.h"

#include "document/run/RunReport.h"
#include "document/table/TableSamples.h"
#include "engine/search/Genetico.h"
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
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <algorithm>
#include <chrono>
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
const QString PlotSuffix = QStringLiteral(" - Plot");
// How often the interface thread serves the event loop while it waits for other threads.
constexpr std::chrono::milliseconds ServeInterval(40);

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
      run_(document.Engine()), models_(document, host), display_(document, run_, models_, state_),
      status_(document, host) {
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

void RunDriver::ShowResults() {
    display_.ShowResults(PlotWindow());
}

void RunDriver::ShowFunctionOf(RunPlot& plot, int input, char decimalSeparator) const {
    display_.ShowFunctionOf(plot, input, decimalSeparator);
}

QString RunDriver::FitText() const {
    return display_.FitText();
}

QString RunDriver::PoorFitHint() const {
    return display_.PoorFitHint();
}

void RunDriver::ShowState() {
    status_.ShowState(state_.Running);
}

void RunDriver::TableEdited() {
    models_.TableEdited();
}

void RunDriver::ExecuteAlgorithmMenuClick() {
    // A run is not re-entrant: Execute arrives again from the menu, the shortcut or the plot
    // window while the engine yields to the window system.
    if (state_.Running) {
        return;
    }
    state_.Running = true;
    stopWanted_ = false;
    state_.ResultShown = false;
    resultsKept_ = false;
    shownPhase_.clear();
    modelDescription_.reset();
    state_.DecimalSeparator = LocaleDecimalSeparator();
    document_.Engine().RequestStop();
    if (!SaveFirst()) {
        state_.Running = false;
        return;
    }
    DataTable& table = document_.Doc().Table();
    if (table.HasComputedColumn()) {
        table.RemoveComputedColumn();
    }
    status_.ShowStatus(InitializingText);
    QCoreApplication::processEvents();
    KeepSearchSettings();
    if (!HandOverTable()) {
        RestoreSearchSettings();
        state_.Running = false;
        status_.ShowStatus(RunStatus::ReadyText);
        CloseDeferredWindows();
        return;
    }
    // Handing five million values over is a long step of its own; the window is served
    // before the next one.
    QCoreApplication::processEvents();
    RunProtected();
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
    std::future<TableSamples> reading =
        std::async(std::launch::async, [table = source, separator = state_.DecimalSeparator] {
            return TableSamples::FromTable(table, separator);
        });
    while (reading.wait_for(ServeInterval) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return reading.get();
}

void RunDriver::RunProtected() {
    TGenetico& engine = document_.Engine();
    status_.ShowGauge(engine.Generations, 0);
    shownGeneration_ = 0;
    shownEvolving_ = false;
    display_.ForgetSummary();
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
        status_.ShowExecuteImage(DocumentHost::RunningImage);
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
        failure = run_.Finish(RunReport::FailureText(error));
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
        plot->PrepareRun(document_.windowTitle() + PlotSuffix, inputs, state_.DecimalSeparator);
        plot->NameInputs(models_.InputNames());
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
    state_.ResultShown = failure.empty() && run_.Result().has_value();
    if (state_.ResultShown) {
        modelDescription_ = ModelExport::Of(run_, engine, document_.Doc().DocumentPath(),
                                            CommandSeed::MillisecondsOf(run_.StartState()),
                                            document_.Doc().SampleTime());
        if (!modelDescription_->SeedMilliseconds) {
            modelDescription_->StartState = run_.StartState();
        }
        models_.NameColumns(*modelDescription_);
        display_.KeepSummary();
        models_.KeepRun(run_);
    }
    // A stop that came too late to cut anything short leaves a run that ended as any other.
    // Read before the user's settings come back: a thorough run's generations are its own.
    const std::vector<std::string> stopLines = run_.StopLines();
    RestoreSearchSettings();
    // The fit figures stay in view after the written end-of-run text.
    const QString figures = display_.FitText();
    const QString fit = figures.isEmpty() ? QString() : ResultDisplay::FitSeparator + figures;
    if (!stopLines.empty()) {
        status_.ShowStatus(QString::fromStdString(stopLines.back()) + fit, true);
    } else if (!fit.isEmpty()) {
        status_.ShowStatus(RunStatus::ReadyText + fit + display_.PoorFitHint(), true);
    } else {
        status_.ShowStatus(RunStatus::ReadyText);
    }
    // Refilling the largest table and chart is the last long step: the window is served first.
    QCoreApplication::processEvents();
    ShowResults();
    resultsKept_ = run_.HasModel();
    state_.Running = false;
    // The button offers a new run only now: a click before this could only have asked the
    // ending run to stop again.
    status_.ShowExecuteImage(DocumentHost::IdleImage);
    if (!failure.empty()) {
        host_.Dialogs().ShowError(&document_, QString::fromStdString(failure));
    }
    CloseDeferredWindows();
}

bool RunDriver::CanShowPlot() const {
    return state_.Running || resultsKept_ || !document_.Doc().History().Empty();
}

void RunDriver::ChooseModel(std::size_t index) {
    if (!state_.Running) {
        document_.Doc().History().Choose(index);
        ShowChosenModel();
    }
}

void RunDriver::OverlayModel(std::size_t index, bool overlaid) {
    if (!state_.Running) {
        document_.Doc().History().SetOverlaid(index, overlaid);
        ShowChosenModel();
    }
}

void RunDriver::RenameModel(std::size_t index, const std::string& name) {
    if (!state_.Running) {
        document_.Doc().History().Rename(index, name);
        ShowChosenModel();
    }
}

void RunDriver::RemoveModel(std::size_t index) {
    if (state_.Running) {
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
    state_.ResultShown = false;
    resultsKept_ = false;
    models_.Forget();
    modelDescription_.reset();
    chosenDescription_.reset();
    display_.Forget();
    DataTable& table = document_.Doc().Table();
    if (table.HasComputedColumn()) {
        table.RemoveComputedColumn();
    }
    if (QWidget* window = plotWindow_.data()) {
        CloseChildWindow(window);
    }
    status_.ShowStatus(RunStatus::ReadyText);
}

void RunDriver::ImportModel(const QString& path) {
    if (state_.Running) {
        return;
    }
    state_.DecimalSeparator = LocaleDecimalSeparator();
    try {
        models_.Import(path, [this] { return ReadTable(document_.Doc().Table()); });
    } catch (const std::exception& error) {
        host_.Dialogs().ShowError(
            &document_, QStringLiteral("Cannot import %1 into %2: %3")
                            .arg(path, document_.windowTitle(), QString::fromUtf8(error.what())));
        return;
    }
    ShowChosenModel();
    ShowPlotWindow();
}

void RunDriver::ShowChosenModel() {
    if (state_.Running) {
        return;
    }
    models_.RefreshEdited([this] {
        state_.DecimalSeparator = LocaleDecimalSeparator();
        return ReadTable(document_.Doc().Table());
    });
    if (display_.ChosenKept() == nullptr && !resultsKept_) {
        if (RunPlot* plot = PlotWindow()) {
            plot->ShowModels(document_.Doc().History(), state_.DecimalSeparator);
        }
        return;
    }
    DataTable& table = document_.Doc().Table();
    if (!table.HasComputedColumn()) {
        table.AddComputedColumn();
    }
    const KeptModel* kept = display_.ChosenKept();
    chosenDescription_ = kept != nullptr ? models_.DescriptionOf(*kept) : std::nullopt;
    ShowResults();
    const QString figures = display_.FitText();
    status_.ShowStatus(figures.isEmpty()
                           ? RunStatus::ReadyText
                           : RunStatus::ReadyText + ResultDisplay::FitSeparator + figures,
                       true);
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
        status_.ShowGauge(generations, shownGeneration_);
    } else {
        // Without a measure of its own, the phase shows a busy gauge (a range of nothing).
        status_.ShowGauge(phase.Total, phase.Done);
    }
    if (stopWanted_) {
        status_.ShowStatus(StoppingText);
    } else if (!phase.Text.empty()) {
        status_.ShowStatus(ExecutingText + u' ' + QString::fromStdString(phase.Text));
    } else {
        status_.ShowStatus(
            shownEvolving_ ? ExecutingText + GenerationText.arg(shownGeneration_).arg(generations)
                           : InitializingText);
    }
}

void RunDriver::ShowEndGauge(int generations) {
    switch (run_.Stopped()) {
    case IdentificationRun::StopPhase::Search:
        status_.ShowGauge(generations, std::max(run_.LastGeneration(), 0));
        break;
    case IdentificationRun::StopPhase::Restarts:
        status_.ShowGauge(run_.Resolved().Restarts, run_.CompletedSearches());
        break;
    case IdentificationRun::StopPhase::None:
    case IdentificationRun::StopPhase::HoldOut:
    case IdentificationRun::StopPhase::Refinement:
        // The search itself ran to its end.
        status_.ShowGauge(generations, generations);
        break;
    }
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
        plot->SetBusy(state_.Running);
        if (!state_.Running && !display_.HasOutputs()) {
            ShowChosenModel();
        } else if (!state_.Running) {
            display_.FillPlot(*plot);
        }
    }
    if (auto* frame = qobject_cast<QMdiSubWindow*>(plot->Window()->parentWidget())) {
        frame->showNormal();
        frame->mdiArea()->setActiveSubWindow(frame);
    }
    plot->Window()->show();
}

void RunDriver::RequestStop() {
    document_.Engine().RequestStop();
    // A stop asked again while the run ends keeps the first one.
    if (state_.Running && !stopWanted_) {
        stopWanted_ = true;
        status_.ShowStatus(StoppingText);
    }
}

void RunDriver::CloseAfterRun(QWidget* window) {
    if (!state_.Running) {
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
