#include "app/FileCommands.h"

#include "app/MainForm.h"
#include "app/MainMenus.h"
#include "document/project/ProjectFile.h"
#include "model/NumberText.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"
#include "window/ProjectKeeper.h"
#include "window/RunDriver.h"
#include "window/UserDialogs.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <exception>
#include <memory>
#include <vector>

namespace orvanel {

namespace {

const QString OpenErrorText = QStringLiteral("Error opening the file. Check its format.");
const QString ForeignFormatText = QStringLiteral(
    "%1 is not in the program's format, which it cannot read yet: one line per sample, the "
    "inputs' numbers and then the output's, separated by TABs, with \"%2\" as the decimal "
    "mark and no header line. Row 1, column %3 holds \"%4\".");

} // namespace

FileCommands::FileCommands(TMainForm& frame, UserDialogs& dialogs, MainMenus& menus)
    : frame_(frame), dialogs_(dialogs), menus_(menus), saver_(dialogs, &frame) {}

void FileCommands::OpenChosenFile() {
    const QString path = dialogs_.OpenFileName(&frame_);
    if (!path.isEmpty()) {
        OpenDocument(path, true);
    }
}

void FileCommands::OpenDocument(const QString& path, bool addToReopenList) {
    if (path.endsWith(QString::fromLatin1(ProjectFile::Extension))) {
        OpenProject(path);
        return;
    }
    // The window joins the area only once its file has loaded: a failed open leaves nothing.
    auto document = std::make_unique<TMDIMainChild>(frame_, path.toLower());
    try {
        if (!document->OpenFile(path)) {
            return;
        }
    } catch (const std::exception& error) {
        // The reason tells a missing file, a folder or a denied one from a bad format.
        dialogs_.ShowError(&frame_, OpenErrorText + u'\n' + QString::fromStdString(error.what()));
        return;
    }
    // A comma- or semicolon-separated file would load as one column of text, refused only at
    // Execute: it is refused now, with the format the program reads.
    if (const QString foreign = ForeignFormatMessage(*document); !foreign.isEmpty()) {
        dialogs_.ShowError(&frame_, foreign);
        return;
    }
    frame_.ShowDocumentWindow(document.release());
    frame_.ShowRunButtons(true);
    if (addToReopenList) {
        menus_.AddRecentFile(path);
    }
}

QString FileCommands::ForeignFormatMessage(const TMDIMainChild& document) const {
    const DataTable& table = document.Doc().Table();
    const char separator = LocaleDecimalSeparator();
    for (int column = 1; column <= table.InputCount() + 1; ++column) {
        const std::string_view cell = table.DataCell(1, column);
        if (!ParseNumber(cell, separator)) {
            return ForeignFormatText.arg(document.windowTitle(), QChar::fromLatin1(separator))
                .arg(column)
                .arg(QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size())));
        }
    }
    return {};
}

bool FileCommands::SaveDocument(TMDIMainChild& document) {
    return saver_.Save(document);
}

void FileCommands::SaveActiveAs() {
    QMdiSubWindow* active = frame_.MdiArea()->currentSubWindow();
    if (active == nullptr) {
        return;
    }
    const QString path = saver_.ChoosePath(TMainForm::CaptionOf(active));
    if (path.isEmpty()) {
        return;
    }
    for (TMDIMainChild* document : frame_.DocumentsOfActiveChild()) {
        saver_.Write(*document, path);
    }
}

void FileCommands::SaveActive() {
    QMdiSubWindow* active = frame_.MdiArea()->currentSubWindow();
    if (active == nullptr) {
        return;
    }
    if (TMainForm::CaptionOf(active).startsWith(QStringLiteral("New"))) {
        SaveActiveAs();
        return;
    }
    for (TMDIMainChild* document : frame_.DocumentsOfActiveChild()) {
        SaveDocument(*document);
    }
}

void FileCommands::ImportModel() {
    const QList<TMDIMainChild*> documents = frame_.DocumentsOfActiveChild();
    if (documents.isEmpty()) {
        return;
    }
    const QString path = dialogs_.ModelToImport(&frame_);
    for (TMDIMainChild* document : documents) {
        if (!path.isEmpty()) {
            document->Driver().ImportModel(path);
        }
    }
}

void FileCommands::SaveProjectAs() {
    projectPath_.clear();
    SaveProject();
}

bool FileCommands::SaveProject() {
    const QList<TMDIMainChild*> documents = frame_.Documents();
    if (documents.isEmpty()) {
        return false;
    }
    QString path = projectPath_;
    if (path.isEmpty()) {
        path = dialogs_.ProjectFileName(&frame_);
        if (path.isEmpty()) {
            return false;
        }
        if (!path.endsWith(QString::fromLatin1(ProjectFile::Extension))) {
            path += QString::fromLatin1(ProjectFile::Extension);
        }
    }
    const bool embed = dialogs_.AskEmbedData(&frame_);
    try {
        ProjectKeeper::Save(QFile::encodeName(path).toStdString(), documents, embed);
    } catch (const std::exception& error) {
        dialogs_.ShowError(&frame_, QString::fromUtf8(error.what()));
        return false;
    }
    projectPath_ = path;
    return true;
}

void FileCommands::OpenProject(const QString& path) {
    std::vector<std::unique_ptr<TMDIMainChild>> windows;
    try {
        for (const ProjectDocument& saved :
             ProjectFile::Read(QFile::encodeName(path).toStdString())) {
            windows.push_back(
                std::make_unique<TMDIMainChild>(frame_, QString::fromStdString(saved.Caption)));
            ProjectKeeper::Restore(*windows.back(), saved);
        }
    } catch (const std::exception& error) {
        dialogs_.ShowError(&frame_, OpenErrorText + u'\n' + QString::fromUtf8(error.what()));
        return;
    }
    projectPath_ = path;
    for (std::unique_ptr<TMDIMainChild>& window : windows) {
        TMDIMainChild* document = frame_.ShowDocumentWindow(window.release());
        frame_.ShowRunButtons(true);
        document->Driver().ShowPlotWindow();
    }
    // Once the frame has laid the new windows out.
    QTimer::singleShot(0, &frame_, &TMainForm::TileMenuClick);
}

} // namespace orvanel
