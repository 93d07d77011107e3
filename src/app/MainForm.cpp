#include "app/MainForm.h"

#include "app/AboutBox.h"
#include "app/HelpWindow.h"
#include "app/PlotChild.h"
#include "app/Propiedades.h"
#include "app/ReopenList.h"
#include "document/ProjectFile.h"
#include "model/NumberText.h"
#include "window/ChildMenus.h"
#include "window/Icons.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"
#include "window/ProjectKeeper.h"
#include "window/QtUserDialogs.h"
#include "window/RunDriver.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QSet>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <exception>
#include <utility>

namespace orvanel {

namespace {

const QString ReadyText = QStringLiteral("Ready");
const QString PlotSuffix = QStringLiteral(" - Plot");
const QString OpenErrorText = QStringLiteral("Error opening the file. Check its format.");
const QString ForeignFormatText = QStringLiteral(
    "%1 is not in the program's format, which it cannot read yet: one line per sample, the "
    "inputs' numbers and then the output's, separated by TABs, with \"%2\" as the decimal "
    "mark and no header line. Row 1, column %3 holds \"%4\".");
const QString NewCaption = QStringLiteral("New%1");
// The smallest document window, in text lines, that still shows a few rows of its table.
constexpr int DocumentMinimumWidthLines = 20;
constexpr int DocumentMinimumHeightLines = 10;
// The share of the area a cascaded window takes when the area is large enough.
constexpr int CascadeShareNumerator = 2;
constexpr int CascadeShareDenominator = 3;

QString CaptionOf(const QMdiSubWindow* window) {
    return window->widget() != nullptr ? window->widget()->windowTitle() : window->windowTitle();
}

} // namespace

TMainForm::TMainForm(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtUserDialogs>()),
      saver_(*dialogs_, this) {
    setWindowTitle(QStringLiteral("Orvanel"));
    setGeometry(255, 70, 534, 479);

    mdiArea_ = new QMdiArea(this);
    // Windows kept at their minimum size may reach past the area: scroll bars then reach them.
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setBackground(palette().color(QPalette::Dark));
    mdiArea_->viewport()->setMouseTracking(true);
    mdiArea_->viewport()->installEventFilter(this);
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::RebuildMenuBar);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::ShowActiveState);

    CreateMenus();
    CreateToolBar();
    CreateStatusArea();
    RebuildMenuBar();
}

TMainForm::~TMainForm() {
    // The area announces its children's deactivation while the frame is half destroyed.
    disconnect(mdiArea_, nullptr, this, nullptr);
}

QAction* TMainForm::AddAction(QMenu* menu, const QString& text, const QString& icon,
                              void (TMainForm::*command)(), const QKeySequence& shortcut) {
    auto* action = new QAction(Icons::Load(icon), text, this);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this] { statusHeld_ = false; });
    connect(action, &QAction::triggered, this, command);
    if (menu != nullptr) {
        menu->addAction(action);
    }
    return action;
}

QAction* TMainForm::AddNamedAction(QMenu* menu, const QString& name, const QString& text,
                                   const QString& icon, void (TMainForm::*command)(),
                                   const QKeySequence& shortcut) {
    QAction* action = AddAction(menu, text, icon, command, shortcut);
    action->setObjectName(name);
    return action;
}

void TMainForm::CreateMenus() {
    fileMenu_ = new QMenu(QStringLiteral("&File"), this);
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
    connect(reopenMenu_, &QMenu::triggered, this, &TMainForm::ReopenClick);
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

    windowMenu_ = new QMenu(QStringLiteral("&Window"), this);
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
    connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::RebuildWindowMenu);
    RebuildWindowMenu();

    helpMenu_ = new QMenu(QStringLiteral("&Help"), this);
    AddAction(helpMenu_, QStringLiteral("&About"), QStringLiteral("about"),
              &TMainForm::AboutMenuClick);
    AddAction(helpMenu_, QStringLiteral("Help Contents"), QStringLiteral("help"),
              &TMainForm::HelpContentsMenuClick);
}

void TMainForm::CreateToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Tools"));
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
    toolBar_->addAction(findChild<QAction*>(QStringLiteral("NewMenu")));
    toolBar_->addAction(findChild<QAction*>(QStringLiteral("OpenMenu")));
    toolBar_->addAction(findChild<QAction*>(QStringLiteral("SaveMenu")));
    for (QAction* action : toolBar_->actions()) {
        action->setToolTip(action->text().remove(u'&'));
    }
    toolBar_->addSeparator();
    toolBar_->addAction(findChild<QAction*>(QStringLiteral("PrintMenu")));
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

