#include "window/MDIMainChild.h"

#include "document/table/DocumentError.h"
#include "document/table/DocumentFile.h"
#include "document/table/TableText.h"
#include "window/ChildMenus.h"
#include "window/CountSpinEdit.h"
#include "window/DataFileOpener.h"
#include "window/DataTableModel.h"
#include "window/DocumentHost.h"
#include "window/GridKeyFilter.h"
#include "window/Icons.h"
#include "window/ImportDialog.h"
#include "window/LocaleText.h"
#include "window/RunDriver.h"
#include "window/TableEdits.h"
#include "window/TextPrinter.h"
#include "window/UserDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QToolTip>
#include <QUndoStack>
#include <algorithm>
#include <functional>

namespace orvanel {

namespace {

const QString PasteErrorText = QStringLiteral("Clipboard data could not be pasted");
const QString NoModelText =
    QStringLiteral("Execute the identification first: there is no model to export.");

// Window layout, in pixels: the button row and count panel above the grid.
constexpr int Margin = 8;
constexpr int ButtonWidth = 62;
constexpr int ButtonHeight = 25;
constexpr int ButtonStep = 65;
constexpr int PanelLeft = Margin + 4 * ButtonStep;
constexpr int PanelHeight = 32;
constexpr int GridTop = 40;

std::string ClipboardText() {
    return QGuiApplication::clipboard()->text().toStdString();
}

// `text` as it fits in `width` pixels: whole when it fits; a number with an exponent keeps the
// exponent and loses the end of its mantissa, marked by an ellipsis; any other text is left
// for the style to cut at the right. A cut exponent would make 7.2e-01 read as 7.2.
QString ShortenedNumber(const QString& text, const QFontMetrics& metrics, int width) {
    static const QRegularExpression exponent(QStringLiteral("[0-9.,][eE][+-]?[0-9]+$"));
    const QRegularExpressionMatch match = exponent.match(text);
    if (!match.hasMatch() || metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    const qsizetype mantissaEnd = match.capturedStart() + 1;
    const QString tail = QChar(0x2026) + text.mid(mantissaEnd);
    // The longest start of the mantissa that fits with the tail, found by halving; at least a
    // digit when nothing does.
    qsizetype fits = 1;
    qsizetype tooLong = mantissaEnd;
    while (tooLong - fits > 1) {
        const qsizetype middle = (fits + tooLong) / 2;
        if (metrics.horizontalAdvance(text.left(middle) + tail) <= width) {
            fits = middle;
        } else {
            tooLong = middle;
        }
    }
    return text.left(fits) + tail;
}

// The grid's cells drawn with ShortenedNumber, the whole text in a tooltip when it is cut;
// editing, the size hint and the typing rule are GridKeyFilter's.
class GridCellDelegate : public GridKeyFilter {
public:
    using GridKeyFilter::GridKeyFilter;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        shown.text = ShownText(shown);
        StyleOf(option)->drawControl(QStyle::CE_ItemViewItem, &shown, painter, option.widget);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event == nullptr || event->type() != QEvent::ToolTip) {
            return GridKeyFilter::helpEvent(event, view, option, index);
        }
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        if (cell.fontMetrics.horizontalAdvance(cell.text) <= TextWidth(cell)) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPos(), cell.text, view, option.rect);
        }
        return true;
    }

private:
    static QStyle* StyleOf(const QStyleOptionViewItem& option) {
        return option.widget != nullptr ? option.widget->style() : QApplication::style();
    }

    // The width the style draws a cell's text in: its text rectangle less the margin the
    // style keeps on either side.
    static int TextWidth(const QStyleOptionViewItem& option) {
        const QStyle* style = StyleOf(option);
        const int margin =
            style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
        return style->subElementRect(QStyle::SE_ItemViewItemText, &option, option.widget).width() -
               2 * margin;
    }

    static QString ShownText(const QStyleOptionViewItem& option) {
        return ShortenedNumber(option.text, option.fontMetrics, TextWidth(option));
    }
};

} // namespace

