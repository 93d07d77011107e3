#include "window/QtUserDialogs.h"

#include "window/ImportDialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace orvanel {

namespace {

const QString TextFileFilter = QStringLiteral("Text File (*.txt);;CSV File (*.csv)");
// A file of another kind is opened to be told what it holds, not hidden.
const QString OpenFilter = QStringLiteral(
    "Data Files and Projects (*.txt *.csv *.tsv *.mat *.orvanel);;All Files (*)");

} // namespace

QString QtUserDialogs::OpenFileName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), OpenFilter);
}

bool QtUserDialogs::RunImport(ImportDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

QString QtUserDialogs::SaveFileName(QWidget* parent, const QString& preset) {
    QFileDialog dialog(parent, QString(), QString(), TextFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setSizeGripEnabled(true);
    dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QString QtUserDialogs::ChartFileName(QWidget* parent) {
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Export Chart"), QString(),
        QStringLiteral("PNG image (*.png);;PDF file (*.pdf);;SVG image (*.svg)"));
}

QString QtUserDialogs::ModelFileName(QWidget* parent) {
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Export Model"), QString(),
        QStringLiteral("JSON (*.json);;MATLAB/Octave (*.m);;Python (*.py)"));
}

QString QtUserDialogs::ProjectFileName(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Project"), QString(),
                                        QStringLiteral("Orvanel project (*.orvanel)"));
}

QString QtUserDialogs::ModelToImport(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Import Model"), QString(),
                                        QStringLiteral("JSON model (*.json);;All Files (*)"));
}

bool QtUserDialogs::AskEmbedData(QWidget* parent) {
    return QMessageBox::question(
               parent, QApplication::applicationName(),
               QStringLiteral("Embed the data in the project?\n\nYes: the project holds the "
                              "data itself. No: it names the data files, which must stay where "
                              "they are."),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

UserDialogs::Answer QtUserDialogs::AskSaveModels(QWidget* parent) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    QStringLiteral("%1 keeps models that are not saved in a project.\nSave the "
                                   "project before closing it?")
                        .arg(parent != nullptr ? parent->windowTitle() : QString()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    const int button = box.exec();
    if (button == QMessageBox::Save) {
        return Answer::Yes;
    }
    return button == QMessageBox::Discard ? Answer::No : Answer::Cancel;
}

int QtUserDialogs::ChooseItem(QWidget* parent, const QString& question, const QStringList& items) {
    bool chosen = false;
    const QString item = QInputDialog::getItem(parent, QApplication::applicationName(), question,
                                               items, 0, false, &chosen);
    return chosen ? static_cast<int>(items.indexOf(item)) : -1;
}

QString QtUserDialogs::PdfFileName(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("No printer found: print to PDF"),
                                        QString(), QStringLiteral("PDF File (*.pdf)"));
}

bool QtUserDialogs::AskReplaceFile(QWidget* parent, const QString& path) {
    return QMessageBox::warning(parent, QApplication::applicationName(),
                                QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                    .arg(QDir::toNativeSeparators(path)),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

UserDialogs::Answer QtUserDialogs::AskSaveChanges(QWidget* parent) {
    // The document's window is the parent: its caption names the document asked about.
    const QString question =
        parent != nullptr && !parent->windowTitle().isEmpty()
            ? QStringLiteral("Save changes to %1 before closing it?").arg(parent->windowTitle())
            : QStringLiteral("Save changes before closing the document?");
    const auto button =
        QMessageBox::information(parent, QApplication::applicationName(), question,
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (button == QMessageBox::Yes) {
        return Answer::Yes;
    }
    return button == QMessageBox::No ? Answer::No : Answer::Cancel;
}

void QtUserDialogs::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

void QtUserDialogs::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool QtUserDialogs::AskStopRun(QWidget* parent) {
    return QMessageBox::question(
               parent, QApplication::applicationName(),
               QStringLiteral("The algorithm is running. Stop it and close the window?"),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtUserDialogs::AskDeleteRows(QWidget* parent, int count) {
    return QMessageBox::question(parent, QApplication::applicationName(),
                                 QStringLiteral("Delete the %1 selected rows?").arg(count),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtUserDialogs::ShowTextFile(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace orvanel