void TMainForm::CreateStatusArea() {
    statusBar()->setFixedHeight(26);
    statusBar()->setSizeGripEnabled(false);
    statusPanel_ = new QLabel(ReadyText, this);
    statusPanel_->setObjectName(QStringLiteral("MainStatusPanel"));
    // Where a stopped run ended, with its fit, is a long line: the panel takes the free width.
    statusPanel_->setMinimumWidth(500);
    statusPanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusPanel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusBar()->addWidget(statusPanel_, 1);

    auto* gaugePanel = new QFrame(this);
    gaugePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    gaugePanel->setAutoFillBackground(true);
    QPalette sky = gaugePanel->palette();
    sky.setColor(QPalette::Window, QColor(0x87, 0xce, 0xeb));
    gaugePanel->setPalette(sky);
    progressGauge_ = new QProgressBar(gaugePanel);
    progressGauge_->setObjectName(QStringLiteral("ProgressGauge"));
    progressGauge_->setRange(0, 100);
    progressGauge_->setValue(0);
    progressGauge_->setFormat(QStringLiteral("%p%"));
    progressGauge_->setGeometry(2, 2, 196, 18);
    gaugePanel->setFixedSize(200, 22);
    statusBar()->addPermanentWidget(gaugePanel);
}

void TMainForm::RebuildMenuBar() {
    menuBar()->clear();
    menuBar()->addMenu(fileMenu_);
    if (QMdiSubWindow* active = mdiArea_->currentSubWindow()) {
        if (const auto* child = dynamic_cast<const ChildMenus*>(active->widget())) {
            for (QMenu* menu : child->MergedMenus()) {
                menuBar()->addMenu(menu);
            }
        }
    }
    menuBar()->addMenu(windowMenu_);
    menuBar()->addMenu(helpMenu_);
}

void TMainForm::RebuildWindowMenu() {
    windowMenu_->clear();
    const QList<TMDIMainChild*> documents = DocumentsOfActiveChild();
    showPlotAction_->setEnabled(std::any_of(documents.begin(), documents.end(),
                                            [](auto* d) { return d->Driver().CanShowPlot(); }));
    for (QAction* command : std::as_const(windowCommands_)) {
        if (command == nullptr) {
            windowMenu_->addSeparator();
        } else {
            windowMenu_->addAction(command);
        }
    }
    const QList<QMdiSubWindow*> windows = ChildWindows();
    if (!windows.isEmpty()) {
        windowMenu_->addSeparator();
    }
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        QAction* entry = windowMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(CaptionOf(window)), window,
            [this, window] { mdiArea_->setActiveSubWindow(window); });
        entry->setCheckable(true);
        entry->setChecked(window == mdiArea_->currentSubWindow());
    }
}

QList<QMdiSubWindow*> TMainForm::ChildWindows() const {
    QList<QMdiSubWindow*> open;
    // A closed child lingers in the area's list until it is deleted.
    for (QMdiSubWindow* window : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isHidden()) {
            open.append(window);
        }
    }
    return open;
}

TMDIMainChild* TMainForm::ActiveDocument() const {
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    return active != nullptr ? qobject_cast<TMDIMainChild*>(active->widget()) : nullptr;
}

QList<TMDIMainChild*> TMainForm::DocumentsOfActiveChild() const {
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    if (active == nullptr) {
        return {};
    }
    if (auto* document = qobject_cast<TMDIMainChild*>(active->widget())) {
        return {document};
    }
    return DocumentsOfPlot(CaptionOf(active));
}

TPlotMDIChild* TMainForm::ActivePlotWindow() const {
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    return active != nullptr ? qobject_cast<TPlotMDIChild*>(active->widget()) : nullptr;
}

QList<TMDIMainChild*> TMainForm::Documents() const {
    QList<TMDIMainChild*> documents;
    for (const QMdiSubWindow* window : ChildWindows()) {
        if (auto* document = qobject_cast<TMDIMainChild*>(window->widget())) {
            documents.append(document);
        }
    }
    return documents;
}

