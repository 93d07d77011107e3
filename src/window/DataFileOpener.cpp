#include "window/DataFileOpener.h"

#include "document/formats/DelimitedFormat.h"
#include "document/formats/MatTable.h"
#include "document/project/Document.h"
#include "document/table/DocumentFile.h"
#include "window/ImportDialog.h"
#include "window/UserDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace orvanel {

namespace {

// The start of a file, enough for its first lines to tell its format.
constexpr qint64 FormatProbeBytes = 64 * 1024;

// The program's own files open exactly as they always did; only the first lines are read to
// tell them from others.
bool IsOwnFormat(const QString& path) {
    if (DataFileOpener::HasExtension(path, {QStringLiteral("csv"), QStringLiteral("tsv")})) {
        return false;
    }
    QFile file(path);
    const std::string start =
        file.open(QIODevice::ReadOnly) ? file.read(FormatProbeBytes).toStdString() : std::string();
    const std::size_t lastLine = start.find_last_of("\r\n");
    const std::string_view lines = start.size() < FormatProbeBytes || lastLine == std::string::npos
                                       ? std::string_view(start)
                                       : std::string_view(start).substr(0, lastLine);
    return !DataFileOpener::LooksDelimited(lines);
}

bool Import(UserDialogs& dialogs, ImportDialog& dialog, const QString& path, Document& document,
            char decimalSeparator) {
    if (!dialogs.RunImport(dialog)) {
        return false;
    }
    document.LoadImported(dialog.Data(), dialog.Source(), DataFileOpener::LocalPath(path),
                          decimalSeparator);
    return true;
}

} // namespace

bool DataFileOpener::Open(UserDialogs& dialogs, QWidget* parent, const QString& path,
                          Document& document, char decimalSeparator) {
    const QString title = QFileInfo(path).fileName();
    if (HasExtension(path, {QStringLiteral("mat")})) {
        ImportDialog dialog(MatTable::Read(LocalPath(path)), title, parent);
        return Import(dialogs, dialog, path, document, decimalSeparator);
    }
    if (IsOwnFormat(path)) {
        document.LoadDocument(LocalPath(path));
        return true;
    }
    ImportDialog dialog(DocumentFile::ReadText(LocalPath(path)), title, parent);
    return Import(dialogs, dialog, path, document, decimalSeparator);
}

bool DataFileOpener::LooksDelimited(std::string_view text) {
    const DelimitedFormat format = DelimitedFormat::Detect(text);
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    const bool split =
        format.Separator == DelimitedFormat::Delimiter::Spaces
            ? firstLine.find(' ') != std::string_view::npos
            : firstLine.find(DelimitedFormat::DelimiterCharacter(format.Separator)) !=
                  std::string_view::npos;
    // TAB without a header is the program's own layout, whatever decimal mark the user's locale
    // wrote into it.
    return split && (format.Header || format.Separator != DelimitedFormat::Delimiter::Tab);
}

bool DataFileOpener::HasExtension(const QString& path, const QStringList& extensions) {
    return extensions.contains(QFileInfo(path).suffix().toLower());
}

std::string DataFileOpener::LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace orvanel
