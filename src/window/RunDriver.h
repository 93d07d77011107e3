// The document's Execute command: one identification run on its table, with live progress.
#pragma once

#include "document/formats/ModelExport.h"
#include "document/project/KeptModel.h"
#include "document/run/IdentificationRun.h"
#include "window/KeptModelList.h"
#include "window/ResultDisplay.h"
#include "window/RunPlot.h"
#include "window/RunStatus.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>

class QTimer;
class QWidget;

namespace orvanel {

class DataTable;
class DocumentHost;
class TableSamples;
class TMDIMainChild;

// Runs the document's engine on the interface thread: hands the table over, starts the report,
// prepares the plot window, runs, and shows the results; while the engine runs, a 2000 ms timer
// refreshes the frame's status, the gauge, the computed column and the plot window.
class RunDriver : public QObject {
    Q_OBJECT

public:
    static constexpr int TimerPeriodMs = 2000;

    // The driver of `document`, shown through `host`; both must outlive it.
    RunDriver(TMDIMainChild& document, DocumentHost& host);
    ~RunDriver() override;

    // One run on the document; does nothing while a run of it is in progress. Failures of the
    // run itself are shown once its finishing steps have run.
    void ExecuteAlgorithmMenuClick();
    // The progress tick: gauge, status text and results.
    void Timer1Timer();
    // Fills the computed column and the plot window from the engine's best model; once a run
    // with options has ended, from its final model (offsets added back, refined when refined).
    // The plot window then also shows the fit figures and where the validation part begins.
    void ShowResults();
    // Shows the transfer function of `input` (from 0) of the model ShowResults shows in
    // `plot`; nothing for an input the model lacks.
    void ShowFunctionOf(RunPlot& plot, int input, char decimalSeparator) const;
    // "Fit (estimation) = 85.31 %" and, with a validation part, "   Fit (validation) = ...",
    // and with a validation document "   Fit (validation, CAPTION) = ...", of the last run's
    // computed output; empty while it runs or when it failed.
    QString FitText() const;
    // The note that a thorough run exists after a poor fit without one, with its separator;
    // empty otherwise.
    QString PoorFitHint() const;

    // The last run's final model described for export, with the engine's settings as it ran;
    // while another model of a run is chosen in the Models list, that one with its fit
    // figures. Nothing before a run ended with a model, while one runs, or while a model read
    // from a file is chosen.
    const std::optional<ModelExport>& ModelDescription() const {
        return display_.ChosenKept() != nullptr ? chosenDescription_ : modelDescription_;
    }

    // From the first step of Execute to its last.
    bool Running() const { return state_.Running; }
    // Ends the run after the current generation; asked while the engine builds its first
    // population, after the first generation.
    void RequestStop();
    // Asks the running engine to stop and closes `window` once the run has finished; closes it
    // at once when no run is in progress.
    void CloseAfterRun(QWidget* window);
    // Whether a window waits for the run to return before it closes.
    bool ClosingAfterRun() const { return !closeAfterRun_.isEmpty(); }
    // Closes the plot windows this document created.
    void ClosePlotWindows();
    // Shows this document's run state through the host: while it runs, its progress; after a
    // run, how it ended (its fit, or where it stopped) with the gauge where it ended; "Ready"
    // before any run.
    void ShowState();
    // Whether there is a plot window to show: a run is in progress or has shown its results,
    // or the document keeps models.
    bool CanShowPlot() const;
    // Brings the document's plot window forward, made again with the last run's results when
    // it was closed; nothing when CanShowPlot is false.
    void ShowPlotWindow();

    // The document's kept models as the Models list changes them: each shows the chosen model
    // in the computed column and the plot window again. Removing the last one leaves the
    // document as before its first run: no computed column, no plot window. Nothing while a
    // run is in progress.
    void ChooseModel(std::size_t index);
    void OverlayModel(std::size_t index, bool overlaid);
    void RenameModel(std::size_t index, const std::string& name);
    void RemoveModel(std::size_t index);
    // Reads the model file at `path` into the document's models, simulated on its table, and
    // shows it; a file that cannot be read or a model with another number of inputs is
    // refused with a message naming the file and the document.
    void ImportModel(const QString& path);
    // Shows the chosen kept model in the computed column and the plot window, made when there
    // is none; nothing while a run is in progress. The chosen and overlaid models are first
    // simulated again on the table when it was edited since their outputs were computed.
    void ShowChosenModel();
    // The table's data changed (an edit, its undo or redo, another file): the models kept
    // until now no longer describe its rows.
    void TableEdited();

    // The plot window the last run filled; null when there is none (or it was closed).
    RunPlot* PlotWindow() const;
    const QString& ReportPath() const { return reportPath_; }
    bool TimerActive() const;

    // The document whose table the next runs also judge their model on, by its caption; null
    // for none. Closing that document drops the choice.
    void SetValidationDocument(TMDIMainChild* document);
    TMDIMainChild* ValidationDocument() const { return validationDocument_; }

    // Called just before the engine runs; seeds the random source for reproducible runs.
    // Empty: the run is seeded from the clock's millisecond field, as the command seeds one.
    std::function<void()> SeedBeforeRun;

private:
    // Drops the last run's results, its computed column and the plot window.
    void ForgetResults();
    bool SaveFirst();
    bool HandOverTable();
    TableSamples ReadTable(const DataTable& table);
    // Reads the validation document's table into `samples`; false, with the cell's message
    // naming the document shown, when a cell is no number.
    bool ReadValidationTable(std::optional<TableSamples>& samples);
    void RunProtected();
    RunPlot* FindOrCreatePlotWindow(int inputs);
    void HookYields();
    void Finish(const std::string& failure);
    void ClearBusyCursor();
    // The status and gauge while the run goes on: the generation, the phase after the search
    // with its own measure, or the stop under way.
    void ShowProgress();
    // Where the gauge stands once the run has ended: where a stopped run stopped.
    void ShowEndGauge(int generations);
    // The thorough search raises the engine's generations and size factor for its run only:
    // the options dialog goes on showing the user's own.
    void KeepSearchSettings();
    void RestoreSearchSettings();
    void CloseDeferredWindows();

    TMDIMainChild& document_;
    DocumentHost& host_;
    QTimer* timer1_;
    IdentificationRun run_;
    RunState state_;
    KeptModelList models_;
    ResultDisplay display_;
    RunStatus status_;
    QString reportPath_;
    QPointer<QWidget> plotWindow_;
    QList<QPointer<QWidget>> ownedPlots_;
    QList<QPointer<QWidget>> closeAfterRun_;
    bool stopWanted_ = false;
    std::optional<ModelExport> modelDescription_;
    // The chosen kept model described for export, when it is not the last run's.
    std::optional<ModelExport> chosenDescription_;
    QPointer<TMDIMainChild> validationDocument_;
    QMetaObject::Connection validationClosed_;
    int keptGenerations_ = 0;
    double keptSizeReductionFactor_ = 0.0;
    // The run state as of the engine's last per-generation (or per-filling) yield: what the
    // progress tick shows, also when it arrives during a later, finer yield.
    int shownGeneration_ = 0;
    bool shownEvolving_ = false;
    // The phase after the search that the status line names; empty during the search.
    std::string shownPhase_;
    // A run has ended and its outputs are kept for the plot window.
    bool resultsKept_ = false;
};

} // namespace orvanel
