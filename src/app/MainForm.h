// The program's frame window: the MDI area with the document and plot windows, the menus, the
// tool bar, the status line and the commands shared by every child window.
#pragma once

#include "window/DocumentHost.h"
#include "window/PlotHost.h"
#include "window/UserDialogs.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QProgressBar;
class QTextBrowser;

namespace orvanel {

class FileCommands;
class MainMenus;
class TPlotMDIChild;
class WindowArranger;

class TMainForm : public QMainWindow, public DocumentHost, public PlotHost {
    Q_OBJECT

public:
    // A frame that asks its questions through `dialogs` (the real dialogs when null).
    explicit TMainForm(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Creates a document window captioned `caption`, makes it the active child and focuses it.
    TMDIMainChild* CreateDocumentWindow(const QString& caption);
    // Adds the loaded `document` to the area in a window of its own, makes it the active child
    // and focuses it; returns `document`.
    TMDIMainChild* ShowDocumentWindow(TMDIMainChild* document);
    // Shows the frame maximized, or covering the screen's available area where nothing
    // maximizes it.
    void ShowMaximizedOnScreen();
    // Opens each path as the Open command does with a chosen file (the program's arguments).
    void OpenDocuments(const QStringList& paths);

    // The run-state display: the status text ("Ready" when idle) and the progress gauge.
    void SetStatusText(const QString& text) override;
    void SetStatusTextUntilNextCommand(const QString& text) override;
    void SetGauge(int minimum, int maximum, int position) override;
    // Shows the idle (9) or running (11) picture on the Execute button.
    void SetExecuteImageIndex(int index) override;
    // The active child's documents own the run-state display.
    bool ShowsStateOf(const TMDIMainChild& document) const override;
    int ExecuteImageIndex() const { return executeImageIndex_; }
    // Shows or hides the Execute and Options tool buttons.
    void ShowRunButtons(bool visible);
    // The file the Help Contents command shows.
    void SetHelpFile(const QString& path) { helpFile_ = path; }

    // The child windows that are open, in creation order.
    QList<QMdiSubWindow*> ChildWindows() const;
    QMdiArea* MdiArea() const { return mdiArea_; }
    // The caption a child window shows: its widget's title.
    static QString CaptionOf(const QMdiSubWindow* window);
    // The documents a command on the active child acts on: the active document, or every
    // document whose caption followed by " - Plot" is the active plot window's caption.
    QList<TMDIMainChild*> DocumentsOfActiveChild() const;

    UserDialogs& Dialogs() override { return *dialogs_; }
    bool SaveDocumentWindow(TMDIMainChild& document) override;
    // Writes the project to the file last saved or opened, or to a chosen one.
    bool SaveProject() override;
    RunPlot* FindPlotWindow(const QString& caption) override;
    RunPlot* CreatePlotWindow() override;

    QList<TMDIMainChild*> Documents() const override;
    QList<TMDIMainChild*> DocumentsOfPlot(const QString& plotCaption) const override;

public slots:
    // The commands of the menus and the tool bar. Those that act on the active child do
    // nothing when there is none; a plot window passes them to the document of its caption.
    void NewMenuClick();
    void OpenMenuClick();
    void ReopenClick(QAction* entry);
    void SaveMenuClick();
    void SaveAsMenuClick();
    void CloseMenuClick();
    void PrintMenuClick();
    // Saves the active plot window's chosen chart; nothing without a plot window.
    void ExportChartMenuClick();
    // Writes the model of the active child's documents to a chosen file.
    void ExportModelMenuClick();
    // Reads a model file into the active child's documents' models.
    void ImportModelMenuClick();
    // Writes every open document with its kept models to a chosen project file.
    void SaveProjectMenuClick();
    void CopyToolButtonClick();
    void PasteToolButtonClick();
    void OpcionesToolButtonClick();
    void EjecutarToolButtonClick();
    void CascadeMenuClick();
    // Tiles the windows in the fewest columns that keep each at its minimum size within the
    // area, one above the other when they fit so; cascades them when no tiling fits.
    void TileMenuClick() override;
    void ArrangeAllMenuClick();
    void MinimizeAllMenuClick();
    void CloseAllMenuClick();
    // Shows the plot window of the active child's documents again, made anew with the last
    // run's results when it was closed.
    void ShowPlotMenuClick();
    void ExitMenuClick();
    void AboutMenuClick();
    void HelpContentsMenuClick();

protected:
    // Closing the frame asks first about every running document, then about every modified
    // one, and closes the children only when no answer cancelled the exit.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateStatusArea();
    // The status line, gauge and Execute button as the active child's document left them.
    void ShowActiveState();
    // Whether a run of the active child's documents is in progress.
    bool ActiveChildRuns() const;
    TMDIMainChild* ActiveDocument() const;
    // Adds `child` to the area in a window that closes for good and keeps a usable size.
    QMdiSubWindow* AddChildWindow(QWidget* child);
    void MarkUnsavedChanges(QMdiSubWindow* window, TMDIMainChild* document);
    TPlotMDIChild* ActivePlotWindow() const;
    // Closes the child windows from the last to the first; false when one refused. The
    // `discarded` documents close without asking whether to save them.
    bool CloseChildWindows(const QList<TMDIMainChild*>& discarded = {});
    // Asks whether to stop each running document; true when none runs. Stopped documents close
    // once their runs return, and the exit then goes on.
    bool StopRunsBeforeExit();
    // Asks whether to save each modified document, last first, saving those answered Yes and
    // listing in `discarded` those answered No; false when an answer or a save cancelled.
    bool AskToSaveDocuments(QList<TMDIMainChild*>& discarded);
    // Asks what to do with every document's kept models not saved in a project; false when the
    // user cancelled.
    bool AskToKeepModels();
    // Subscribes a new child window to the exit that waits for runs to return.
    void ContinueExitWhenClosed(QMdiSubWindow* window);
    void DocumentWindowClosed();

    std::unique_ptr<UserDialogs> dialogs_;
    // An exit waits for a run the user agreed to stop; it goes on when a child window closes.
    bool exitAfterRuns_ = false;
    QMdiArea* mdiArea_ = nullptr;
    std::unique_ptr<WindowArranger> arranger_;
    std::unique_ptr<MainMenus> menus_;
    std::unique_ptr<FileCommands> files_;
    QLabel* statusPanel_ = nullptr;
    // The status text stays under the pointer until the next command.
    bool statusHeld_ = false;
    QProgressBar* progressGauge_ = nullptr;
    int executeImageIndex_ = IdleImage;
    QString helpFile_;
    QPointer<QTextBrowser> helpWindow_;
};

} // namespace orvanel
