#include "window/DocumentSaver.h"

#include "document/table/DocumentFile.h"
#include "window/MDIMainChild.h"
#include "window/UserDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

namespace orvanel {

namespace {

QString WrittenFileName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("csv") || suffix == QStringLiteral("tsv")) {
        return path;
    }
    return QFile::decodeName(QByteArray::fromStdString(
        DocumentFile::SavedFileName(QFile::encodeName(path).toStdString())));
}

} // namespace

DocumentSaver::DocumentSaver(UserDialogs& dialogs, QWidget* parent)
    : dialogs_(dialogs), parent_(parent) {}

bool DocumentSaver::Save(TMDIMainChild& document) {
    if (document.windowTitle().startsWith(QStringLiteral("New")) ||
        document.DocumentPath().isEmpty()) {
        return SaveAs(document, document.windowTitle());
    }
    return MayReplaceWrittenFile(document.DocumentPath()) &&
           Write(document, document.DocumentPath());
}

bool DocumentSaver::SaveAs(TMDIMainChild& document, const QString& preset) {
    const QString path = ChoosePath(preset);
    return !path.isEmpty() && Write(document, path);
}

QString DocumentSaver::ChoosePath(const QString& preset) {
    const QString path = dialogs_.SaveFileName(parent_, preset);
    // The dialog asked before replacing the file it was given, not the ".txt" file written.
    if (path.isEmpty() || !MayReplaceWrittenFile(path)) {
        return {};
    }
    return path;
}

bool DocumentSaver::Write(TMDIMainChild& document, const QString& path) {
    try {
        document.SaveDocument(path);
    } catch (const std::exception& error) {
        dialogs_.ShowError(parent_, QString::fromStdString(error.what()));
        return false;
    }
    ownFiles_.insert(WrittenFileName(path));
    return true;
}

bool DocumentSaver::MayReplaceWrittenFile(const QString& path) {
    const QString written = WrittenFileName(path);
    if (written == path || ownFiles_.contains(written) || !QFileInfo::exists(written)) {
        return true;
    }
    if (!dialogs_.AskReplaceFile(parent_, written)) {
        return false;
    }
    ownFiles_.insert(written);
    return true;
}

} // namespace orvanel
