// The window of one data document: the editable grid of its table, the two count fields, the
// row and cell buttons, and the Edit and Algorithm menus the frame merges while it is active.
#pragma once

#include "document/project/Document.h"
#include "engine/search/Genetico.h"
#include "window/ChildMenus.h"

#include <QWidget>
#include <functional>
#include <utility>

class QAction;
class QMenu;
class QPushButton;
class QTableView;
class QFrame;
class QUndoStack;

namespace orvanel {

class DataTableModel;
class DocumentHost;
class GridKeyFilter;
class ImportDialog;
class ModelExport;
class RunDriver;
class TableEdits;
class TCountSpinEdit;

class TMDIMainChild : public QWidget, public ChildMenus {
    Q_OBJECT

public:
    // A new document titled `caption` in the frame `host`, which must outlive it.
    TMDIMainChild(DocumentHost& host, const QString& caption, QWidget* parent = nullptr);
    ~TMDIMainChild() override;

    Document& Doc() { return document_; }
    const Document& Doc() const { return document_; }
    // The genetic engine that identifies this document's model, alive as long as the window.
    TGenetico& Engine() { return engine_; }
    QString DocumentPath() const;

    // Fills the new document from the file `path`; throws DocumentError when it cannot.
    void LoadDocument(const QString& path);
    // Fills the new document from the file `path`: one in the program's own format as
    // LoadDocument does, any other (a delimited text, a MATLAB file) through the import dialog.
    // False when the user cancelled the dialog; throws DocumentError when the file cannot be read.
    bool OpenFile(const QString& path);
    // Fills the new document from a project's embedded data rows; it names no file.
    void LoadProjectRows(const std::string& rows);
    // Writes the table to the file `path`: as a delimited file when `path` ends in ".csv" or
    // ".tsv", or is the delimited file the document was imported from (SavesDelimited), else
    // in the program's format (with ".txt" as its extension; for a ".mat" name the document then
    // is that .txt file). Throws DocumentError naming the file when it cannot, leaving the
    // document as it was.
    void SaveDocument(const QString& path);
    bool SavesDelimited(const QString& path) const;

    // The whole table, header row and row numbers included, to the clipboard as text.
    void CopyTable();
    // Rebuilds the table from the clipboard text; reports a text that is not a table.
    void PasteTable();
    // Asks for a file and writes the last run's model there, in the format of its extension;
    // without a model, says to execute first. Failures are shown naming the file.
    void ExportModel();
    // The last run's model as JSON to the clipboard; without a model, says to execute first.
    void CopyModel();
    // Prints the table's lines in a monospace font, on as many pages as they need; with no
    // printer installed, asks for a PDF file and prints into it.
    void PrintTable();
    // Asks the engine to end its run after the current generation (after the first one when
    // it is still building its population).
    void RequestStop();
    // The Execute command's driver, with its run state and plot window.
    RunDriver& Driver() { return *driver_; }
    // Asks what to do with kept models not saved in a project; false when the user cancelled
    // or the project was not saved.
    bool KeepOrDiscardModels();
    // A run of this document is in progress (its Execute command has not returned).
    bool IsRunning() const;
    // Runs each document's Execute command in turn, skipping one closed while another ran.
    static void ExecuteEach(const QList<TMDIMainChild*>& documents);
    // Asks every one of `documents` to stop when one of them runs; false, asking nothing, when
    // none does.
    static bool StopRuns(const QList<TMDIMainChild*>& documents);
    // Algorithm > Execute and Ctrl+E: stops the runs, as the tool button does, or runs each.
    static void ExecuteOrStop(const QList<TMDIMainChild*>& documents);

    QList<QMenu*> MergedMenus() const override;

    // The grid's current cell in table coordinates (row and column at least 1).
    int CurrentRow() const;
    int CurrentColumn() const;

public slots:
    // Inserts an empty row at the current row, which moves down with the rows below it.
    void AddBitBtnClick();
    // Deletes the rows of the selected cells (the current row when none is selected), after
    // asking once when they are more than one; the only data row is emptied instead.
    void DelBitBtnClick();
    // The current cell's text to the clipboard.
    void CopyBitBtnClick();
    // The clipboard text before its first TAB or line break into the current cell, so that no
    // cell breaks the row layout of the saved file.
    void PasteBitBtnClick();
    void CopyEditMenuClick() { CopyTable(); }
    void PasteEditMenuClick() { PasteTable(); }
    void CopyModelEditMenuClick() { CopyModel(); }
    // Takes back the last edit of the table, or makes the last one taken back again.
    void UndoEditMenuClick();
    void RedoEditMenuClick();
    // Asks for the options dialog over this document's engine (OptionsRequested).
    void OptionsAlgorithmMenuClick();
    // Runs the identification on this document (RunDriver); nothing while it runs already.
    // While it runs, the table, Add, Del, Paste and the count fields are read-only, so that the
    // results go into the computed column the run began with.
    void ExecuteAlgorithmMenuClick();

signals:
    // The user asked for the options of this document's engine.
    void OptionsRequested();
    // The window accepted closing; it is about to be destroyed.
    void Closed();
    // The document now has, or no longer has, changes not saved.
    void ModifiedChanged(bool modified);

protected:
    // During a run, asks whether to stop it: the window then closes once the run has finished.
    // Otherwise asks to save a modified document: Yes saves (and keeps the window open when the
    // save is cancelled or fails), No discards, Cancel keeps the window open. The plot windows
    // this document created close with it.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateButtons();
    void CreateCountPanel();
    void CreateGrid();
    void CreateMenus();
    void InputsSpinEditChange(const QString& text);
    void DataPointsSpinEditChange(const QString& text);
    void ShowCounts();
    void BringCountsIntoRange();
    void SetCurrentCell(int row, int column);
    void SetEditable(bool editable);
    // Runs the import dialog over a pasted block and pastes its data as one undoable step.
    bool PasteImport(ImportDialog& dialog);
    // The caption, counts and first cell of a table just read or pasted.
    void ShowLoaded();
    void ShowCaption();
    void ShowModified();
    // The last run's model description; null after telling the user there is none.
    const ModelExport* ModelOrMessage();
    // The first and last row of the grid's selection; the current row when nothing is selected.
    std::pair<int, int> SelectedRows() const;
    // Runs an edit of the table's shape and, when it changed the table, puts the current cell
    // back where it was (the view forgets it on a reshape). Returns whether the table changed.
    bool KeepCurrentCellThrough(const std::function<bool()>& edit);
    // Undoes or redoes one step of the table's history and shows the counts it left.
    void StepThroughHistory(void (QUndoStack::*step)());

    DocumentHost& host_;
    TGenetico engine_;
    Document document_;
    // Every edit of the table goes through its undo stack.
    TableEdits* edits_ = nullptr;
    DataTableModel* model_ = nullptr;
    GridKeyFilter* keyFilter_ = nullptr;
    QTableView* grid_ = nullptr;
    QFrame* panel_ = nullptr;
    TCountSpinEdit* inputsSpinEdit_ = nullptr;
    TCountSpinEdit* dataPointsSpinEdit_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* delButton_ = nullptr;
    QPushButton* pasteButton_ = nullptr;
    QAction* pasteAction_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* algorithmMenu_ = nullptr;
    RunDriver* driver_ = nullptr;
};

} // namespace orvanel
