// A project: the open documents with their data, options and kept models, in one JSON file.
#pragma once

#include "document/project/KeptModel.h"
#include "document/run/IdentificationOptions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvanel {

// What a project keeps of one document. The data are either embedded, as the text of the
// program's data format, or named by the data file's path; the data format is unchanged.
struct ProjectDocument {
    std::string Caption;
    // The data file's path when the data are not embedded.
    std::string DataPath;
    // The data rows as the program's data file holds them, when embedded.
    std::string EmbeddedRows;
    std::vector<std::string> InputNames;
    std::string OutputName;
    std::optional<double> SampleTime;
    IdentificationOptions Options;
    // The engine's parameters by the command's flag without dashes ("population"...).
    std::vector<std::pair<std::string, double>> Parameters;
    std::vector<KeptModel> Models;
    std::optional<std::size_t> Chosen;
};

// Every number is written so that it reads back as the same double; Computed and the fit
// figures of a model are not kept: they are computed again from its document's data.
class ProjectFile {
public:
    static constexpr const char* Extension = ".orvanel";

    // The project as a JSON document (two-space indent, a final line break).
    static std::string Text(const std::vector<ProjectDocument>& documents);
    // Writes Text aside and moves it into place. Throws DocumentError "Cannot save the project
    // <path>: <reason>" or "The project <path> could not be written completely: <reason>";
    // a file already there is then left as it was.
    static void Write(const std::string& path, const std::vector<ProjectDocument>& documents);
    // Reads and checks a project. Throws DocumentError "<path>: <what>": not JSON, not a
    // project of this program, a format version it does not know, or a field missing or
    // wrong, named by its path ("documents[0].models[1].model.inputs[0].delay is missing").
    static std::vector<ProjectDocument> Read(const std::string& path);
    static std::vector<ProjectDocument> Parse(const std::string& text, const std::string& path);
};

} // namespace orvanel