TMDIMainChild::TMDIMainChild(DocumentHost& host, const QString& caption, QWidget* parent)
    : QWidget(parent), host_(host), document_(caption.toStdString()) {
    setWindowTitle(caption);
    resize(600, 414);
    edits_ = new TableEdits(document_, this);
    CreateButtons();
    CreateCountPanel();
    CreateGrid();
    CreateMenus();
    driver_ = new RunDriver(*this, host_);
    connect(&edits_->Stack(), &QUndoStack::indexChanged, driver_, &RunDriver::TableEdited);
    // Every change of the table reaches the view's model; undoing back to the saved state makes
    // the stack clean without another change.
    connect(model_, &QAbstractItemModel::dataChanged, this, &TMDIMainChild::ShowModified);
    connect(model_, &QAbstractItemModel::modelReset, this, &TMDIMainChild::ShowModified);
    connect(&edits_->Stack(), &QUndoStack::cleanChanged, this, &TMDIMainChild::ShowModified);
}

TMDIMainChild::~TMDIMainChild() {
    // The view and the model go first: they must not outlive the table they show.
    delete grid_;
    delete model_;
}

void TMDIMainChild::CreateButtons() {
    const auto addButton = [this](int index, const QString& name, const QString& text,
                                  const QString& icon, const QString& hint) {
        auto* button = new QPushButton(Icons::Load(icon), text, this);
        button->setObjectName(name);
        button->setToolTip(hint);
        button->setGeometry(Margin + index * ButtonStep, 6, ButtonWidth, ButtonHeight);
        return button;
    };
    addButton_ = addButton(0, QStringLiteral("AddBitBtn"), QStringLiteral("Add"),
                           QStringLiteral("add"), QStringLiteral("Inserts a new row"));
    connect(addButton_, &QPushButton::clicked, this, &TMDIMainChild::AddBitBtnClick);
    delButton_ = addButton(1, QStringLiteral("DelBitBtn"), QStringLiteral("Del"),
                           QStringLiteral("delete"), QStringLiteral("Deletes the selected row"));
    connect(delButton_, &QPushButton::clicked, this, &TMDIMainChild::DelBitBtnClick);
    connect(addButton(2, QStringLiteral("CopyBitBtn"), QStringLiteral("Copy"),
                      QStringLiteral("copy"), QStringLiteral("Copies the table to the clipboard")),
            &QPushButton::clicked, this, &TMDIMainChild::CopyBitBtnClick);
    // The hint's spelling is the program's own.
    pasteButton_ = addButton(3, QStringLiteral("PasteBitBtn"), QStringLiteral("Paste"),
                             QStringLiteral("paste"),
                             QStringLiteral("Pastes the content of the cipboard onto the table"));
    connect(pasteButton_, &QPushButton::clicked, this, &TMDIMainChild::PasteBitBtnClick);
}

