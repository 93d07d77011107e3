// The model as a script that rebuilds it in another tool and simulates it on a data file.
#pragma once

#include <string>

namespace orvanel {

class ModelExport;

// Both scripts build one discrete transfer function per input (coefficients with 17
// significant digits, the sample time or "unspecified") and, given a data file of the
// program's format as their argument, print the model's output for its inputs, one value per
// line with 17 significant digits, offsets added back when they were removed. They simulate
// from zero state with the transfer functions' difference equations, as the program does.
class ModelScript {
public:
    // For MATLAB (the delay as the input delay) and Octave with its control package (the delay
    // as poles at the origin, which its tf cannot hold otherwise). In MATLAB set data_file
    // before running the script; Octave also takes it from the command line.
    static std::string Matlab(const ModelExport& model);
    // For Python 3 with scipy.signal: one scipy.signal.dlti per input, the delay as poles at
    // the origin.
    static std::string Python(const ModelExport& model);
};

} // namespace orvanel
