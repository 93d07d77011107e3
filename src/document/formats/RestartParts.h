// Part files: what one slice of a run's restarts found, to be merged into the run's result.
#pragma once

#include "document/run/IdentificationRun.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvanel {

class FieldReader;
class TableSamples;

// The parts of one run, checked as they are added: each must be of the run this merge is
// (its data, options and number of searches), of as many slices as the first part, and of a
// slice not seen before. Numbers are written as hexadecimal floating point ("0x1.8p+1"), so
// that a model read back is the model written, to the last bit.
class RestartParts {
public:
    // What a part must share with the merge: a checksum of the data as read, the options that
    // change the searches (name and value, in a fixed order) and the number of searches.
    struct Identity {
        std::string DataChecksum;
        std::vector<std::pair<std::string, double>> Options;
        int Restarts = 1;
    };

    // One slice's part file.
    struct Part {
        Identity Run;
        int Slice = 0;
        int Slices = 1;
        // Slice 0's: the evolution table of the run's own search and its last generation.
        std::string EvolutionRows;
        int LastGeneration = -1;
        // Every search of the slice, in index order.
        std::vector<FinishedSearch> Searches;
    };

    // FNV-1a over the number of rows and columns and every value's bits, row by row, as 16
    // hexadecimal digits.
    static std::string Checksum(const TableSamples& samples);

    // The part as a JSON document.
    static std::string Text(const Part& part);
    // Writes the part aside and moves it into place; throws DocumentError naming the file.
    static void Write(const std::string& path, const Part& part);
    // Reads a part file; throws DocumentError "<name>: <what>" for a file that cannot be read,
    // is not a part file, or has a field missing or wrong, named by its path
    // ("searches[2].model.inputs[0].gain is not a hexadecimal number").
    static Part Parse(const std::string& text, const std::string& name);
    static Part Read(const std::string& path);

    // The merge's data, which a part's models must fit: as many inputs, delays below the rows.
    struct DataShape {
        std::size_t Inputs = 1;
        std::size_t Rows = 0;
    };

    RestartParts(Identity expected, DataShape data);
    // Takes the part read from `name`. Throws DocumentError naming the file when it is of
    // another run, another number of slices, a slice already added, does not hold every
    // search of its slice, or holds a model that does not fit the data (naming its field).
    void Add(const std::string& name, Part part);
    // Every search of every slice in index order, with slice 0's evolution table. Throws
    // DocumentError for the first slice missing: "slice 3 of 4 is missing: rerun it with
    // --restart-slice 3/4", or when no part was added.
    const Part& Merged() const;
    // "slice 3 of 4 is missing: rerun it with --restart-slice 3/4".
    static std::string MissingSlice(std::size_t slice, std::size_t slices);

private:
    void CheckSameRun(const std::string& name, const Part& part) const;
    void CheckComplete(const std::string& name, const Part& part) const;
    void CheckModels(const std::string& name, const Part& part) const;
    void CheckModel(const FieldReader& reader, const LinearModel& model,
                    const std::string& field) const;

    Identity expected;
    DataShape data;
    // The file each slice came from; empty for a slice not added.
    std::vector<std::string> names;
    Part merged;
};

} // namespace orvanel
