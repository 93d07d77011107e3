// What a run asks of the plot window that shows its results.
#pragma once

class QWidget;

namespace orvanel {

class TFunTrans;
class TMSChart;

// The plot window as the run driver fills it: the measured-against-computed chart, the input
// chooser and the chosen input's transfer function with its step response.
class RunPlot {
public:
    virtual ~RunPlot() = default;

    // The child window itself: its caption, cursor and visibility.
    virtual QWidget* Window() = 0;
    // The measured ("Exp", series 1) against computed ("Calc", series 2) output chart.
    virtual TMSChart& OutputChart() = 0;
    virtual TMSChart& StepChart() = 0;
    // Makes the input list "Input 1" .. "Input count", keeping the chosen item when it is still
    // listed and choosing "Input 1" otherwise, so that no item names an input the model lacks.
    virtual void KeepInputs(int count) = 0;
    // The chosen item of the input list, 0 for "Input 1".
    virtual int ChosenInput() const = 0;
    // Shows the numerator and denominator of `function` and plots its step response from
    // sample 1, numbers written with `decimalSeparator`.
    virtual void ShowFunction(const TFunTrans& function, char decimalSeparator) = 0;
};

} // namespace orvanel
