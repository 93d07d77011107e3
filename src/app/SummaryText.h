// The chosen input's model in an engineer's terms, as text the user can select and copy.
#pragma once

#include "document/run/ModelSummary.h"
#include "engine/linear/LinearModel.h"

#include <QTextBrowser>

namespace orvanel {

// Figures, coefficients with their standard deviations and the warnings, each warning behind
// the style's warning icon.
class SummaryText : public QTextBrowser {
    Q_OBJECT

public:
    explicit SummaryText(QWidget* parent = nullptr);

    // The summary of `input`, the input the summary describes; `sharedDenominator` when the
    // model's inputs share their poles, which the denominator's line then says.
    void Show(const InputSummary& summary, const LinearModel::Input& input, bool sharedDenominator);
    // Says that the figures come once the run ends.
    void ShowPending();
};

// The text of a figure in the summary's tabs: four significant digits, and words for the
// values that are no number.
QString FigureText(double value);

} // namespace orvanel
