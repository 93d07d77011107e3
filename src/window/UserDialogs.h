// The questions and messages the windows put to the user, behind an interface so that each
// window asks through one place and tests can answer without a modal loop.
#pragma once

#include <QString>

class QWidget;

namespace orvanel {

class ImportDialog;

class UserDialogs {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~UserDialogs() = default;

    // The path chosen in the open-file dialog for data files; empty when the user cancelled.
    virtual QString OpenFileName(QWidget* parent) = 0;
    // The path chosen in the save-file dialog preset to `preset`; empty when cancelled.
    virtual QString SaveFileName(QWidget* parent, const QString& preset) = 0;
    // The file a chart is exported to, its type chosen by the extension (.png, .pdf or .svg);
    // empty when cancelled.
    virtual QString ChartFileName(QWidget* parent) = 0;
    // The file a model is exported to, its format chosen by the extension (.json, .m or .py);
    // empty when cancelled.
    virtual QString ModelFileName(QWidget* parent) = 0;
    // The project file Save Project writes (.orvanel); empty when cancelled.
    virtual QString ProjectFileName(QWidget* parent) = 0;
    // The model file (.json) Import Model reads; empty when cancelled.
    virtual QString ModelToImport(QWidget* parent) = 0;
    // Asks whether a project embeds the data of documents that have a data file (Yes) or
    // names the files (No).
    virtual bool AskEmbedData(QWidget* parent) = 0;
    // Asks whether the models the document whose window is `parent` keeps are to be saved in
    // a project before it closes: Yes saves, No discards them.
    virtual Answer AskSaveModels(QWidget* parent) = 0;
    // The item chosen from `items` for `question`, from 0; -1 when cancelled.
    virtual int ChooseItem(QWidget* parent, const QString& question, const QStringList& items) = 0;
    // The PDF file that printing writes when no printer is installed; empty when cancelled.
    virtual QString PdfFileName(QWidget* parent) = 0;
    // Asks whether the existing file `path` may be replaced by the document being saved.
    virtual bool AskReplaceFile(QWidget* parent, const QString& path) = 0;
    // Asks whether a modified document, whose window is `parent`, is to be saved before it
    // closes; the question names the document by the window's caption.
    virtual Answer AskSaveChanges(QWidget* parent) = 0;
    // An error box with an OK button.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // A plain message box with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // Asks whether the run in progress is to be stopped so that its window can close.
    virtual bool AskStopRun(QWidget* parent) = 0;
    // Asks whether the `count` selected rows are to be deleted.
    virtual bool AskDeleteRows(QWidget* parent, int count) = 0;
    // Shows the import dialog until the user reads the data (true) or cancels.
    virtual bool RunImport(ImportDialog& dialog) = 0;
    // Opens a text file in the desktop's viewer for text files, without waiting for it.
    virtual void ShowTextFile(const QString& path) = 0;
};

} // namespace orvanel
