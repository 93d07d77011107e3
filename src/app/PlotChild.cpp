#include "app/PlotChild.h"

#include "app/FractionText.h"
#include "app/ModelViews.h"
#include "app/ModelsPanel.h"
#include "app/SummaryText.h"
#include "document/formats/FunctionView.h"
#include "model/FunTrans.h"
#include "model/NumberText.h"
#include "window/ChildMenus.h"
#include "window/Icons.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"
#include "window/MSChart.h"
#include "window/ModelComparison.h"
#include "window/PlotHost.h"
#include "window/RunDriver.h"
#include "window/TextPrinter.h"
#include "window/UserDialogs.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <qcustomplot.h>

namespace orvanel {

namespace {

const QColor SkyBlue(0x87, 0xce, 0xeb);
constexpr int ControlMargin = 16;
constexpr int ControlTop = 8;
constexpr int StepChartMargin = 2;
constexpr int NumberDigits = 15;
constexpr int ModelsHeight = 110;

} // namespace

TPlotMDIChild::TPlotMDIChild(PlotHost& host, QWidget* parent)
    : QWidget(parent), host_(host), msChart1_(new TMSChart(this)), sidePanel_(new QFrame(this)),
      comboBox1_(new QComboBox(sidePanel_)),
      numLabel_(new FractionText(QStringLiteral("NumLabel"), SkyBlue, sidePanel_)),
      denLabel_(new FractionText(QStringLiteral("DenLabel"), SkyBlue, sidePanel_)),
      msChartStep_(new TMSChart(sidePanel_)), views_(new ModelViews(msChartStep_, sidePanel_)),
      models_(new ModelsPanel(this)), chosenChart_(msChart1_->Plot()) {
    setWindowTitle(QStringLiteral("Plot"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    resize(sizeHint());

    msChart1_->setObjectName(QStringLiteral("MSChart1"));
    msChart1_->SetColumnCount(2);
    msChart1_->SetColumn(1);
    msChart1_->SetColumnLabel("Exp");
    msChart1_->SetColumn(2);
    msChart1_->SetColumnLabel("Calc");
    msChart1_->SetAxisTitles("Sample", "Output");
    // The chart keeps its place while hidden, so that the side panel stays at the right.
    QSizePolicy keepPlace = msChart1_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    msChart1_->setSizePolicy(keepPlace);
    msChart1_->hide();
    msChartStep_->setObjectName(QStringLiteral("MSChartStep"));
    msChartStep_->SetShowLegend(false);
    CreateSidePanel();
    CreateMenus();
    ConnectModels();

    auto* chartAndModels = new QVBoxLayout;
    chartAndModels->setContentsMargins(0, 0, 0, 0);
    chartAndModels->setSpacing(0);
    chartAndModels->addWidget(msChart1_, 1);
    chartAndModels->addWidget(models_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(chartAndModels, 1);
    layout->addWidget(sidePanel_);
}

// Queued: each request rebuilds the list whose signal made it.
void TPlotMDIChild::ConnectModels() {
    models_->setMaximumHeight(ModelsHeight);
    // Tiled small, the plot window gives its room to the charts; the list then shrinks away.
    models_->setMinimumSize(1, 1);
    const auto each = [this](auto request) {
        return [this, request](auto... arguments) {
            for (TMDIMainChild* document : Documents()) {
                request(document->Driver(), arguments...);
            }
        };
    };
    connect(models_, &ModelsPanel::Chosen, this, each([](RunDriver& driver, int row) {
                driver.ChooseModel(static_cast<std::size_t>(row));
            }),
            Qt::QueuedConnection);
    connect(models_, &ModelsPanel::Overlaid, this,
            each([](RunDriver& driver, int row, bool overlaid) {
                driver.OverlayModel(static_cast<std::size_t>(row), overlaid);
            }),
            Qt::QueuedConnection);
    connect(models_, &ModelsPanel::Renamed, this,
            each([](RunDriver& driver, int row, const QString& name) {
                driver.RenameModel(static_cast<std::size_t>(row), name.toStdString());
            }),
            Qt::QueuedConnection);
    connect(models_, &ModelsPanel::Removed, this, each([](RunDriver& driver, int row) {
                driver.RemoveModel(static_cast<std::size_t>(row));
            }),
            Qt::QueuedConnection);
    connect(models_, &ModelsPanel::CompareAsked, this, [this](int row) {
        const QList<TMDIMainChild*> documents = Documents();
        if (!documents.isEmpty()) {
            ModelComparison::Run(host_.Dialogs(), *documents.constFirst(),
                                 static_cast<std::size_t>(row), host_.Documents());
        }
    });
}

void TPlotMDIChild::ShowModels(const RunHistory& history, char decimalSeparator) {
    models_->Show(history, decimalSeparator);
}

void TPlotMDIChild::ShowOverlays(const std::vector<ModelOverlay>& overlays) {
    msChart1_->SetColumnCount(2 + static_cast<int>(overlays.size()));
    const int rows = msChart1_->RowCount();
    for (std::size_t k = 0; k < overlays.size(); ++k) {
        msChart1_->SetColumn(3 + static_cast<int>(k));
        msChart1_->SetColumnLabel(overlays[k].Label);
        const int filled = std::min(rows, static_cast<int>(overlays[k].Computed.size()));
        for (int r = 1; r <= filled; ++r) {
            msChart1_->SetRow(r);
            msChart1_->SetData(overlays[k].Computed[static_cast<std::size_t>(r - 1)]);
        }
    }
}

void TPlotMDIChild::CreateSidePanel() {
    sidePanel_->setObjectName(QStringLiteral("SidePanel"));
    sidePanel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sidePanel_->setAutoFillBackground(true);
    QPalette sky = sidePanel_->palette();
    sky.setColor(QPalette::Window, SkyBlue);
    sidePanel_->setPalette(sky);

    sidePanel_->setFixedWidth(SidePanelWidth);

    comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
    comboBox1_->addItem(InputItem(1));
    connect(comboBox1_, &QComboBox::activated, this, &TPlotMDIChild::ComboBox1Change);

    auto* fractionBar = new QFrame(sidePanel_);
    fractionBar->setObjectName(QStringLiteral("FractionBar"));
    fractionBar->setFixedHeight(2);
    fractionBar->setAutoFillBackground(true);
    QPalette black = fractionBar->palette();
    black.setColor(QPalette::Window, Qt::black);
    fractionBar->setPalette(black);

    // The function's texts take the height their terms need; the step chart takes the rest.
    auto* controls = new QVBoxLayout;
    controls->setContentsMargins(ControlMargin, 0, ControlMargin, 0);
    controls->setSpacing(1);
    controls->addWidget(comboBox1_);
    controls->addSpacing(ControlTop);
    controls->addWidget(numLabel_);
    controls->addWidget(fractionBar);
    controls->addWidget(denLabel_);
    auto* panel = new QVBoxLayout(sidePanel_);
    panel->setContentsMargins(StepChartMargin, ControlTop, StepChartMargin, StepChartMargin);
    panel->setSpacing(ControlTop);
    panel->addLayout(controls);
    panel->addWidget(views_, 1);

    for (TMSChart* chart : {msChart1_, msChartStep_}) {
        chart->Plot()->installEventFilter(this);
    }
    for (int view = ModelViews::FrequencyView; view <= ModelViews::TuningView; ++view) {
        if (QCustomPlot* plot = views_->Plot(static_cast<ModelViews::View>(view))) {
            plot->installEventFilter(this);
        }
    }
    connect(views_, &QTabWidget::currentChanged, this,
            [this](int view) { ChooseChart(views_->Plot(static_cast<ModelViews::View>(view))); });
}

// A view without a chart, as the summary, leaves the chosen chart as it was.
void TPlotMDIChild::ChooseChart(QCustomPlot* chart) {
    if (chart != nullptr) {
        chosenChart_ = chart;
    }
}

bool TPlotMDIChild::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        ChooseChart(qobject_cast<QCustomPlot*>(watched));
    }
    return QWidget::eventFilter(watched, event);
}

void TPlotMDIChild::CreateMenus() {
    editMenu_ = new QMenu(QStringLiteral("&Edit"), this);
    QAction* copy =
        editMenu_->addAction(Icons::Load(QStringLiteral("copy")), QStringLiteral("&Copy"), this,
                             &TPlotMDIChild::CopyEditMenuClick);
    copy->setShortcut(QKeySequence::Copy);
    // Pasting into a chart means nothing. The item has no shortcut: Ctrl+P stays the frame's
    // Print, which a second owner of the key would make ambiguous.
    editMenu_->addAction(Icons::Load(QStringLiteral("paste")), QStringLiteral("&Paste"));
    editMenu_->addAction(Icons::Load(QStringLiteral("copy")), QStringLiteral("Copy &Model"), this,
                         &TPlotMDIChild::CopyModelEditMenuClick);

    algorithmMenu_ = ChildMenus::CreateAlgorithmMenu(
        this, [this] { OptionsAlgorithmMenuClick(); }, [this] { ExecuteAlgorithmMenuClick(); });
}

QSize TPlotMDIChild::sizeHint() const {
    return {547, 375};
}

QList<QMenu*> TPlotMDIChild::MergedMenus() const {
    return {editMenu_, algorithmMenu_};
}

void TPlotMDIChild::PrepareRun(const QString& caption, int inputs, char decimalSeparator) {
    KeepInputs(inputs);
    msChart1_->SetDecimalSeparator(decimalSeparator);
    msChartStep_->SetDecimalSeparator(decimalSeparator);
    setWindowTitle(caption);
}

void TPlotMDIChild::ShowOutputs(const std::vector<std::string_view>& measured,
                                const std::vector<std::string>& computed) {
    const int rows = static_cast<int>(std::min(measured.size(), computed.size()));
    msChart1_->SetRowCount(rows);
    msChart1_->show();
    for (int r = 1; r <= rows; ++r) {
        msChart1_->SetRow(r);
        msChart1_->SetColumn(1);
        msChart1_->SetData(measured[static_cast<std::size_t>(r - 1)]);
        msChart1_->SetColumn(2);
        msChart1_->SetData(computed[static_cast<std::size_t>(r - 1)]);
    }
}

void TPlotMDIChild::SetBusy(bool busy) {
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(msChart1_),
                            static_cast<QWidget*>(msChartStep_)}) {
        if (busy) {
            widget->setCursor(Qt::WaitCursor);
        } else {
            widget->unsetCursor();
        }
    }
    // A run fills the window with its own model; the list waits for its end.
    models_->setEnabled(!busy);
}

