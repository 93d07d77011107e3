#include "window/ProjectKeeper.h"

#include "document/table/DocumentError.h"
#include "document/table/TableSamples.h"
#include "document/table/TableText.h"
#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"
#include "window/LocaleText.h"
#include "window/MDIMainChild.h"

namespace orvanel {

ProjectDocument ProjectKeeper::Describe(TMDIMainChild& window, bool embed) {
    const Document& document = window.Doc();
    const DataTable& table = document.Table();
    ProjectDocument saved;
    saved.Caption = document.Caption();
    const bool fileHoldsRows =
        !document.DocumentPath().empty() && !document.Modified() && !document.Source();
    if (embed || !fileHoldsRows) {
        saved.EmbeddedRows = TableText::DataRowsText(table);
    } else {
        saved.DataPath = document.DocumentPath();
    }
    for (int input = 1; input <= table.InputCount(); ++input) {
        saved.InputNames.push_back(table.InputName(input));
    }
    saved.OutputName = table.OutputName();
    saved.SampleTime = document.SampleTime();
    saved.Options = document.Options();
    for (const RunParameter* parameter : RunParameters::All()) {
        saved.Parameters.emplace_back(std::string(parameter->Flag.substr(2)),
                                      parameter->Read(window.Engine()));
    }
    saved.Models = document.History().Models();
    saved.Chosen = document.History().Chosen();
    return saved;
}

void ProjectKeeper::Save(const std::string& path, const QList<TMDIMainChild*>& windows,
                         bool embed) {
    std::vector<ProjectDocument> documents;
    for (TMDIMainChild* window : windows) {
        documents.push_back(Describe(*window, embed));
    }
    ProjectFile::Write(path, documents);
    for (TMDIMainChild* window : windows) {
        window->Doc().History().MarkSaved();
    }
}

void ProjectKeeper::Restore(TMDIMainChild& window, const ProjectDocument& saved) {
    if (saved.DataPath.empty()) {
        window.LoadProjectRows(saved.EmbeddedRows);
    } else {
        window.LoadDocument(QString::fromStdString(saved.DataPath));
    }
    Document& document = window.Doc();
    document.Table().SetColumnNames(saved.InputNames, saved.OutputName);
    document.SetSampleTime(saved.SampleTime);
    document.Options() = saved.Options;
    for (const auto& [name, value] : saved.Parameters) {
        for (const RunParameter* parameter : RunParameters::All()) {
            if (parameter->Flag.substr(2) == name) {
                parameter->Store(window.Engine(), value);
            }
        }
    }
    const TableSamples samples =
        TableSamples::FromTable(document.Table(), LocaleDecimalSeparator());
    RunHistory& history = document.History();
    for (KeptModel model : saved.Models) {
        try {
            model.SimulateOn(samples, model.ValidationBegins);
        } catch (const DocumentError& error) {
            throw DocumentError("The model " + model.Name + " of " + saved.Caption + ": " +
                                error.what());
        }
        history.Add(std::move(model));
    }
    if (saved.Chosen) {
        history.Choose(*saved.Chosen);
    }
    history.MarkSaved();
}

} // namespace orvanel