void TMDIMainChild::CreateCountPanel() {
    panel_ = new QFrame(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inputsSpinEdit_ = new TCountSpinEdit(1, DataTable::MaxInputs, panel_);
    inputsSpinEdit_->setObjectName(QStringLiteral("InputsSpinEdit"));
    dataPointsSpinEdit_ = new TCountSpinEdit(1, DataTable::MaxDataPoints, panel_);
    dataPointsSpinEdit_->setObjectName(QStringLiteral("DataPointsSpinEdit"));
    dataPointsSpinEdit_->setMinimumWidth(80);

    auto* layout = new QHBoxLayout(panel_);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(new QLabel(QStringLiteral("Inputs:"), panel_));
    layout->addWidget(inputsSpinEdit_);
    layout->addSpacing(12);
    layout->addWidget(new QLabel(QStringLiteral("Data Points:"), panel_));
    layout->addWidget(dataPointsSpinEdit_);
    layout->addStretch();

    ShowCounts();
    connect(inputsSpinEdit_, &TCountSpinEdit::TextEdited, this,
            &TMDIMainChild::InputsSpinEditChange);
    connect(dataPointsSpinEdit_, &TCountSpinEdit::TextEdited, this,
            &TMDIMainChild::DataPointsSpinEditChange);
}

void TMDIMainChild::CreateGrid() {
    model_ = new DataTableModel(document_.Table(), *edits_);
    keyFilter_ = new GridCellDelegate(document_.Table(), this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("DataStringGrid"));
    grid_->setModel(model_);
    grid_->setItemDelegate(keyFilter_);
    keyFilter_->WatchView(grid_);
    grid_->installEventFilter(keyFilter_);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setWordWrap(false);
    grid_->horizontalHeader()->setDefaultSectionSize(150);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->horizontalHeader()->setHighlightSections(false);
    // Fixed rows of one height keep a view of 100,000 rows as fast as a view of ten.
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(18);
    grid_->verticalHeader()->setMinimumWidth(25);
    grid_->verticalHeader()->setHighlightSections(false);
    SetCurrentCell(1, 1);
}

void TMDIMainChild::CreateMenus() {
    editMenu_ = new QMenu(QStringLiteral("&Edit"), this);
    QAction* undo =
        editMenu_->addAction(QStringLiteral("&Undo"), this, &TMDIMainChild::UndoEditMenuClick);
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo =
        editMenu_->addAction(QStringLiteral("&Redo"), this, &TMDIMainChild::RedoEditMenuClick);
    redo->setShortcuts(QKeySequence::Redo);
    edits_->WatchActions(undo, redo);
    editMenu_->addSeparator();
    QAction* copy =
        editMenu_->addAction(Icons::Load(QStringLiteral("copy")), QStringLiteral("&Copy"), this,
                             &TMDIMainChild::CopyEditMenuClick);
    copy->setShortcut(QKeySequence::Copy);
    pasteAction_ =
        editMenu_->addAction(Icons::Load(QStringLiteral("paste")), QStringLiteral("&Paste"), this,
                             &TMDIMainChild::PasteEditMenuClick);
    pasteAction_->setShortcut(QKeySequence::Paste);
    editMenu_->addAction(Icons::Load(QStringLiteral("copy")), QStringLiteral("Copy &Model"), this,
                         &TMDIMainChild::CopyModelEditMenuClick);

    algorithmMenu_ = ChildMenus::CreateAlgorithmMenu(
        this, [this] { OptionsAlgorithmMenuClick(); }, [this] { ExecuteOrStop({this}); });
}

QList<QMenu*> TMDIMainChild::MergedMenus() const {
    return {editMenu_, algorithmMenu_};
}

QString TMDIMainChild::DocumentPath() const {
    return QFile::decodeName(QByteArray::fromStdString(document_.DocumentPath()));
}

int TMDIMainChild::CurrentRow() const {
    const QModelIndex current = grid_->currentIndex();
    return current.isValid() ? DataTableModel::GridRow(current) : 1;
}

int TMDIMainChild::CurrentColumn() const {
    const QModelIndex current = grid_->currentIndex();
    return current.isValid() ? DataTableModel::GridColumn(current) : 1;
}

void TMDIMainChild::SetCurrentCell(int row, int column) {
    const int lastRow = model_->rowCount() - 1;
    const int lastColumn = model_->columnCount() - 1;
    grid_->setCurrentIndex(
        model_->index(std::clamp(row - 1, 0, lastRow), std::clamp(column - 1, 0, lastColumn)));
}

void TMDIMainChild::ShowCounts() {
    // The fields show the table's counts; the table need not follow them.
    const QSignalBlocker inputs(inputsSpinEdit_);
    const QSignalBlocker dataPoints(dataPointsSpinEdit_);
    inputsSpinEdit_->SetText(QString::number(document_.Table().InputCount()));
    dataPointsSpinEdit_->SetText(QString::number(document_.Table().DataPointCount()));
}

bool TMDIMainChild::KeepCurrentCellThrough(const std::function<bool()>& edit) {
    const int row = CurrentRow();
    const int column = CurrentColumn();
    const bool changed = edit();
    if (changed) {
        SetCurrentCell(row, column);
    }
    return changed;
}

void TMDIMainChild::InputsSpinEditChange(const QString& text) {
    if (IsRunning()) {
        return;
    }
    KeepCurrentCellThrough([&] { return edits_->ChangeInputs(text.toStdString()); });
}

void TMDIMainChild::DataPointsSpinEditChange(const QString& text) {
    if (IsRunning()) {
        return;
    }
    KeepCurrentCellThrough([&] { return edits_->ChangeDataPoints(text.toStdString()); });
}

void TMDIMainChild::AddBitBtnClick() {
    if (IsRunning()) {
        return;
    }
    if (KeepCurrentCellThrough([this] { return edits_->InsertRow(CurrentRow()); })) {
        ShowCounts();
    }
}

std::pair<int, int> TMDIMainChild::SelectedRows() const {
    const QItemSelection selection = grid_->selectionModel()->selection();
    if (selection.isEmpty()) {
        return {CurrentRow(), CurrentRow()};
    }
    int first = model_->rowCount();
    int last = 0;
    for (const QItemSelectionRange& range : selection) {
        first = std::min(first, range.top());
        last = std::max(last, range.bottom());
    }
    return {first + 1, last + 1};
}

void TMDIMainChild::DelBitBtnClick() {
    if (IsRunning()) {
        return;
    }
    const auto [first, last] = SelectedRows();
    if (last > first && !host_.Dialogs().AskDeleteRows(this, last - first + 1)) {
        return;
    }
    if (KeepCurrentCellThrough([&] { return edits_->DeleteRows(first, last); })) {
        ShowCounts();
    }
}

void TMDIMainChild::CopyBitBtnClick() {
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(document_.Table().CellText(CurrentRow(), CurrentColumn())));
}

