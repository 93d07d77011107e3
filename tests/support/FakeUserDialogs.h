// Answers the windows' dialogs from prepared answers and records every message, so that tests
// never block in a modal loop.
#pragma once

#include "window/ImportDialog.h"
#include "window/UserDialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace orvanel {

class FakeUserDialogs : public UserDialogs {
public:
    QStringList openAnswers; // consumed first to last; empty means cancelled
    QStringList saveAnswers; // the same for the save dialog
    QString pdfAnswer;
    QString chartAnswer;
    QString modelAnswer;
    QString projectAnswer;
    QString importModelAnswer;
    bool embedDataAnswer = true;
    QList<Answer> saveModelsAnswers; // the default answer is No
    QStringList saveModelsCaptions;  // the caption of each document asked about
    int chooseItemAnswer = -1;
    QStringList chooseItemQuestions;
    QList<bool> replaceFileAnswers; // the default answer is Yes
    QStringList replaceFileQuestions;
    QList<Answer> saveChangesAnswers; // the default answer is No
    QStringList savePresets;
    QStringList errors;
    QStringList messages;
    int saveChangesQuestions = 0;
    QStringList saveChangesCaptions; // the caption of each document asked about
    QList<bool> stopRunAnswers;      // the default answer is No
    int stopRunQuestions = 0;
    QStringList shownTextFiles;
    QList<bool> deleteRowsAnswers; // the default answer is Yes
    QList<int> deleteRowsQuestions;
    // Edits the import dialog before OK; unset, OK takes what the dialog suggests.
    std::function<void(ImportDialog&)> importAnswer;
    bool cancelImport = false;
    int importQuestions = 0;

    QString OpenFileName(QWidget*) override { return Take(openAnswers); }
    QString SaveFileName(QWidget*, const QString& preset) override {
        savePresets.append(preset);
        return Take(saveAnswers);
    }
    QString PdfFileName(QWidget*) override { return pdfAnswer; }
    QString ChartFileName(QWidget*) override { return chartAnswer; }
    QString ModelFileName(QWidget*) override { return modelAnswer; }
    QString ProjectFileName(QWidget*) override { return projectAnswer; }
    QString ModelToImport(QWidget*) override { return importModelAnswer; }
    bool AskEmbedData(QWidget*) override { return embedDataAnswer; }
    Answer AskSaveModels(QWidget* parent) override {
        saveModelsCaptions.append(parent->windowTitle());
        return saveModelsAnswers.isEmpty() ? Answer::No : saveModelsAnswers.takeFirst();
    }
    int ChooseItem(QWidget*, const QString& question, const QStringList&) override {
        chooseItemQuestions.append(question);
        return chooseItemAnswer;
    }
    bool AskReplaceFile(QWidget*, const QString& path) override {
        replaceFileQuestions.append(path);
        return replaceFileAnswers.isEmpty() || replaceFileAnswers.takeFirst();
    }
    Answer AskSaveChanges(QWidget* parent) override {
        ++saveChangesQuestions;
        saveChangesCaptions.append(parent->windowTitle());
        return saveChangesAnswers.isEmpty() ? Answer::No : saveChangesAnswers.takeFirst();
    }
    void ShowError(QWidget*, const QString& text) override { errors.append(text); }
    void ShowMessage(QWidget*, const QString& text) override { messages.append(text); }
    bool AskStopRun(QWidget*) override {
        ++stopRunQuestions;
        return !stopRunAnswers.isEmpty() && stopRunAnswers.takeFirst();
    }
    bool RunImport(ImportDialog& dialog) override {
        ++importQuestions;
        if (importAnswer)
            importAnswer(dialog);
        return !cancelImport && dialog.TryAccept();
    }
    void ShowTextFile(const QString& path) override { shownTextFiles.append(path); }
    bool AskDeleteRows(QWidget*, int count) override {
        deleteRowsQuestions.append(count);
        return deleteRowsAnswers.isEmpty() || deleteRowsAnswers.takeFirst();
    }

private:
    static QString Take(QStringList& answers) {
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

} // namespace orvanel