RunPlot* TMainForm::FindPlotWindow(const QString& caption) {
    RunPlot* found = nullptr;
    for (const QMdiSubWindow* window : ChildWindows()) {
        auto* plot = qobject_cast<TPlotMDIChild*>(window->widget());
        if (plot != nullptr && plot->windowTitle() == caption) {
            found = plot;
        }
    }
    return found;
}

RunPlot* TMainForm::CreatePlotWindow() {
    auto* plot = new TPlotMDIChild(*this);
    QMdiSubWindow* window = AddChildWindow(plot);
    ContinueExitWhenClosed(window);
    connect(plot, &QWidget::windowTitleChanged, this, &TMainForm::RebuildWindowMenu);
    // Wide enough that the charts' tick labels stand apart: two thirds of the area, within it.
    const QSize area = mdiArea_->contentsRect().size();
    window->resize((area * 2 / 3).expandedTo(window->sizeHint()).boundedTo(area));
    window->show();
    return plot;
}

QList<TMDIMainChild*> TMainForm::DocumentsOfPlot(const QString& plotCaption) const {
    QList<TMDIMainChild*> documents;
    const QList<QMdiSubWindow*> windows = ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        auto* document = qobject_cast<TMDIMainChild*>((*it)->widget());
        if (document != nullptr && document->windowTitle() + PlotSuffix == plotCaption) {
            documents.append(document);
        }
    }
    return documents;
}

QMdiSubWindow* TMainForm::AddChildWindow(QWidget* child) {
    QMdiSubWindow* window = mdiArea_->addSubWindow(child);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The area does not hold its windows to their contents' minimum: Tile and Cascade would
    // otherwise squeeze a table to no rows and a chart to no height.
    window->setMinimumSize(window->minimumSizeHint());
    return window;
}

// The frame's title carries the mark of unsaved changes; the document's own title stays the
// caption its plot window and the menus find it by. The frame takes the document's title on
// every change of it, before this adds the mark again.
void TMainForm::MarkUnsavedChanges(QMdiSubWindow* window, TMDIMainChild* document) {
    const auto markable = [window](const QString& caption) {
        window->setWindowTitle(caption + QStringLiteral("[*]"));
    };
    markable(document->windowTitle());
    connect(document, &QWidget::windowTitleChanged, window, markable);
    connect(document, &TMDIMainChild::ModifiedChanged, window, &QWidget::setWindowModified);
    window->setWindowModified(document->Doc().Modified());
}

TMDIMainChild* TMainForm::CreateDocumentWindow(const QString& caption) {
    return ShowDocumentWindow(new TMDIMainChild(*this, caption));
}

TMDIMainChild* TMainForm::ShowDocumentWindow(TMDIMainChild* document) {
    const int line = document->fontMetrics().height();
    document->setMinimumSize(DocumentMinimumWidthLines * line, DocumentMinimumHeightLines * line);
    QMdiSubWindow* window = AddChildWindow(document);
    ContinueExitWhenClosed(window);
    connect(document, &TMDIMainChild::Closed, this, &TMainForm::DocumentWindowClosed);
    connect(document, &QWidget::windowTitleChanged, this, &TMainForm::RebuildWindowMenu);
    MarkUnsavedChanges(window, document);
    connect(document, &TMDIMainChild::OptionsRequested, this, [this, document] {
        TPropiedades::ValidationChoice validation;
        const QList<TMDIMainChild*> open = Documents();
        for (TMDIMainChild* other : open) {
            validation.Open.push_back(
                {QString::fromStdString(other->Doc().Caption()), &other->Doc()});
        }
        TMDIMainChild* chosen = document->Driver().ValidationDocument();
        validation.Chosen = chosen != nullptr ? &chosen->Doc() : nullptr;
        TPropiedades::EditOptions(document->Doc(), document->Engine(), *dialogs_, document,
                                  document->IsRunning(), &validation);
        // The window of the chosen table, looked up among those still open.
        chosen = nullptr;
        for (TMDIMainChild* other : Documents()) {
            if (&other->Doc() == validation.Chosen) {
                chosen = other;
            }
        }
        document->Driver().SetValidationDocument(chosen);
    });
    window->showMaximized();
    mdiArea_->setActiveSubWindow(window);
    document->setFocus();
    return document;
}

