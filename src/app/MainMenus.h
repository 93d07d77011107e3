// The frame's File, Window and Help menus, its tool bar and the menu bar that merges them.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QToolBar;

namespace orvanel {

class ReopenList;
class TMainForm;

// The actions and menus are the frame's children; the tool bar and the tests find the actions
// by their object names (NewMenu, ShowPlotMenu, EjecutarToolButton...).
class MainMenus {
public:
    // Builds the menus and the tool bar of `frame`, which must outlive them. Each command
    // calls `beforeCommand` and then its slot of the frame. The run buttons start hidden.
    MainMenus(TMainForm& frame, std::function<void()> beforeCommand);
    ~MainMenus();

    // Fills the menu bar: File, the active child's own menus, Window and Help.
    void RebuildMenuBar();
    // Fills the Window menu: its commands, with Show Plot enabled where one of the active
    // child's documents can show a plot, then an entry per open child window, the active one
    // checked.
    void RebuildWindowMenu();
    // Puts `path` first under File > Reopen and shows that menu.
    void AddRecentFile(const QString& path);
    // Shows or hides the Execute and Options tool buttons.
    void ShowRunButtons(bool visible);
    // Shows the stop picture on the Execute button for the running image index, the run
    // picture for any other.
    void ShowExecuteImage(int index);

private:
    QAction* AddAction(QMenu* menu, const QString& text, const QString& icon,
                       void (TMainForm::*command)(), const QKeySequence& shortcut = {});
    // The same with an object name, by which the tool bar and the tests find the action.
    QAction* AddNamedAction(QMenu* menu, const QString& name, const QString& text,
                            const QString& icon, void (TMainForm::*command)(),
                            const QKeySequence& shortcut = {});
    void CreateMenus();
    void CreateToolBar();

    TMainForm& frame_;
    std::function<void()> beforeCommand_;
    QMenu* fileMenu_ = nullptr;
    QMenu* reopenMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QList<QAction*> windowCommands_;
    QAction* showPlotAction_ = nullptr;
    std::unique_ptr<ReopenList> reopenList_;
    QToolBar* toolBar_ = nullptr;
    QAction* ejecutarAction_ = nullptr;
    QAction* opcionesAction_ = nullptr;
};

} // namespace orvanel
