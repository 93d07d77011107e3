// One input's transfer function as the plot window shows it: its texts and its step response.
#pragma once

#include "document/formats/ModelFile.h"
#include "engine/linear/LinearModel.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class TFunTrans;

// The same view of a function the search decoded and of one a refinement moved, so that the
// window shows either alike.
struct FunctionView {
    // "0.519·z^1+0.2" and "1·z^2+-0.786·z^1+0.1·z^3": three significant digits, the search's
    // text style.
    std::string Numerator;
    std::string Denominator;
    // The response to a unit step starting at sample 2, entries 0 to the last computed; the
    // search's rule decides where it ends ([0, 0, 0, 0] when it cannot be computed).
    std::vector<double> Step;
    // The function itself, for the views that analyse it; none when it cannot be decoded.
    std::optional<LinearModel::Input> Model;

    static FunctionView Of(const TFunTrans& function, char decimalSeparator);
    static FunctionView Of(const LinearModel::Input& input, char decimalSeparator);
    // A model read from a file has coefficients only: no Model for the analysing views.
    static FunctionView Of(const ModelFile::Input& input, char decimalSeparator);
};

} // namespace orvanel