void TMainForm::DocumentWindowClosed() {
    // The closing document's window is still shown while its close is being accepted.
    const QObject* closing = sender();
    for (const QMdiSubWindow* window : ChildWindows()) {
        if (window->widget() != closing) {
            return;
        }
    }
    ShowRunButtons(false);
}

void TMainForm::NewMenuClick() {
    // The lowest number no window's caption uses, so that a new document never takes the plot
    // window of an old one of its name.
    QSet<QString> captions;
    for (const QMdiSubWindow* window : ChildWindows()) {
        captions.insert(CaptionOf(window));
    }
    int number = 1;
    while (captions.contains(NewCaption.arg(number)) ||
           captions.contains(NewCaption.arg(number) + PlotSuffix)) {
        ++number;
    }
    CreateDocumentWindow(NewCaption.arg(number));
    ShowRunButtons(true);
}

void TMainForm::OpenMenuClick() {
    const QString path = dialogs_->OpenFileName(this);
    if (!path.isEmpty()) {
        OpenDocument(path, true);
    }
}

void TMainForm::OpenDocuments(const QStringList& paths) {
    for (const QString& path : paths) {
        OpenDocument(QFileInfo(path).absoluteFilePath(), true);
    }
}

void TMainForm::OpenDocument(const QString& path, bool addToReopenList) {
    if (path.endsWith(QString::fromLatin1(ProjectFile::Extension))) {
        OpenProject(path);
        return;
    }
    // The window joins the area only once its file has loaded: a failed open leaves nothing.
    auto document = std::make_unique<TMDIMainChild>(*this, path.toLower());
    try {
        if (!document->OpenFile(path)) {
            return;
        }
    } catch (const std::exception& error) {
        // The reason tells a missing file, a folder or a denied one from a bad format.
        dialogs_->ShowError(this, OpenErrorText + u'\n' + QString::fromStdString(error.what()));
        return;
    }
    // A comma- or semicolon-separated file would load as one column of text, refused only at
    // Execute: it is refused now, with the format the program reads.
    if (const QString foreign = ForeignFormatMessage(*document); !foreign.isEmpty()) {
        dialogs_->ShowError(this, foreign);
        return;
    }
    ShowDocumentWindow(document.release());
    ShowRunButtons(true);
    if (addToReopenList) {
        reopenMenu_->menuAction()->setVisible(true);
        reopenList_->Push(path);
    }
}

