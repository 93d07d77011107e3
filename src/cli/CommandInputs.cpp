#include "cli/CommandInputs.h"

#include "cli/DataError.h"
#include "cli/IdentifyOptions.h"
#include "document/run/IdentificationRun.h"
#include "document/table/DocumentError.h"
#include "document/table/TableSamples.h"

namespace orvanel {

namespace {

std::string InputsText(int inputs) {
    return std::to_string(inputs) + (inputs == 1 ? " input" : " inputs");
}

} // namespace

ImportedData CommandInputs::Read(const std::string& path, const ImportChoice& choice) {
    try {
        return DataImport::Read(path, choice);
    } catch (const BadCellError& error) {
        throw DataError(error.what());
    } catch (const ImportError& error) {
        throw DataError(path + ": " + error.what());
    } catch (const DocumentError& error) {
        throw DataError(std::string("Error opening the file. Check its format. ") + error.what());
    }
}

std::optional<std::string>
CommandInputs::AddValidation(IdentificationRun& run, const IdentifyOptions& options,
                             const std::vector<ImportedData>& experiments,
                             std::vector<std::string>& warnings) {
    const ImportedData& data = experiments.front();
    for (const std::string& path : options.ValidationPaths) {
        const ImportedData other = Read(path, options.Import);
        for (std::size_t k = 0; k < experiments.size(); ++k) {
            if (other.Samples == experiments[k].Samples)
                warnings.push_back("The validation data " + path + " are the rows of " +
                                   options.DataPaths[k] +
                                   ", which the model was fitted to: their fit validates nothing");
        }
        if (!other.InputNames.empty() && !data.InputNames.empty() &&
            (other.InputNames != data.InputNames || other.OutputName != data.OutputName))
            return "The validation data " + path + " have other columns than " + options.DataPath +
                   ": choose them with --inputs and --output";
        if (auto refusal = run.AddOtherData(path, other.Samples))
            return refusal;
    }
    return std::nullopt;
}

std::vector<ImportedData> CommandInputs::Experiments(const IdentifyOptions& options) {
    std::vector<ImportedData> experiments;
    for (const std::string& path : options.DataPaths) {
        ImportedData data = Read(path, options.Import);
        if (!experiments.empty()) {
            const ImportedData& first = experiments.front();
            const int inputs = first.Samples.Inputs();
            if (data.Samples.Inputs() != inputs)
                throw DataError("The data file " + path + " has " +
                                InputsText(data.Samples.Inputs()) + " where " + options.DataPath +
                                " has " + InputsText(inputs) +
                                ": every data file needs the same columns");
            if (!data.InputNames.empty() && !first.InputNames.empty() &&
                (data.InputNames != first.InputNames || data.OutputName != first.OutputName))
                throw DataError("The data file " + path + " has other columns than " +
                                options.DataPath + ": choose them with --inputs and --output");
        }
        experiments.push_back(std::move(data));
    }
    return experiments;
}

std::optional<std::string> CommandInputs::HandOver(IdentificationRun& run,
                                                   const IdentifyOptions& options,
                                                   const std::vector<ImportedData>& experiments) {
    if (experiments.size() == 1)
        return run.HandOver(experiments.front().Samples);
    std::vector<TableSamples> samples;
    for (const ImportedData& data : experiments)
        samples.push_back(data.Samples);
    return run.HandOver(samples, options.DataPaths);
}

} // namespace orvanel
