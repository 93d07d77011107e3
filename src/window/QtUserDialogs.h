// The real file dialogs and message boxes of the program.
#pragma once

#include "window/UserDialogs.h"

namespace orvanel {

class QtUserDialogs : public UserDialogs {
public:
    QString OpenFileName(QWidget* parent) override;
    QString SaveFileName(QWidget* parent, const QString& preset) override;
    QString ChartFileName(QWidget* parent) override;
    QString ModelFileName(QWidget* parent) override;
    QString PdfFileName(QWidget* parent) override;
    QString ProjectFileName(QWidget* parent) override;
    QString ModelToImport(QWidget* parent) override;
    bool AskEmbedData(QWidget* parent) override;
    Answer AskSaveModels(QWidget* parent) override;
    int ChooseItem(QWidget* parent, const QString& question, const QStringList& items) override;
    bool AskReplaceFile(QWidget* parent, const QString& path) override;
    Answer AskSaveChanges(QWidget* parent) override;
    void ShowError(QWidget* parent, const QString& text) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool AskStopRun(QWidget* parent) override;
    bool AskDeleteRows(QWidget* parent, int count) override;
    // The path goes to the viewer as a file URL, never through a shell.
    bool RunImport(ImportDialog& dialog) override;
    void ShowTextFile(const QString& path) override;
};

} // namespace orvanel
