// The files orvanel-identify reads its rows from: the data files, one experiment each, and the
// validation files, checked against each other and handed to the run.
#pragma once

#include "document/formats/DataImport.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class IdentificationRun;
struct IdentifyOptions;

class CommandInputs {
public:
    // The data file: in the program's own format loaded as the program loads a document, its
    // cells read as numbers with "."; a delimited file as `choice` describes it. Throws
    // DataError saying why in one line.
    static ImportedData Read(const std::string& path, const ImportChoice& choice);
    // Every data file as the first is read; all must have its columns, by count and, where both
    // name them, by name (else DataError).
    static std::vector<ImportedData> Experiments(const IdentifyOptions& options);
    // The experiments to the run: the data file alone as always, or several together; the
    // run's refusal.
    static std::optional<std::string> HandOver(IdentificationRun& run,
                                               const IdentifyOptions& options,
                                               const std::vector<ImportedData>& experiments);
    // Each validation file as the data file is read, to judge the model on; their columns must
    // be the data file's (the refusal otherwise). A file with the very rows of a data file
    // judges nothing new: `warnings` says so.
    static std::optional<std::string> AddValidation(IdentificationRun& run,
                                                    const IdentifyOptions& options,
                                                    const std::vector<ImportedData>& experiments,
                                                    std::vector<std::string>& warnings);
};

} // namespace orvanel
