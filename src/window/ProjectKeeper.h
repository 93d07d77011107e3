// A document window described for a project file, and a new one filled from it.
#pragma once

#include "document/project/ProjectFile.h"

#include <QList>

namespace orvanel {

class TMDIMainChild;

class ProjectKeeper {
public:
    // The document's data, names, options, engine parameters and kept models. The rows are
    // embedded when `embed` is asked for, and also when no data file holds them as they are:
    // a new or edited table, or one imported from another format.
    static ProjectDocument Describe(TMDIMainChild& window, bool embed);
    // Fills a new document window: its data from the embedded rows or the data file, then
    // the rest, every model simulated on the data as it is kept. Throws DocumentError naming
    // the file or the model when the data cannot be read or a model does not fit them.
    static void Restore(TMDIMainChild& window, const ProjectDocument& saved);
    // Writes the windows' documents as a project to `path` (ProjectFile::Write); afterwards
    // their models count as saved. Throws DocumentError as Write does.
    static void Save(const std::string& path, const QList<TMDIMainChild*>& windows, bool embed);
};

} // namespace orvanel
