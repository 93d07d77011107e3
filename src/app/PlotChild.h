// The plot window of a document's runs: measured against computed output, and the transfer
// function of a chosen input with its step response.
#pragma once

#include "window/ChildMenus.h"
#include "window/RunPlot.h"

#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

class QComboBox;
class QCustomPlot;
class QFrame;
class QMenu;

namespace orvanel {

class FractionText;
class ModelViews;
class ModelsPanel;
class TFunTrans;
class PlotHost;
class TMDIMainChild;
class TMSChart;

// Keeps no link to its document: it finds the documents whose caption followed by " - Plot" is
// its own caption in the frame whenever a command needs them, and does nothing when none is.
class TPlotMDIChild : public QWidget, public ChildMenus, public RunPlot {
    Q_OBJECT

public:
    static constexpr int SidePanelWidth = 361;

    // An empty plot window held by `host`, which must outlive it, listing "Input 1".
    explicit TPlotMDIChild(PlotHost& host, QWidget* parent = nullptr);

    QWidget* Window() override { return this; }
    void PrepareRun(const QString& caption, int inputs, char decimalSeparator) override;
    void NameInputs(const std::vector<std::string>& names) override;
    void NameOutput(const std::string& name) override;
    // The measured output is the "Exp" series, the computed one "Calc"; the chart shows once
    // it has them.
    void ShowOutputs(const std::vector<std::string_view>& measured,
                     const std::vector<std::string>& computed) override;
    void SetBusy(bool busy) override;
    int ChosenInput() const override;
    void ShowFunction(const FunctionView& function, char decimalSeparator) override;
    void ShowFunction(const TFunTrans& function, char decimalSeparator);
    void ShowResiduals(std::vector<double> residuals, std::vector<double> input) override;
    void SetSampleTime(std::optional<double> seconds) override;
    // The fit figures go into the output chart's title.
    void ShowQuality(const std::string& fitText, int validationRow) override;
    // Kept for every input; the side panel's Summary and Tuning tabs and the bands show the
    // chosen one's.
    void ShowSummary(const RunSummary& summary) override;
    // Listed under the output chart.
    void ShowModels(const RunHistory& history, char decimalSeparator) override;
    // Series 3 on, labelled with each model's name and fit.
    void ShowOverlays(const std::vector<ModelOverlay>& overlays) override;

    TMSChart& OutputChart() { return *msChart1_; }
    TMSChart& StepChart() { return *msChartStep_; }
    ModelViews& Views() { return *views_; }
    ModelsPanel& Models() { return *models_; }

    QList<QMenu*> MergedMenus() const override;
    // The design size, 547 by 375 pixels, which a new child window opens with.
    QSize sizeHint() const override;

    // The header line ("Exp", TAB, "Calc") and one line per point of the output chart, measured
    // value first, as printed.
    QStringList ChartDataLines() const;
    // Prints ChartDataLines as the document's table is printed (PDF when there is no printer).
    void PrintChartData();
    // The chosen chart's picture to the clipboard.
    void CopyChart();
    // The selected part of the transfer function or of the summary when one of their texts
    // has the focus and a selection, the chosen chart's picture otherwise.
    void CopySelection();
    // The chart that Copy, Print and Export Chart act on: the output chart until the user
    // clicks another chart or switches the side panel to another view.
    QCustomPlot* ChosenChart() const { return chosenChart_; }
    // Saves the chosen chart to `path` as PNG, PDF or SVG by its extension, at the chart's size
    // on screen; false when the extension is none of these or the file cannot be written.
    bool SaveChart(const QString& path);
    // Asks for a file and saves the chosen chart there, showing an error when that fails.
    void ExportChart();

public slots:
    // The commands of the plot's Algorithm menu, run on the documents of its caption.
    void OptionsAlgorithmMenuClick();
    void ExecuteAlgorithmMenuClick();
    // Shows the transfer function of the chosen input of each document's model.
    void ComboBox1Change();
    void CopyEditMenuClick() { CopySelection(); }
    // The model of each document of this window as JSON to the clipboard.
    void CopyModelEditMenuClick();

protected:
    // While a document's run fills this window, asks whether to stop it; the window then
    // closes once the run has finished.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateSidePanel();
    void ConnectModels();
    void CreateMenus();
    void KeepInputs(int count);
    QString InputItem(int number) const;
    void NameChosenInput();
    QList<TMDIMainChild*> Documents() const;
    void ChooseChart(QCustomPlot* chart);
    bool eventFilter(QObject* watched, QEvent* event) override;

    PlotHost& host_;
    TMSChart* msChart1_;
    QFrame* sidePanel_;
    QComboBox* comboBox1_;
    FractionText* numLabel_;
    FractionText* denLabel_;
    TMSChart* msChartStep_;
    ModelViews* views_;
    ModelsPanel* models_;
    QCustomPlot* chosenChart_;
    QMenu* editMenu_ = nullptr;
    QMenu* algorithmMenu_ = nullptr;
    std::vector<std::string> inputNames_;
    RunSummary summary_;
};

} // namespace orvanel
