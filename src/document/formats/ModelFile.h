// A model read back from the program's own JSON export, to be simulated on any data.
#pragma once

#include "document/formats/DataImport.h"
#include "document/table/TableSamples.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanel {

// The transfer functions of an exported model as the export wrote them: per input the
// numerator (with its gain) and the monic denominator in descending powers of z and the delay
// in samples; the offsets when they were removed. Simulating it gives, bit for bit, the output
// the run that exported it computed on the same data.
class ModelFile {
public:
    struct Input {
        std::string Name;
        std::vector<double> Numerator;
        std::vector<double> Denominator;
        int Delay = 0;
    };

    // Reads and checks the file. Throws DocumentError "<path>: <what>": not JSON, not a model
    // of this program ("format" is not "orvanel-model"), a format version it does not know,
    // or a field that is missing or wrong, named by its path: "inputs[2].denominator[1] is not
    // a finite number", "inputs[0].denominator must start with 1", "shared_denominator is true
    // but inputs[1].denominator differs from inputs[0].denominator".
    static ModelFile Read(const std::string& path);
    // The same from the file's text; `path` names it in messages.
    static ModelFile Parse(const std::string& text, const std::string& path);

    // The model as a JSON document that Parse reads back to the same doubles: the format
    // fields, the inputs, the offsets and the sample time, without the export's figures.
    std::string Text() const;

    std::vector<Input> Inputs;
    // The file says every input's denominator is one the model fitted and counts once; each
    // input then holds the same one. A run's kept model says it by its factors instead.
    bool SharedDenominator = false;
    // The output column's name, when the data the model was found on named it.
    std::string OutputName;
    std::optional<std::vector<double>> InputOffsets;
    double OutputOffset = 0.0;
    std::optional<double> SampleTime;

    // The model's output for the samples' inputs from zero state, offsets taken out of the
    // inputs and added to the output as the run did. Throws DocumentError when the samples have
    // another number of inputs.
    std::vector<double> Simulate(const TableSamples& samples) const;
    // The data's samples with the inputs in the model's order. Where the model and the data
    // both name every input, each input of the model takes the data's input of its name,
    // whatever the order or other inputs there; otherwise the inputs are taken as they come.
    // Throws DocumentError naming `dataPath` and the column for an input the data lack by
    // name, or for an output of another name than the model's.
    TableSamples SamplesFor(const ImportedData& data, const std::string& dataPath) const;
};

} // namespace orvanel
