// The model as a script that rebuilds it in another tool and simulates it on a data file.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orvanel {

class ModelExport;

// Both scripts build one discrete transfer function per input (coefficients with 17
// significant digits, the sample time or "unspecified") and, given a data file of the
// program's format as their argument, print the model's output for its inputs, one value per
// line with 17 significant digits, offsets added back when they were removed. They simulate
// from zero state with the transfer functions' difference equations, as the program does.
// They read a data file as the program does (any of CR LF, LF and CR as line ends, a UTF-8
// byte-order mark ignored, every cell a number as ParseNumber reads it) and refuse any other
// with a message naming the row on standard error and a failure status.
class ModelScript {
public:
    // For MATLAB (the delay as the input delay) and Octave with its control package (the delay
    // as poles at the origin, which its tf cannot hold otherwise). In MATLAB set data_file
    // before running the script; Octave also takes it from the command line.
    static std::string Matlab(const ModelExport& model);
    // For Python 3 with scipy.signal: one scipy.signal.dlti per input, the delay as poles at
    // the origin.
    static std::string Python(const ModelExport& model);

    // Every function the MATLAB/Octave script calls by name: MATLAB and Octave look for
    // functions in the current folder first, so a file named after one would replace it there.
    static std::span<const std::string_view> MatlabFunctions();
    // The modules the Python script imports that a file beside it would replace: Python looks
    // in the script's folder first (sys is built in and cannot be replaced).
    static std::span<const std::string_view> PythonModules();
};

} // namespace orvanel
