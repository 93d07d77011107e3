// A kept model judged on other data: its fit there and measured against computed output.
#pragma once

#include <QList>
#include <cstddef>
#include <string>

class QWidget;

namespace orvanel {

struct KeptModel;
class TableSamples;
class TMDIMainChild;
class UserDialogs;

class ModelComparison {
public:
    // Asks for the data (another open document with as many inputs as the model, or a data
    // file in the program's format), simulates model `index` of `source` on them and shows
    // the result in a window of its own, which it returns; null when the user cancelled or
    // the data could not be read or simulated, which is then shown.
    static QWidget* Run(UserDialogs& dialogs, TMDIMainChild& source, std::size_t index,
                        const QList<TMDIMainChild*>& documents);
    // The window for `model` simulated on `samples`, the data named `dataName`: the measured
    // ("Exp") and the computed output (the model's name), the fit in the chart's title.
    static QWidget* Show(KeptModel model, const TableSamples& samples, const std::string& dataName,
                         QWidget* parent);
};

} // namespace orvanel
