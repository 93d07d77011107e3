#include "app/MainForm.h"

#include "app/AboutBox.h"
#include "app/FileCommands.h"
#include "app/HelpWindow.h"
#include "app/MainMenus.h"
#include "app/PlotChild.h"
#include "app/Propiedades.h"
#include "app/ReopenList.h"
#include "app/WindowArranger.h"
#include "window/MDIMainChild.h"
#include "window/QtUserDialogs.h"
#include "window/RunDriver.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QScreen>
#include <QSet>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <utility>

namespace orvanel {

namespace {

const QString ReadyText = QStringLiteral("Ready");
const QString PlotSuffix = QStringLiteral(" - Plot");
const QString NewCaption = QStringLiteral("New%1");
// The smallest document window, in text lines, that still shows a few rows of its table.
constexpr int DocumentMinimumWidthLines = 20;
constexpr int DocumentMinimumHeightLines = 10;

} // namespace

TMainForm::TMainForm(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtUserDialogs>()) {
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
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] { menus_->RebuildMenuBar(); });
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::ShowActiveState);

    arranger_ = std::make_unique<WindowArranger>(*mdiArea_);
    menus_ = std::make_unique<MainMenus>(*this, [this] { statusHeld_ = false; });
    CreateStatusArea();
    menus_->RebuildMenuBar();
    files_ = std::make_unique<FileCommands>(*this, *dialogs_, *menus_);
}

TMainForm::~TMainForm() {
    // The area announces its children's deactivation while the frame is half destroyed.
    disconnect(mdiArea_, nullptr, this, nullptr);
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

QString TMainForm::CaptionOf(const QMdiSubWindow* window) {
    return window->widget() != nullptr ? window->widget()->windowTitle() : window->windowTitle();
}

QList<QMdiSubWindow*> TMainForm::ChildWindows() const {
    return arranger_->OpenWindows();
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
    connect(plot, &QWidget::windowTitleChanged, this, [this] { menus_->RebuildWindowMenu(); });
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
    connect(document, &QWidget::windowTitleChanged, this, [this] { menus_->RebuildWindowMenu(); });
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
    files_->OpenChosenFile();
}

void TMainForm::OpenDocuments(const QStringList& paths) {
    for (const QString& path : paths) {
        files_->OpenDocument(QFileInfo(path).absoluteFilePath(), true);
    }
}

void TMainForm::ReopenClick(QAction* entry) {
    files_->OpenDocument(ReopenList::PathOf(*entry), false);
}

bool TMainForm::SaveDocumentWindow(TMDIMainChild& document) {
    return files_->SaveDocument(document);
}

void TMainForm::SaveAsMenuClick() {
    files_->SaveActiveAs();
}

void TMainForm::SaveMenuClick() {
    files_->SaveActive();
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
    files_->ImportModel();
}

void TMainForm::SaveProjectMenuClick() {
    files_->SaveProjectAs();
}

bool TMainForm::SaveProject() {
    return files_->SaveProject();
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

void TMainForm::CascadeMenuClick() {
    arranger_->Cascade();
}

void TMainForm::TileMenuClick() {
    arranger_->Tile();
}

void TMainForm::ArrangeAllMenuClick() {
    arranger_->ArrangeMinimized();
}

void TMainForm::MinimizeAllMenuClick() {
    arranger_->MinimizeAll();
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
    menus_->ShowExecuteImage(index);
}

void TMainForm::ShowRunButtons(bool visible) {
    menus_->ShowRunButtons(visible);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdiArea_->viewport() && event->type() == QEvent::MouseMove && !statusHeld_) {
        SetStatusText(ReadyText);
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace orvanel