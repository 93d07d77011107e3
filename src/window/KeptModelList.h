// A document's kept models as its runs and imports add them and edits of its table outdate them.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvanel {

class DocumentHost;
class IdentificationRun;
struct KeptModel;
class ModelExport;
class TableSamples;
class TMDIMainChild;

// Keeps, over the document's run history, which entry is the last run's own final model and
// which entries were computed on the table before its last edit.
class KeptModelList {
public:
    // The list of `document`'s models, showing its errors through `host`; both must outlive it.
    KeptModelList(TMDIMainChild& document, DocumentHost& host);

    // Adds the final model of `run`, which ended with one, to the document's models, chosen, as
    // the last run's own entry.
    void KeepRun(const IdentificationRun& run);
    // The chosen kept model when it is not the last run's own entry while `resultShown` (the run
    // shows its final model as it left it); null while `running` and when nothing is chosen.
    const KeptModel* Chosen(bool running, bool resultShown) const;
    // Reads the model file at `path` into the document's models, simulated on the samples
    // `readTable` returns. Throws when the file cannot be read or the model not simulated.
    void Import(const QString& path, const std::function<TableSamples()>& readTable);
    // The table's data changed: every model kept until now was computed on other rows.
    void TableEdited();
    // Simulates the chosen and overlaid models kept before the last edit on the samples
    // `readTable` returns, called once and only when there is such a model; a table that cannot
    // be read or simulated on is shown as an error naming the model and the document.
    void RefreshEdited(const std::function<TableSamples()>& readTable);
    // No entry is the last run's own any more and none is outdated.
    void Forget();

    // The table's input names from 1, empty where the table has none.
    std::vector<std::string> InputNames() const;
    // The exports name the inputs and output as the grid's headers do, when the table has names.
    void NameColumns(ModelExport& model) const;
    // A kept model of a run described for export: its factors, offsets and fit figures; nothing
    // for a model read from a file.
    std::optional<ModelExport> DescriptionOf(const KeptModel& kept) const;

private:
    TMDIMainChild& document_;
    DocumentHost& host_;
    // The history entry of the last run's final model, while it is shown as the run left it;
    // 0 for none.
    int lastRunId_ = 0;
    // The kept models whose outputs were computed before the table's last edit.
    std::set<int> editedIds_;
};

} // namespace orvanel
