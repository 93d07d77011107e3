#include "cli/SampleFile.h"

#include "document/Document.h"
#include "document/DocumentError.h"
#include "model/NumberText.h"

namespace orvanel {

std::span<const double> SampleTable::Row(int sample) const {
    const auto width = static_cast<std::size_t>(Inputs + 1);
    return std::span<const double>(Values).subspan(static_cast<std::size_t>(sample) * width, width);
}

SampleTable SampleFile::Read(const std::string& path) {
    Document document("");
    try {
        document.LoadDocument(path);
    } catch (const DocumentError& error) {
        throw DataError(std::string("Error opening the file. Check its format. ") + error.what());
    }
    return FromTable(document.Table());
}

SampleTable SampleFile::FromTable(const DataTable& table) {
    SampleTable samples;
    samples.Inputs = table.InputCount();
    samples.Samples = table.DataPointCount();
    const int columns = samples.Inputs + 1;
    samples.Values.reserve(static_cast<std::size_t>(columns) *
                           static_cast<std::size_t>(samples.Samples));
    for (int r = 1; r <= samples.Samples; ++r) {
        for (int c = 1; c <= columns; ++c) {
            const std::optional<double> value = ParseNumber(table.DataCell(r, c));
            if (!value) {
                throw DataError("Input data could not be understood. Execution cancelled. Row " +
                                std::to_string(r) + ", column " + std::to_string(c) +
                                " is not a number.");
            }
            samples.Values.push_back(*value);
        }
    }
    return samples;
}

} // namespace orvanel