QString TMainForm::ForeignFormatMessage(const TMDIMainChild& document) const {
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

void TMainForm::ReopenClick(QAction* entry) {
    OpenDocument(ReopenList::PathOf(*entry), false);
}

bool TMainForm::SaveDocumentWindow(TMDIMainChild& document) {
    return saver_.Save(document);
}

void TMainForm::SaveAsMenuClick() {
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    if (active == nullptr) {
        return;
    }
    const QString path = saver_.ChoosePath(CaptionOf(active));
    if (path.isEmpty()) {
        return;
    }
    for (TMDIMainChild* document : DocumentsOfActiveChild()) {
        saver_.Write(*document, path);
    }
}

void TMainForm::SaveMenuClick() {
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    if (active == nullptr) {
        return;
    }
    if (CaptionOf(active).startsWith(QStringLiteral("New"))) {
        SaveAsMenuClick();
        return;
    }
    for (TMDIMainChild* document : DocumentsOfActiveChild()) {
        SaveDocumentWindow(*document);
    }
}

void TMainForm::CloseMenuClick() {
    if (QMdiSubWindow* active = mdiArea_->currentSubWindow()) {
        active->close();
    } else {
        ShowRunButtons(false);
    }
}

void TMainForm::PrintMenuClick() {
    if (TMDIMainChild* document = ActiveDocument()) {
        document->PrintTable();
    } else if (TPlotMDIChild* plot = ActivePlotWindow()) {
        plot->PrintChartData();
    }
}

void TMainForm::ExportChartMenuClick() {
    if (TPlotMDIChild* plot = ActivePlotWindow()) {
        plot->ExportChart();
    }
}

void TMainForm::ExportModelMenuClick() {
    for (TMDIMainChild* document : DocumentsOfActiveChild()) {
        document->ExportModel();
    }
}

void TMainForm::ImportModelMenuClick() {
    const QList<TMDIMainChild*> documents = DocumentsOfActiveChild();
    if (documents.isEmpty()) {
        return;
    }
    const QString path = dialogs_->ModelToImport(this);
    for (TMDIMainChild* document : documents) {
        if (!path.isEmpty()) {
            document->Driver().ImportModel(path);
        }
    }
}

void TMainForm::SaveProjectMenuClick() {
    projectPath_.clear();
    SaveProject();
}

bool TMainForm::SaveProject() {
    const QList<TMDIMainChild*> documents = Documents();
    if (documents.isEmpty()) {
        return false;
    }
    QString path = projectPath_;
    if (path.isEmpty()) {
        path = dialogs_->ProjectFileName(this);
        if (path.isEmpty()) {
            return false;
        }
        if (!path.endsWith(QString::fromLatin1(ProjectFile::Extension))) {
            path += QString::fromLatin1(ProjectFile::Extension);
        }
    }
    const bool embed = dialogs_->AskEmbedData(this);
    try {
        ProjectKeeper::Save(QFile::encodeName(path).toStdString(), documents, embed);
    } catch (const std::exception& error) {
        dialogs_->ShowError(this, QString::fromUtf8(error.what()));
        return false;
    }
    projectPath_ = path;
    return true;
}

// Every document of the project opens, or none: a failure names the file and the field.
void TMainForm::OpenProject(const QString& path) {
    std::vector<std::unique_ptr<TMDIMainChild>> windows;
    try {
        for (const ProjectDocument& saved : ProjectFile::Read(QFile::encodeName(path).toStdString())) {
            windows.push_back(std::make_unique<TMDIMainChild>(*this, QString::fromStdString(saved.Caption)));
            ProjectKeeper::Restore(*windows.back(), saved);
        }
    } catch (const std::exception& error) {
        dialogs_->ShowError(this, OpenErrorText + u'\n' + QString::fromUtf8(error.what()));
        return;
    }
    projectPath_ = path;
    for (std::unique_ptr<TMDIMainChild>& window : windows) {
        TMDIMainChild* document = ShowDocumentWindow(window.release());
        ShowRunButtons(true);
        document->Driver().ShowPlotWindow();
    }
    // Once the frame has laid the new windows out.
    QTimer::singleShot(0, this, &TMainForm::TileMenuClick);
}

void TMainForm::CopyToolButtonClick() {
    if (TMDIMainChild* document = ActiveDocument()) {
        document->CopyTable();
    } else if (TPlotMDIChild* plot = ActivePlotWindow()) {
        plot->CopySelection();
    }
}

void TMainForm::PasteToolButtonClick() {
    if (TMDIMainChild* document = ActiveDocument()) {
        document->PasteTable();
    }
}

void TMainForm::OpcionesToolButtonClick() {
    for (TMDIMainChild* document : DocumentsOfActiveChild()) {
        document->OptionsAlgorithmMenuClick();
    }
}

void TMainForm::EjecutarToolButtonClick() {
    if (mdiArea_->currentSubWindow() == nullptr) {
        return;
    }
    // A click while the run yields asks it to stop; the button keeps its stop picture until
    // the run has ended, and a click meanwhile only asks again.
    if (TMDIMainChild::StopRuns(DocumentsOfActiveChild())) {
        return;
    }
    SetExecuteImageIndex(RunningImage);
    try {
        TMDIMainChild::ExecuteEach(DocumentsOfActiveChild());
    } catch (const std::exception& error) {
        dialogs_->ShowError(this, QString::fromStdString(error.what()));
    }
    SetExecuteImageIndex(ActiveChildRuns() ? RunningImage : IdleImage);
}

bool TMainForm::ActiveChildRuns() const {
    const QList<TMDIMainChild*> documents = DocumentsOfActiveChild();
    return std::any_of(documents.begin(), documents.end(),
                       [](const TMDIMainChild* document) { return document->IsRunning(); });
}

bool TMainForm::ShowsStateOf(const TMDIMainChild& document) const {
    const QList<TMDIMainChild*> documents = DocumentsOfActiveChild();
    return documents.isEmpty() || documents.contains(&document);
}

void TMainForm::ShowActiveState() {
    const QList<TMDIMainChild*> documents = DocumentsOfActiveChild();
    if (!documents.isEmpty()) {
        documents.first()->Driver().ShowState();
    } else if (mdiArea_->currentSubWindow() == nullptr) {
        SetStatusText(ReadyText);
        SetGauge(0, 100, 0);
        SetExecuteImageIndex(IdleImage);
    }
}

void TMainForm::ShowPlotMenuClick() {
    for (TMDIMainChild* document : DocumentsOfActiveChild()) {
        if (document->Driver().CanShowPlot()) {
            document->Driver().ShowPlotWindow();
            return;
        }
    }
}

QList<QMdiSubWindow*> TMainForm::ArrangedWindows() const {
    QList<QMdiSubWindow*> arranged;
    for (QMdiSubWindow* window : ChildWindows()) {
        if (!window->isMinimized()) {
            arranged.append(window);
        }
    }
    return arranged;
}

void TMainForm::CascadeMenuClick() {
    // Each window steps a title bar down and right from the one before, as large as the steps
    // leave room for but never below a usable size; the steps start again at the top left
    // where a window would reach past the area.
    const QList<QMdiSubWindow*> windows = ArrangedWindows();
    if (windows.isEmpty()) {
        return;
    }
    // The whole area: the windows will fit in it, so no scroll bar will take room.
    const QRect area(QPoint(0, 0), mdiArea_->contentsRect().size());
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first());
    const int steps = static_cast<int>(windows.size()) - 1;
    const QSize shared = (area.size() * CascadeShareNumerator / CascadeShareDenominator)
                             .expandedTo(area.size() - QSize(steps * step, steps * step));
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        const QSize size = shared.expandedTo(window->minimumSize());
        const int room = std::min(area.width() - size.width(), area.height() - size.height());
        const int offset = (i % (std::max(room, 0) / step + 1)) * step;
        window->showNormal();
        window->setGeometry(QRect(QPoint(offset, offset), size));
        window->raise();
    }
    mdiArea_->setActiveSubWindow(windows.last());
}