void TMDIMainChild::PasteBitBtnClick() {
    if (IsRunning()) {
        return;
    }
    if (!edits_->PasteIntoCell(CurrentRow(), CurrentColumn(), ClipboardText())) {
        host_.Dialogs().ShowError(this, PasteErrorText);
    }
}

void TMDIMainChild::CopyTable() {
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(TableText::CopyTable(document_.Table())));
}

const ModelExport* TMDIMainChild::ModelOrMessage() {
    const std::optional<ModelExport>& description = driver_->ModelDescription();
    if (!description) {
        host_.Dialogs().ShowMessage(this, NoModelText);
        return nullptr;
    }
    return &*description;
}

void TMDIMainChild::ExportModel() {
    const ModelExport* description = ModelOrMessage();
    if (description == nullptr) {
        return;
    }
    const QString path = host_.Dialogs().ModelFileName(this);
    if (path.isEmpty()) {
        return;
    }
    try {
        description->Write(QFile::encodeName(path).toStdString());
    } catch (const DocumentError& error) {
        host_.Dialogs().ShowError(this, QString::fromUtf8(error.what()));
    }
}

void TMDIMainChild::CopyModel() {
    if (const ModelExport* description = ModelOrMessage()) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(description->Json()));
    }
}

void TMDIMainChild::PasteTable() {
    if (IsRunning()) {
        return;
    }
    // A spreadsheet's block with a header row, or cells split by commas or semicolons, would
    // paste as one column of text: it is read as an imported file is.
    const std::string text = ClipboardText();
    if (TableEdits::CouldBeTable(text) && DataFileOpener::LooksDelimited(text)) {
        ImportDialog dialog(text, QStringLiteral("pasted table"), this);
        KeepCurrentCellThrough([&] { return PasteImport(dialog); });
        return;
    }
    const bool pasted = KeepCurrentCellThrough([this, &text] {
        try {
            edits_->PasteTable(text);
            return true;
        } catch (const DocumentError&) {
            return false;
        }
    });
    if (pasted) {
        ShowCounts();
    } else {
        host_.Dialogs().ShowError(this, PasteErrorText);
    }
}