QString TPlotMDIChild::InputItem(int number) const {
    const QString item = QStringLiteral("Input %1").arg(number);
    const auto index = static_cast<std::size_t>(number) - 1;
    if (index >= inputNames_.size() || inputNames_[index].empty()) {
        return item;
    }
    return item + QStringLiteral(" (%1)").arg(QString::fromStdString(inputNames_[index]));
}

void TPlotMDIChild::NameInputs(const std::vector<std::string>& names) {
    inputNames_ = names;
    for (int i = 0; i < comboBox1_->count(); ++i) {
        comboBox1_->setItemText(i, InputItem(i + 1));
    }
    NameChosenInput();
}

void TPlotMDIChild::NameOutput(const std::string& name) {
    msChart1_->SetAxisTitles("Sample", name.empty() ? std::string("Output") : name);
}

void TPlotMDIChild::KeepInputs(int count) {
    const int chosen = comboBox1_->currentIndex();
    while (comboBox1_->count() > std::max(count, 1)) {
        comboBox1_->removeItem(comboBox1_->count() - 1);
    }
    while (comboBox1_->count() < count) {
        comboBox1_->addItem(InputItem(comboBox1_->count() + 1));
    }
    comboBox1_->setCurrentIndex(chosen >= 0 && chosen < comboBox1_->count() ? chosen : 0);
}