void TMainForm::TileMenuClick() {
    // Windows wide rather than tall suit tables and charts: one column of windows stacked one
    // above the other while each keeps its minimum height, more columns when not. No window
    // reaches past the area, where a scroll bar would hide its buttons and the run's plot.
    const QList<QMdiSubWindow*> tiled = ArrangedWindows();
    if (tiled.isEmpty()) {
        return;
    }
    for (int columns = 1; columns <= tiled.size(); ++columns) {
        if (TileInColumns(tiled, columns)) {
            return;
        }
    }
    // The active window stays in front of the cascade.
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    CascadeMenuClick();
    if (active != nullptr && tiled.contains(active)) {
        active->raise();
        mdiArea_->setActiveSubWindow(active);
    }
}

bool TMainForm::TileInColumns(const QList<QMdiSubWindow*>& windows, int columns) {
    // The whole area: the windows will fit in it, so no scroll bar will take room.
    const QSize area = mdiArea_->contentsRect().size();
    const auto count = static_cast<int>(windows.size());
    const int rows = (count + columns - 1) / columns;
    const QSize cell(area.width() / columns, area.height() / rows);
    for (const QMdiSubWindow* window : windows) {
        if (window->minimumWidth() > cell.width() || window->minimumHeight() > cell.height()) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        const int row = i / columns;
        const int column = i % columns;
        // The last row's windows share its whole width; every edge meets the area's.
        const int inRow = row == rows - 1 ? count - row * columns : columns;
        const int left = column * area.width() / inRow;
        const int right = (column + 1) * area.width() / inRow;
        const int top = row * area.height() / rows;
        const int bottom = (row + 1) * area.height() / rows;
        windows[i]->showNormal();
        windows[i]->setGeometry(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    }
    return true;
}

void TMainForm::ArrangeAllMenuClick() {
    // Lines up the minimized windows along the bottom edge, left to right.
    const QRect area = mdiArea_->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow* window : ChildWindows()) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        window->move(x, y - size.height() + 1);
        x += size.width();
    }
}

void TMainForm::MinimizeAllMenuClick() {
    const QList<QMdiSubWindow*> windows = ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        (*it)->showMinimized();
    }
}

bool TMainForm::CloseChildWindows(const QList<TMDIMainChild*>& discarded) {
    const QList<QMdiSubWindow*> windows = ChildWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        // The user has already answered No for this document: it closes without asking again.
        if (auto* document = qobject_cast<TMDIMainChild*>((*it)->widget());
            document != nullptr && discarded.contains(document)) {
            document->Doc().Table().ClearModified();
        }
        if (!(*it)->close()) {
            return false;
        }
    }
    return true;
}

