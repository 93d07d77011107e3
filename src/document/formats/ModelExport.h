// A model found by a run, described for other tools: JSON, a MATLAB/Octave script, a Python
// script.
#pragma once

#include "document/run/ModelSummary.h"
#include "engine/linear/LinearModel.h"
#include "model/Rnd.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvanel {

class IdentificationRun;
class TGenetico;

// Everything an export says about one model; the caller fills it from whatever run found it.
// Input i's transfer function is z^-Delay * Numerator(z) / PolePolynomial(z), the model's
// output the sum of every input's response from zero state.
class ModelExport {
public:
    enum class Format { Json, Matlab, Python };

    // The working point taken out of the data before the search: the model maps the inputs
    // minus their means to the output minus its mean.
    struct Offsets {
        std::vector<double> InputMeans;
        double OutputMean = 0.0;
    };

    // A named figure of merit ("objective", "estimation_fit_percent"...); NaN is written as
    // null.
    struct Figure {
        std::string Name;
        double Value = 0.0;
    };

    // A run parameter as the command names it (without the dashes) and its value; integral
    // numbers are written as integers.
    struct Setting {
        std::string Name;
        std::variant<double, std::string> Value;
    };

    LinearModel Model;
    std::optional<Offsets> RemovedOffsets;
    // Seconds between samples; unset when the user gave none.
    std::optional<double> SampleTime;
    std::vector<Figure> Fit;
    // The exports write it as TextEncoding::Printable gives it, bytes that are not UTF-8 and
    // control characters as \xNN, so that every export stays valid UTF-8 and the name keeps
    // to its own comment line in the scripts.
    std::string DataFile;
    std::optional<int> SeedMilliseconds;
    // The random source's state as the search began, for a run that no millisecond seed
    // repeats: the window's runs go on from the state the document's engine left.
    std::optional<Rnd::State> StartState;
    std::vector<Setting> Parameters;
    // The columns' names when the data file gave them (one per input), empty otherwise.
    std::vector<std::string> InputNames;
    std::string OutputName;
    // Set when the run's rows came from a table edited and not saved: how many it used.
    std::optional<std::size_t> EditedRows;
    // Per input the figures, warnings, standard deviations and settings the JSON carries;
    // Of fills them from the run's data. When they do not match the model's inputs the JSON
    // takes them from the model alone, without what needs the data.
    std::vector<InputSummary> Summaries;

    // The final model of a run that ended with one (`run.Result()` set), with the engine's
    // settings as it ran, the data file's absolute path and, when known, the seed.
    static ModelExport Of(const IdentificationRun& run, const TGenetico& engine,
                          const std::string& dataPath, std::optional<int> seedMilliseconds,
                          std::optional<double> sampleTime);
    // The name of input k (from 0) and of the output as the exports give them: the column's
    // name, or "Input k+1" and "Output" when the data file named none.
    std::string InputName(std::size_t k) const;
    std::string OutputNameOrDefault() const;

    // The format the name's extension asks for: ".json", ".m" or ".py", in any case.
    static std::optional<Format> FormatFor(std::string_view path);
    // The sentence that says which extensions are understood, for a refusal.
    static std::string KnownExtensions();
    // Why an export of this name would not work, to follow "<path>: ", or nothing when it
    // would: an unknown extension (KnownExtensions()); a .m name that MATLAB and Octave cannot
    // run as a script (not a letter followed by letters, digits and underscores, longer than
    // 63, a keyword) or that would replace a function the script calls, for it and for every
    // other script run from that folder (tf.m; in any case, as a folder that ignores case
    // would); a .py name that the script would import in place of a module (numpy.py).
    static std::optional<std::string> Refusal(std::string_view path);

    // The model as a JSON document (two-space indent, a final line break); every number reads
    // back as the same double.
    std::string Json() const;
    // The file's contents in the given format.
    std::string Text(Format format) const;
    // Writes the file in the format of its extension, aside and moved into place. Throws
    // DocumentError "Cannot export the model to <path>: <reason>" for a name Refusal()
    // refuses or a file that cannot be created, "The model file <path> could not be written
    // completely: <reason>" when writing it fails; a file already there is then left as it was.
    void Write(const std::string& path) const;

    // The program's version written with every export.
    static std::string_view ProgramVersion();
};

} // namespace orvanel
