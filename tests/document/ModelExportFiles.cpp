// Writes known models' exports with a data file and the program's own simulation of it, for the
// checks that run the exports in Python and Octave: model.{json,py,m} without offsets or
// sample time, offsets.{json,py,m} with both, names.{json,py,m} like model.* but found in a file
// whose name breaks careless exports, data.txt, reference.txt and offsets-reference.txt.
#include "document/formats/ModelExport.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

using orvanel::LinearModel;
using orvanel::ModelExport;

constexpr std::size_t Rows = 400;

std::string Number(double value) {
    char text[32];
    return std::string(text, std::to_chars(std::begin(text), std::end(text), value).ptr);
}

// Three inputs that exercise what the scripts must get right: a delay with a relative degree
// of one, a numerator as long as the denominator, and a numerator without zeros.
LinearModel KnownModel() {
    LinearModel model;
    model.Inputs.push_back({0.8, {{false, 0.5}}, {{true, 0.0, -1.2, 0.5}}, 2});
    model.Inputs.push_back({1.5, {{true, 0.0, 0.3, 0.2}}, {{false, 0.7}, {false, -0.4}}, 0});
    model.Inputs.push_back({-0.3, {}, {{false, 0.9}}, 3});
    return model;
}

std::vector<std::vector<double>> InputColumns() {
    std::vector<std::vector<double>> columns(3, std::vector<double>(Rows));
    for (std::size_t i = 0; i < Rows; ++i) {
        const double t = static_cast<double>(i);
        columns[0][i] = 40.0 + std::sin(0.07 * t) + (i / 25 % 2 == 0 ? 1.0 : -1.0);
        columns[1][i] = 3.5 + 0.5 * std::cos(0.19 * t);
        columns[2][i] = (i * 7919 % 101) / 50.0 - 1.0;
    }
    return columns;
}

std::vector<double> Simulate(const LinearModel& model, std::vector<std::vector<double>> columns,
                             const ModelExport::Offsets& offsets) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
        for (double& value : columns[k])
            value = value - offsets.InputMeans[k];
    }
    const std::vector<std::span<const double>> spans(columns.begin(), columns.end());
    std::vector<double> output = model.Simulate(spans, Rows);
    for (double& value : output)
        value = value + offsets.OutputMean;
    return output;
}

void WriteLines(const std::filesystem::path& path, const std::vector<double>& values) {
    std::ofstream file(path, std::ios::binary);
    for (double value : values)
        file << Number(value) << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: model_export_files FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::vector<std::vector<double>> columns = InputColumns();
    const ModelExport::Offsets none{{0.0, 0.0, 0.0}, 0.0};
    const ModelExport::Offsets offsets{{40.25, 3.5, -0.0625}, 12.5};

    ModelExport plain;
    plain.Model = KnownModel();
    plain.DataFile = (folder / "data.txt").string();
    // A byte that is not UTF-8, an encoding declaration for Python, a quote and line ends.
    ModelExport named = plain;
    named.DataFile = "/data/caf\xE9 -*- coding=foo -*- it's\n\r\x01.txt";
    ModelExport shifted = plain;
    shifted.RemovedOffsets = offsets;
    shifted.SampleTime = 0.25;

    const std::vector<double> reference = Simulate(plain.Model, columns, none);
    std::ofstream data(folder / "data.txt", std::ios::binary);
    for (std::size_t i = 0; i < Rows; ++i) {
        for (const std::vector<double>& column : columns)
            data << Number(column[i]) << "\t";
        data << Number(reference[i] + 0.01 * std::sin(static_cast<double>(i))) << "\r\n";
    }
    data.close();
    WriteLines(folder / "reference.txt", reference);
    WriteLines(folder / "offsets-reference.txt", Simulate(shifted.Model, columns, offsets));
    for (const char* extension : {".json", ".py", ".m"}) {
        plain.Write((folder / ("model" + std::string(extension))).string());
        shifted.Write((folder / ("offsets" + std::string(extension))).string());
        named.Write((folder / ("names" + std::string(extension))).string());
    }
    return 0;
}