void TMDIMainChild::PrintTable() {
    QString text = QString::fromStdString(TableText::CopyTable(document_.Table()));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast(); // the empty text after the final line end
    TextPrinter::Print(lines, host_.Dialogs(), this);
}

void TMDIMainChild::LoadDocument(const QString& path) {
    document_.LoadDocument(DataFileOpener::LocalPath(path));
    edits_->Forget();
    ShowLoaded();
}

void TMDIMainChild::LoadProjectRows(const std::string& rows) {
    document_.PasteTable(rows);
    document_.Table().ClearModified();
    ShowModified();
    ShowCounts();
    SetCurrentCell(1, 1);
}

bool TMDIMainChild::OpenFile(const QString& path) {
    if (!DataFileOpener::Open(host_.Dialogs(), this, path, document_, LocaleDecimalSeparator())) {
        return false;
    }
    edits_->Forget();
    ShowLoaded();
    return true;
}

bool TMDIMainChild::PasteImport(ImportDialog& dialog) {
    if (!host_.Dialogs().RunImport(dialog)) {
        return false;
    }
    edits_->PasteImported(dialog.Data(), LocaleDecimalSeparator());
    ShowLoaded();
    return true;
}

void TMDIMainChild::ShowLoaded() {
    ShowCaption();
    ShowCounts();
    SetCurrentCell(1, 1);
}

void TMDIMainChild::ShowCaption() {
    if (!document_.Caption().empty()) {
        setWindowTitle(QString::fromStdString(document_.Caption()));
    }
    ShowModified();
}

void TMDIMainChild::ShowModified() {
    emit ModifiedChanged(document_.Modified());
}

bool TMDIMainChild::SavesDelimited(const QString& path) const {
    return DataFileOpener::HasExtension(path, {QStringLiteral("csv"), QStringLiteral("tsv")}) ||
           (document_.Source() && DataFileOpener::LocalPath(path) == document_.DocumentPath());
}

void TMDIMainChild::SaveDocument(const QString& path) {
    BringCountsIntoRange();
    if (SavesDelimited(path)) {
        document_.SaveDelimited(DataFileOpener::LocalPath(path), LocaleDecimalSeparator());
    } else if (DataFileOpener::HasExtension(path, {QStringLiteral("mat")})) {
        // A MATLAB file is never written: the table goes to the .txt file of its name, which
        // the document is from then on.
        document_.SaveDocument(DocumentFile::SavedFileName(DataFileOpener::LocalPath(path)));
    } else {
        document_.SaveDocument(DataFileOpener::LocalPath(path));
    }
    edits_->MarkSaved();
    ShowCaption();
}

void TMDIMainChild::OptionsAlgorithmMenuClick() {
    emit OptionsRequested();
}

void TMDIMainChild::BringCountsIntoRange() {
    inputsSpinEdit_->BringIntoRange();
    dataPointsSpinEdit_->BringIntoRange();
}

void TMDIMainChild::ExecuteAlgorithmMenuClick() {
    if (IsRunning()) {
        return;
    }
    BringCountsIntoRange();
    SetEditable(false);
    try {
        driver_->ExecuteAlgorithmMenuClick();
    } catch (...) {
        SetEditable(true);
        throw;
    }
    SetEditable(true);
}

