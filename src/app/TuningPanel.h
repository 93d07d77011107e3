// SIMC PI and PID settings for the chosen input, with the closed loop they give on the model.
#pragma once

#include "document/run/ModelSummary.h"
#include "engine/linear/LinearModel.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QCustomPlot;
class QDoubleSpinBox;
class QLabel;

namespace orvanel {

// The settings for a closed-loop time constant the user may change (the summary's at first),
// and the set-point step response of the identified model under the chosen controller, with
// its settling time marked; both follow every change of the time constant or the controller.
class TuningPanel : public QWidget {
    Q_OBJECT

public:
    enum Choice { Pi, Pid };

    explicit TuningPanel(QWidget* parent = nullptr);

    // The settings of `input` from its summary; a note instead when the summary has none.
    void Show(const InputSummary& summary, const LinearModel::Input& input);
    // Says that the settings come once the run ends.
    void ShowPending();

    QCustomPlot* Plot() const { return loop_; }
    // The settings as shown, for a closed-loop time constant; none without a model to tune.
    const std::optional<ControllerTuning::Settings>& Settings() const { return settings_; }
    void SetTauC(double tauC);
    void Choose(Choice controller);

private:
    void Recompute();
    void ShowNote(const QString& note);

    QLabel* settingsText_;
    QDoubleSpinBox* tauC_;
    QComboBox* controller_;
    QCustomPlot* loop_;
    QLabel* loopText_;
    std::optional<LinearModel::Input> input_;
    ProcessFigures figures_;
    std::optional<ControllerTuning::Settings> settings_;
};

} // namespace orvanel