void TMainForm::CloseAllMenuClick() {
    if (CloseChildWindows()) {
        ShowRunButtons(false);
    }
}

void TMainForm::ExitMenuClick() {
    close();
}

void TMainForm::ContinueExitWhenClosed(QMdiSubWindow* window) {
    connect(window, &QObject::destroyed, this, [this] {
        if (std::exchange(exitAfterRuns_, false)) {
            QTimer::singleShot(0, this, &QWidget::close);
        }
    });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!StopRunsBeforeExit()) {
        return;
    }
    QList<TMDIMainChild*> discarded;
    if (AskToSaveDocuments(discarded) && AskToKeepModels() && CloseChildWindows(discarded)) {
        event->accept();
    }
}

// Asked before any window closes, so that Cancel leaves every window open, plot windows too.
bool TMainForm::AskToKeepModels() {
    const QList<TMDIMainChild*> documents = Documents();
    for (auto it = documents.crbegin(); it != documents.crend(); ++it) {
        if (!(*it)->KeepOrDiscardModels()) {
            return false;
        }
    }
    // Answered for every document: closing it does not ask again.
    for (TMDIMainChild* document : documents) {
        document->Doc().History().MarkSaved();
    }
    return true;
}

bool TMainForm::StopRunsBeforeExit() {
    QList<TMDIMainChild*> running;
    for (TMDIMainChild* document : Documents()) {
        if (document->IsRunning()) {
            running.append(document);
        }
    }
    for (TMDIMainChild* document : std::as_const(running)) {
        if (!document->Driver().ClosingAfterRun() && !dialogs_->AskStopRun(document)) {
            return false;
        }
    }
    // A running document closes only once its run has returned; the exit then goes on.
    for (TMDIMainChild* document : std::as_const(running)) {
        document->Driver().CloseAfterRun(document);
    }
    exitAfterRuns_ = !running.isEmpty();
    return running.isEmpty();
}

bool TMainForm::AskToSaveDocuments(QList<TMDIMainChild*>& discarded) {
    const QList<TMDIMainChild*> documents = Documents();
    for (auto it = documents.crbegin(); it != documents.crend(); ++it) {
        TMDIMainChild* document = *it;
        if (!document->Doc().Modified()) {
            continue;
        }
        switch (dialogs_->AskSaveChanges(document)) {
        case UserDialogs::Answer::Yes:
            if (!SaveDocumentWindow(*document)) {
                return false;
            }
            break;
        case UserDialogs::Answer::No:
            discarded.append(document);
            break;
        case UserDialogs::Answer::Cancel:
            return false;
        }
    }
    return true;
}

void TMainForm::AboutMenuClick() {
    TAboutBox about(this);
    about.exec();
}

void TMainForm::HelpContentsMenuClick() {
    if (helpWindow_ == nullptr) {
        helpWindow_ = THelpWindow::Open(helpFile_, this);
        if (helpWindow_ == nullptr) {
            return;
        }
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

void TMainForm::ShowMaximizedOnScreen() {
    // Without a window manager nothing maximizes the window: it then covers the screen's
    // available area all the same.
    setGeometry(screen()->availableGeometry());
    showMaximized();
}

void TMainForm::SetStatusText(const QString& text) {
    statusHeld_ = false;
    statusPanel_->setText(text);
}

void TMainForm::SetStatusTextUntilNextCommand(const QString& text) {
    statusPanel_->setText(text);
    statusHeld_ = true;
}

void TMainForm::SetGauge(int minimum, int maximum, int position) {
    progressGauge_->setRange(minimum, maximum);
    progressGauge_->setValue(position);
}

void TMainForm::SetExecuteImageIndex(int index) {
    executeImageIndex_ = index;
    ejecutarAction_->setIcon(
        Icons::Load(index == RunningImage ? QStringLiteral("stop") : QStringLiteral("run")));
}

void TMainForm::ShowRunButtons(bool visible) {
    ejecutarAction_->setVisible(visible);
    opcionesAction_->setVisible(visible);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdiArea_->viewport() && event->type() == QEvent::MouseMove && !statusHeld_) {
        SetStatusText(ReadyText);
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace orvanel
