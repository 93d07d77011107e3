// Reads a data file into a document the way File > Open does, for every command that takes one.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

class QWidget;

namespace orvanel {

class Document;
class UserDialogs;

class DataFileOpener {
public:
    // Reads the file at `path` into `document`: the program's own files as they always were
    // read; a .mat file and delimited text (a .csv or .tsv, or a first line with a header or
    // another delimiter than TAB) through the import dialog over `parent`, the grid's cells
    // getting `decimalSeparator`. False when the user cancelled the import. Throws as the
    // readers do.
    static bool Open(UserDialogs& dialogs, QWidget* parent, const QString& path, Document& document,
                     char decimalSeparator);

    // Whether a text is a delimited table in another layout than the program's own: a first
    // line split by its delimiter, with a header or another delimiter than TAB.
    static bool LooksDelimited(std::string_view text);

    // The path as the system names the file, for the core's readers and writers.
    static std::string LocalPath(const QString& path);
    // Whether the file name ends in one of `extensions` (lower case, without the dot), in any
    // case.
    static bool HasExtension(const QString& path, const QStringList& extensions);
};

} // namespace orvanel