int TPlotMDIChild::ChosenInput() const {
    return std::max(comboBox1_->currentIndex(), 0);
}

void TPlotMDIChild::ShowFunction(const FunctionView& function, char decimalSeparator) {
    numLabel_->SetText(QString::fromStdString(function.Numerator));
    denLabel_->SetText(QString::fromStdString(function.Denominator));
    const int last = static_cast<int>(function.Step.size()) - 1;
    msChartStep_->SetRowCount(last);
    for (int i = 1; i <= last; ++i) {
        msChartStep_->SetRow(i);
        msChartStep_->SetData(FormatGeneral(function.Step[static_cast<std::size_t>(i)],
                                            NumberDigits, decimalSeparator));
    }
    views_->ShowFunction(function.Model);
    views_->ShowSummary(summary_, static_cast<std::size_t>(ChosenInput()));
    NameChosenInput();
}

// The views name the input they show when the data name it.
void TPlotMDIChild::NameChosenInput() {
    const auto index = static_cast<std::size_t>(ChosenInput());
    const bool named = index < inputNames_.size() && !inputNames_[index].empty();
    views_->NameInput(named ? InputItem(ChosenInput() + 1) : QString());
}

void TPlotMDIChild::ShowSummary(const RunSummary& summary) {
    summary_ = summary;
    views_->ShowSummary(summary_, static_cast<std::size_t>(ChosenInput()));
}

void TPlotMDIChild::ShowResiduals(std::vector<double> residuals, std::vector<double> input) {
    views_->ShowResiduals(std::move(residuals), std::move(input));
}

void TPlotMDIChild::SetSampleTime(std::optional<double> seconds) {
    views_->SetSampleTime(seconds);
}

