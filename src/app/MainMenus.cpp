#include "app/MainMenus.h"

#include "app/MainForm.h"
#include "app/ReopenList.h"
#include "window/ChildMenus.h"
#include "window/Icons.h"
#include "window/MDIMainChild.h"
#include "window/RunDriver.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>
#include <utility>

namespace orvanel {

MainMenus::MainMenus(TMainForm& frame, std::function<void()> beforeCommand)
    : frame_(frame), beforeCommand_(std::move(beforeCommand)) {
    CreateMenus();
    CreateToolBar();
}

MainMenus::~MainMenus() = default;

QAction* MainMenus::AddAction(QMenu* menu, const QString& text, const QString& icon,
                              void (TMainForm::*command)(), const QKeySequence& shortcut) {
    auto* action = new QAction(Icons::Load(icon), text, &frame_);
    action->setShortcut(shortcut);
    QObject::connect(action, &QAction::triggered, &frame_, [this] { beforeCommand_(); });
    QObject::connect(action, &QAction::triggered, &frame_, command);
    if (menu != nullptr) {
        menu->addAction(action);
    }
    return action;
}

QAction* MainMenus::AddNamedAction(QMenu* menu, const QString& name, const QString& text,
                                   const QString& icon, void (TMainForm::*command)(),
                                   const QKeySequence& shortcut) {
    QAction* action = AddAction(menu, text, icon, command, shortcut);
    action->setObjectName(name);
    return action;
}

void MainMenus::CreateMenus() {
    fileMenu_ = new QMenu(QStringLiteral("&File"), &frame_);
    AddNamedAction(fileMenu_, QStringLiteral("NewMenu"), QStringLiteral("&New"),
                   QStringLiteral("new"), &TMainForm::NewMenuClick,
                   QKeySequence(Qt::CTRL | Qt::Key_N));
    AddNamedAction(fileMenu_, QStringLiteral("OpenMenu"), QStringLiteral("&Open"),
                   QStringLiteral("open"), &TMainForm::OpenMenuClick,
                   QKeySequence(Qt::CTRL | Qt::Key_O));
    reopenMenu_ =
        fileMenu_->addMenu(Icons::Load(QStringLiteral("open")), QStringLiteral("&Reopen"));
    reopenMenu_->menuAction()->setObjectName(QStringLiteral("ReopenMenu"));
    reopenMenu_->menuAction()->setVisible(false);
    reopenList_ = std::make_unique<ReopenList>(*reopenMenu_);
    QObject::connect(reopenMenu_, &QMenu::triggered, &frame_, &TMainForm::ReopenClick);
    fileMenu_->addSeparator();
    AddNamedAction(fileMenu_, QStringLiteral("SaveMenu"), QStringLiteral("&Save"),
                   QStringLiteral("save"), &TMainForm::SaveMenuClick,
                   QKeySequence(Qt::CTRL | Qt::Key_S));
    AddAction(fileMenu_, QStringLiteral("Save &As"), QStringLiteral("save"),
              &TMainForm::SaveAsMenuClick);
    AddAction(fileMenu_, QStringLiteral("&Close"), QStringLiteral("closeall"),
              &TMainForm::CloseMenuClick);
    fileMenu_->addSeparator();
    // Ctrl+P always prints; the documents' Paste answers Ctrl+V, so the two never collide.
    AddNamedAction(fileMenu_, QStringLiteral("PrintMenu"), QStringLiteral("&Print"),
                   QStringLiteral("print"), &TMainForm::PrintMenuClick,
                   QKeySequence(Qt::CTRL | Qt::Key_P));
    AddNamedAction(fileMenu_, QStringLiteral("ExportChartMenu"), QStringLiteral("Export &Chart..."),
                   QStringLiteral("save"), &TMainForm::ExportChartMenuClick);
    AddNamedAction(fileMenu_, QStringLiteral("ExportModelMenu"), QStringLiteral("Export &Model..."),
                   QStringLiteral("save"), &TMainForm::ExportModelMenuClick);
    AddNamedAction(fileMenu_, QStringLiteral("ImportModelMenu"), QStringLiteral("&Import Model..."),
                   QStringLiteral("open"), &TMainForm::ImportModelMenuClick);
    AddNamedAction(fileMenu_, QStringLiteral("SaveProjectMenu"), QStringLiteral("Save Pro&ject..."),
                   QStringLiteral("save"), &TMainForm::SaveProjectMenuClick);
    fileMenu_->addSeparator();
    AddAction(fileMenu_, QStringLiteral("&Exit"), QStringLiteral("exit"),
              &TMainForm::ExitMenuClick);

    windowMenu_ = new QMenu(QStringLiteral("&Window"), &frame_);
    windowCommands_ = {
        AddAction(nullptr, QStringLiteral("&Cascade"), QStringLiteral("cascade"),
                  &TMainForm::CascadeMenuClick),
        AddAction(nullptr, QStringLiteral("&Tile"), QStringLiteral("tile"),
                  &TMainForm::TileMenuClick),
        AddAction(nullptr, QStringLiteral("&Arrange All"), QStringLiteral("arrange"),
                  &TMainForm::ArrangeAllMenuClick),
        nullptr,
        AddAction(nullptr, QStringLiteral("Minimi&ze All"), QStringLiteral("minimize"),
                  &TMainForm::MinimizeAllMenuClick),
        AddAction(nullptr, QStringLiteral("C&lose All"), QStringLiteral("closeall"),
                  &TMainForm::CloseAllMenuClick),
        nullptr,
        showPlotAction_ =
            AddNamedAction(nullptr, QStringLiteral("ShowPlotMenu"), QStringLiteral("Show &Plot"),
                           QStringLiteral("tile"), &TMainForm::ShowPlotMenuClick),
    };
    QObject::connect(windowMenu_, &QMenu::aboutToShow, &frame_, [this] { RebuildWindowMenu(); });
    RebuildWindowMenu();

    helpMenu_ = new QMenu(QStringLiteral("&Help"), &frame_);
    AddAction(helpMenu_, QStringLiteral("&About"), QStringLiteral("about"),
              &TMainForm::AboutMenuClick);
    AddAction(helpMenu_, QStringLiteral("Help Contents"), QStringLiteral("help"),
              &TMainForm::HelpContentsMenuClick);
}

void MainMenus::CreateToolBar() {
    toolBar_ = frame_.addToolBar(QStringLiteral("Tools"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(16, 16));
    const auto addButton = [this](const QString& name, const QString& hint, const QString& icon,
                                  void (TMainForm::*command)()) {
        QAction* action = AddNamedAction(nullptr, name, QString(), icon, command);
        action->setToolTip(hint);
        toolBar_->addAction(action);
        toolBar_->widgetForAction(action)->setObjectName(name);
        return action;
    };
    toolBar_->addAction(frame_.findChild<QAction*>(QStringLiteral("NewMenu")));
    toolBar_->addAction(frame_.findChild<QAction*>(QStringLiteral("OpenMenu")));
    toolBar_->addAction(frame_.findChild<QAction*>(QStringLiteral("SaveMenu")));
    for (QAction* action : toolBar_->actions()) {
        action->setToolTip(action->text().remove(u'&'));
    }
    toolBar_->addSeparator();
    toolBar_->addAction(frame_.findChild<QAction*>(QStringLiteral("PrintMenu")));
    toolBar_->addSeparator();
    addButton(QStringLiteral("CopyToolButton"), QStringLiteral("Copy"), QStringLiteral("copy"),
              &TMainForm::CopyToolButtonClick);
    addButton(QStringLiteral("PasteToolButton"), QStringLiteral("Paste"), QStringLiteral("paste"),
              &TMainForm::PasteToolButtonClick);
    toolBar_->addSeparator();
    ejecutarAction_ = addButton(QStringLiteral("EjecutarToolButton"), QString(),
                                QStringLiteral("run"), &TMainForm::EjecutarToolButtonClick);
    opcionesAction_ = addButton(QStringLiteral("OpcionesToolButton"), QString(),
                                QStringLiteral("options"), &TMainForm::OpcionesToolButtonClick);
    ShowRunButtons(false);
}

void MainMenus::RebuildMenuBar() {
    frame_.menuBar()->clear();
    frame_.menuBar()->addMenu(fileMenu_);
    if (QMdiSubWindow* active = frame_.MdiArea()->currentSubWindow()) {
        if (const auto* child = dynamic_cast<const ChildMenus*>(active->widget())) {
            for (QMenu* menu : child->MergedMenus()) {
                frame_.menuBar()->addMenu(menu);
            }
        }
    }
    frame_.menuBar()->addMenu(windowMenu_);
    frame_.menuBar()->addMenu(helpMenu_);
}

void MainMenus::RebuildWindowMenu() {
    windowMenu_->clear();
    const QList<TMDIMainChild*> documents = frame_.DocumentsOfActiveChild();
    showPlotAction_->setEnabled(std::any_of(documents.begin(), documents.end(),
                                            [](auto* d) { return d->Driver().CanShowPlot(); }));
    for (QAction* command : std::as_const(windowCommands_)) {
        if (command == nullptr) {
            windowMenu_->addSeparator();
        } else {
            windowMenu_->addAction(command);
        }
    }
    const QList<QMdiSubWindow*> windows = frame_.ChildWindows();
    if (!windows.isEmpty()) {
        windowMenu_->addSeparator();
    }
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        QAction* entry = windowMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(TMainForm::CaptionOf(window)), window,
            [area = frame_.MdiArea(), window] { area->setActiveSubWindow(window); });
        entry->setCheckable(true);
        entry->setChecked(window == frame_.MdiArea()->currentSubWindow());
    }
}

void MainMenus::AddRecentFile(const QString& path) {
    reopenMenu_->menuAction()->setVisible(true);
    reopenList_->Push(path);
}

void MainMenus::ShowRunButtons(bool visible) {
    ejecutarAction_->setVisible(visible);
    opcionesAction_->setVisible(visible);
}

void MainMenus::ShowExecuteImage(int index) {
    ejecutarAction_->setIcon(Icons::Load(index == TMainForm::RunningImage ? QStringLiteral("stop")
                                                                          : QStringLiteral("run")));
}

} // namespace orvanel