void TMDIMainChild::SetEditable(bool editable) {
    // A cell still being typed into goes into the table before the run reads it; committed
    // later, it would be refused.
    if (QWidget* editor = grid_->indexWidget(grid_->currentIndex()); editor && !editable) {
        emit keyFilter_->commitData(editor);
        emit keyFilter_->closeEditor(editor);
    }
    model_->SetReadOnly(!editable);
    keyFilter_->SetReadOnly(!editable);
    inputsSpinEdit_->setReadOnly(!editable);
    dataPointsSpinEdit_->setReadOnly(!editable);
    for (QPushButton* button : {addButton_, delButton_, pasteButton_}) {
        button->setEnabled(editable);
    }
    pasteAction_->setEnabled(editable);
    edits_->SetReadOnly(!editable);
}

void TMDIMainChild::UndoEditMenuClick() {
    StepThroughHistory(&QUndoStack::undo);
}

void TMDIMainChild::RedoEditMenuClick() {
    StepThroughHistory(&QUndoStack::redo);
}

void TMDIMainChild::StepThroughHistory(void (QUndoStack::*step)()) {
    if (IsRunning()) {
        return;
    }
    KeepCurrentCellThrough([&] {
        (edits_->Stack().*step)();
        return true;
    });
    ShowCounts();
}

void TMDIMainChild::RequestStop() {
    driver_->RequestStop();
}

bool TMDIMainChild::IsRunning() const {
    return driver_->Running();
}

void TMDIMainChild::ExecuteEach(const QList<TMDIMainChild*>& documents) {
    // The user goes on working while a document runs: one closed meanwhile is not run.
    QList<QPointer<TMDIMainChild>> guarded;
    for (TMDIMainChild* document : documents) {
        guarded.append(document);
    }
    for (const QPointer<TMDIMainChild>& document : guarded) {
        if (document != nullptr) {
            document->ExecuteAlgorithmMenuClick();
        }
    }
}

bool TMDIMainChild::StopRuns(const QList<TMDIMainChild*>& documents) {
    if (std::none_of(documents.begin(), documents.end(),
                     [](const TMDIMainChild* document) { return document->IsRunning(); })) {
        return false;
    }
    for (TMDIMainChild* document : documents) {
        document->RequestStop();
    }
    return true;
}

void TMDIMainChild::ExecuteOrStop(const QList<TMDIMainChild*>& documents) {
    if (!StopRuns(documents)) {
        ExecuteEach(documents);
    }
}

void TMDIMainChild::closeEvent(QCloseEvent* event) {
    // The engine, the report and the plot window stay whole until the run has returned.
    if (driver_->Running()) {
        event->ignore();
        if (host_.Dialogs().AskStopRun(this)) {
            driver_->CloseAfterRun(this);
        }
        return;
    }
    if (document_.Modified()) {
        switch (host_.Dialogs().AskSaveChanges(this)) {
        case UserDialogs::Answer::Yes:
            if (!host_.SaveDocumentWindow(*this)) {
                event->ignore();
                return;
            }
            break;
        case UserDialogs::Answer::No:
            break;
        case UserDialogs::Answer::Cancel:
            event->ignore();
            return;
        }
    }
    if (!KeepOrDiscardModels()) {
        event->ignore();
        return;
    }
    event->accept();
    driver_->ClosePlotWindows();
    emit Closed();
}

// Saving the project saves every document's models; discarded ones go with the window.
bool TMDIMainChild::KeepOrDiscardModels() {
    if (!document_.History().Unsaved()) {
        return true;
    }
    switch (host_.Dialogs().AskSaveModels(this)) {
    case UserDialogs::Answer::Yes:
        return host_.SaveProject();
    case UserDialogs::Answer::No:
        return true;
    case UserDialogs::Answer::Cancel:
        break;
    }
    return false;
}

void TMDIMainChild::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The counts stay readable in a narrow window: the panel never gets narrower than its fields.
    const int panelWidth = std::max(width() - PanelLeft - Margin, panel_->sizeHint().width());
    panel_->setGeometry(PanelLeft, 3, panelWidth, PanelHeight);
    grid_->setGeometry(Margin, GridTop, std::max(width() - 2 * Margin, 0),
                       std::max(height() - GridTop - Margin, 0));
}

} // namespace orvanel