void TPlotMDIChild::ShowFunction(const TFunTrans& function, char decimalSeparator) {
    ShowFunction(FunctionView::Of(function, decimalSeparator), decimalSeparator);
}

void TPlotMDIChild::ShowQuality(const std::string& fitText, int validationRow) {
    msChart1_->SetTitle(fitText);
    msChart1_->SetShadedFrom(validationRow);
}

QList<TMDIMainChild*> TPlotMDIChild::Documents() const {
    return host_.DocumentsOfPlot(windowTitle());
}

void TPlotMDIChild::OptionsAlgorithmMenuClick() {
    for (TMDIMainChild* document : Documents()) {
        document->OptionsAlgorithmMenuClick();
        SetSampleTime(document->Doc().SampleTime());
    }
}

void TPlotMDIChild::ExecuteAlgorithmMenuClick() {
    TMDIMainChild::ExecuteOrStop(Documents());
}

void TPlotMDIChild::CopyModelEditMenuClick() {
    for (TMDIMainChild* document : Documents()) {
        document->CopyModel();
    }
}

void TPlotMDIChild::ComboBox1Change() {
    NameChosenInput();
    for (TMDIMainChild* document : Documents()) {
        SetSampleTime(document->Doc().SampleTime());
        document->Driver().ShowFunctionOf(*this, ChosenInput(), LocaleDecimalSeparator());
    }
}

QStringList TPlotMDIChild::ChartDataLines() const {
    TMSChart& chart = *msChart1_;
    chart.SetColumn(1);
    const QString first = QString::fromStdString(chart.ColumnLabel());
    chart.SetColumn(2);
    QStringList lines{first + u'\t' + QString::fromStdString(chart.ColumnLabel())};
    for (int r = 1; r <= chart.RowCount(); ++r) {
        chart.SetRow(r);
        chart.SetColumn(1);
        const QString measured = QString::fromStdString(chart.Data());
        chart.SetColumn(2);
        lines.append(measured + u'\t' + QString::fromStdString(chart.Data()));
    }
    return lines;
}

void TPlotMDIChild::PrintChartData() {
    for (int view = ModelViews::FrequencyView; view <= ModelViews::TuningView; ++view) {
        if (chosenChart_ == views_->Plot(static_cast<ModelViews::View>(view))) {
            TextPrinter::Print(views_->DataLines(static_cast<ModelViews::View>(view)),
                               host_.Dialogs(), this);
            return;
        }
    }
    TextPrinter::Print(ChartDataLines(), host_.Dialogs(), this);
}

void TPlotMDIChild::CopyChart() {
    if (chosenChart_ == msChart1_->Plot()) {
        msChart1_->CopyToClipboard();
        return;
    }
    QApplication::clipboard()->setImage(chosenChart_->toPixmap().toImage());
}

bool TPlotMDIChild::SaveChart(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    QCustomPlot& chart = *chosenChart_;
    if (suffix == u"png") {
        return chart.savePng(path);
    }
    if (suffix == u"pdf") {
        return chart.savePdf(path);
    }
    if (suffix != u"svg") {
        return false;
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(chart.size());
    svg.setViewBox(chart.rect());
    svg.setTitle(windowTitle());
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        return false;
    }
    chart.toPainter(&painter, chart.width(), chart.height());
    return painter.end();
}

void TPlotMDIChild::ExportChart() {
    const QString path = host_.Dialogs().ChartFileName(this);
    if (!path.isEmpty() && !SaveChart(path)) {
        host_.Dialogs().ShowError(
            this,
            QStringLiteral("The chart could not be saved to %1.\nChoose a .png, .pdf or .svg file "
                           "in a folder you can write to.")
                .arg(QDir::toNativeSeparators(path)));
    }
}

void TPlotMDIChild::CopySelection() {
    for (FractionText* text : {numLabel_, denLabel_}) {
        if (text->hasFocus() && text->textCursor().hasSelection()) {
            text->copy();
            return;
        }
    }
    SummaryText& summary = views_->Summary();
    if (summary.hasFocus() && summary.textCursor().hasSelection()) {
        summary.copy();
        return;
    }
    CopyChart();
}

void TPlotMDIChild::closeEvent(QCloseEvent* event) {
    for (TMDIMainChild* document : host_.Documents()) {
        if (document->IsRunning() && document->Driver().PlotWindow() == this) {
            event->ignore();
            if (host_.Dialogs().AskStopRun(this)) {
                document->Driver().CloseAfterRun(this);
            }
            return;
        }
    }
    event->accept();
}

} // namespace orvanel
