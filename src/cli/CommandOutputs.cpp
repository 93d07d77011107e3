#include "cli/CommandOutputs.h"

#include "cli/IdentifyOptions.h"
#include "document/table/ReplacementFile.h"

#include <exception>
#include <filesystem>
#include <utility>

namespace orvanel {

namespace {

// The same file by identity (links and hard links included), or by name when it does not
// exist yet: "./x.json" and "x.json" are one.
bool NamesTheSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error))
        return true;
    std::error_code errorA;
    std::error_code errorB;
    const auto pathA = std::filesystem::weakly_canonical(std::filesystem::absolute(a), errorA);
    const auto pathB = std::filesystem::weakly_canonical(std::filesystem::absolute(b), errorB);
    return !errorA && !errorB && pathA.lexically_normal() == pathB.lexically_normal();
}

// The files the command reads, which no output may replace, each with what it is.
std::vector<std::pair<std::string, std::string>> InputsOf(const IdentifyOptions& options) {
    std::vector<std::pair<std::string, std::string>> inputs;
    for (const std::string& path : options.DataPaths)
        inputs.emplace_back("the data file", path);
    for (const std::string& path : options.ValidationPaths)
        inputs.emplace_back("the validation data", path);
    if (!options.ModelPath.empty())
        inputs.emplace_back("the model", options.ModelPath);
    for (const std::string& path : options.MergePaths)
        inputs.emplace_back("the part file", path);
    return inputs;
}

std::string WhatReplaces(const CommandOutputs::Output& output) {
    if (output.Flag == "--report")
        return "The report";
    if (output.Flag == "--part")
        return "The part file";
    return output.Flag == "--export" ? "The export" : "The computed output";
}

} // namespace

std::vector<CommandOutputs::Output> CommandOutputs::Of(const IdentifyOptions& options,
                                                       const std::string& reportPath) {
    std::vector<Output> outputs = {{"--report", reportPath}};
    for (const std::string& path : options.ExportPaths)
        outputs.push_back({"--export", path});
    if (!options.SimulatedOutputPath.empty()) {
        if (options.DataPaths.size() > 1) {
            for (std::size_t k = 1; k <= options.DataPaths.size(); ++k)
                outputs.push_back({"--simulated-output", options.ExperimentOutputPath(k)});
        } else {
            outputs.push_back({"--simulated-output", options.SimulatedOutputPath});
        }
        for (std::size_t k = 1; k <= options.ValidationPaths.size(); ++k)
            outputs.push_back({"--simulated-output", options.ValidationOutputPath(k)});
    }
    return outputs;
}

std::optional<std::string> CommandOutputs::Refusal(const std::vector<Output>& outputs,
                                                   const IdentifyOptions& options) {
    const auto inputs = InputsOf(options);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const auto& [what, input] : inputs) {
            if (NamesTheSameFile(outputs[i].Path, input))
                return WhatReplaces(outputs[i]) + " would replace " + what + " " + input;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (NamesTheSameFile(outputs[i].Path, outputs[j].Path))
                return outputs[j].Flag + " " + outputs[j].Path + " and " + outputs[i].Flag + " " +
                       outputs[i].Path + " are the same file";
        }
    }
    // The report too: a run spread over processes begins it only after the searches.
    for (const Output& output : outputs) {
        const std::string cannotCreate =
            output.Flag == "--report"   ? "Cannot create the report file " + output.Path
            : output.Flag == "--export" ? "Cannot export the model to " + output.Path
                                        : "Cannot create the file " + output.Path;
        try {
            // Made and dropped again: the folder, the name and the file there are checked as
            // the writing will check them.
            const ReplacementFile probe(output.Path, ReplacementFile::Links::Replace, cannotCreate,
                                        cannotCreate);
        } catch (const std::exception& error) {
            return std::string(error.what());
        }
    }
    return std::nullopt;
}

} // namespace orvanel
