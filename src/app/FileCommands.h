// The frame's commands on files: open, reopen, save, save as, import a model, save and open
// a project.
#pragma once

#include "window/DocumentSaver.h"

#include <QString>

namespace orvanel {

class MainMenus;
class TMainForm;
class TMDIMainChild;
class UserDialogs;

// The commands that act on the active child do nothing when there is none; on a plot window
// they act on the documents of its caption. Errors are shown, never thrown.
class FileCommands {
public:
    // Commands on the windows of `frame` that ask through `dialogs` and list the documents
    // opened under `menus`' File > Reopen; all three must outlive it.
    FileCommands(TMainForm& frame, UserDialogs& dialogs, MainMenus& menus);

    // Opens a file the user chooses, and lists it under File > Reopen.
    void OpenChosenFile();
    // Opens a project file (by its extension) as all its documents, or any other file as a
    // document in a window of its own, listed under File > Reopen where `addToReopenList`. A
    // file that does not load or is not in the program's format is refused with a message and
    // leaves no window.
    void OpenDocument(const QString& path, bool addToReopenList);
    // Saves the active child's documents; a new document is saved under a chosen name.
    void SaveActive();
    // Saves the active child's documents under a chosen name.
    void SaveActiveAs();
    // The Save command for one document; true only when the table was written.
    bool SaveDocument(TMDIMainChild& document);
    // Reads a model file into the active child's documents' models.
    void ImportModel();
    // Writes every open document with its kept models to a chosen project file.
    void SaveProjectAs();
    // Writes the project to the file last saved or opened, or to a chosen one; true only when
    // it was written.
    bool SaveProject();

private:
    // Every document of the project opens, or none: a failure names the file and the field.
    void OpenProject(const QString& path);
    // Where the open file's first row is not numbers: the message to refuse it with, naming
    // the program's format; empty for a file in the format.
    QString ForeignFormatMessage(const TMDIMainChild& document) const;

    TMainForm& frame_;
    UserDialogs& dialogs_;
    MainMenus& menus_;
    DocumentSaver saver_;
    QString projectPath_;
};

} // namespace orvanel
