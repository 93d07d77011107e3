// The frame's saving rules: choosing the path, asking before a file is replaced, writing.
#pragma once

#include <QSet>
#include <QString>

class QWidget;

namespace orvanel {

class TMDIMainChild;
class UserDialogs;

// Saving under a path writes the ".txt" file of its name ("data.dat" writes data.txt). A file
// this saver wrote, or was allowed to replace, is written again without asking.
class DocumentSaver {
public:
    // A saver that asks and reports through `dialogs` over `parent`; both must outlive it.
    DocumentSaver(UserDialogs& dialogs, QWidget* parent);

    // The Save command for one document: a new or never saved document is saved as its
    // caption; true only when the table was written.
    bool Save(TMDIMainChild& document);
    // The save dialog's path; empty when the user cancelled it or would not replace the file.
    QString ChoosePath(const QString& preset);
    // Writes `document` under `path`, showing the error when it cannot; true when written.
    bool Write(TMDIMainChild& document, const QString& path);

private:
    bool SaveAs(TMDIMainChild& document, const QString& preset);
    // An existing written file of another name than `path` is replaced only when the user
    // agrees, once.
    bool MayReplaceWrittenFile(const QString& path);

    UserDialogs& dialogs_;
    QWidget* parent_;
    QSet<QString> ownFiles_;
};

} // namespace orvanel
