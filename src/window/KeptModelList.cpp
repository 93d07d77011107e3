#include "window/KeptModelList.h"

#include "document/formats/ModelExport.h"
#include "document/formats/ModelFile.h"
#include "document/project/KeptModel.h"
#include "document/run/IdentificationRun.h"
#include "document/table/TableSamples.h"
#include "window/DocumentHost.h"
#include "window/MDIMainChild.h"
#include "window/UserDialogs.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <exception>

namespace orvanel {

namespace {

// The time now in UTC, as ISO 8601 to the second.
std::string TimeNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text.data();
}

} // namespace

KeptModelList::KeptModelList(TMDIMainChild& document, DocumentHost& host)
    : document_(document), host_(host) {}

void KeptModelList::KeepRun(const IdentificationRun& run) {
    const IdentifiedModel& result = *run.Result();
    KeptModel kept;
    kept.Origin = "Run on " + document_.Doc().Caption();
    kept.Coefficients = KeptModel::CoefficientsOf(result.Model, result.Offsets,
                                                  run.Resolved().RemoveOffsets, InputNames());
    kept.Coefficients.SampleTime = document_.Doc().SampleTime();
    kept.Factors = result.Model;
    kept.Options = document_.Doc().Options();
    kept.Seed = run.StartState();
    kept.Time = TimeNow();
    kept.Stopped = run.Stopped() != IdentificationRun::StopPhase::None;
    kept.Computed = result.Computed;
    kept.ValidationBegins = result.ValidationBegins;
    kept.EstimationFit = result.EstimationFit;
    kept.ValidationFit = result.ValidationFit;
    lastRunId_ = document_.Doc().History().Add(std::move(kept)).Id;
}

const KeptModel* KeptModelList::Chosen(bool running, bool resultShown) const {
    const KeptModel* chosen = document_.Doc().History().ChosenModel();
    if (running || chosen == nullptr || (resultShown && chosen->Id == lastRunId_)) {
        return nullptr;
    }
    return chosen;
}

void KeptModelList::Import(const QString& path, const std::function<TableSamples()>& readTable) {
    const std::string file = QFile::encodeName(path).toStdString();
    KeptModel model;
    model.Coefficients = ModelFile::Read(file);
    model.Name = QFileInfo(path).completeBaseName().toStdString();
    model.Origin = "Imported from " + file;
    model.Time = TimeNow();
    const TableSamples samples = readTable();
    model.SimulateOn(samples, static_cast<std::size_t>(samples.Samples()));
    document_.Doc().History().Add(std::move(model));
}

void KeptModelList::TableEdited() {
    for (const KeptModel& model : document_.Doc().History().Models()) {
        editedIds_.insert(model.Id);
    }
}

void KeptModelList::RefreshEdited(const std::function<TableSamples()>& readTable) {
    RunHistory& history = document_.Doc().History();
    std::vector<KeptModel*> due;
    for (std::size_t k = 0; k < history.Models().size(); ++k) {
        const KeptModel& model = history.Models()[k];
        if (editedIds_.count(model.Id) != 0 && (history.Chosen() == k || model.Overlaid)) {
            due.push_back(history.Find(model.Id));
        }
    }
    if (due.empty()) {
        return;
    }
    KeptModel* simulated = due.front();
    try {
        const TableSamples samples = readTable();
        const auto rows = static_cast<std::size_t>(samples.Samples());
        for (KeptModel* model : due) {
            simulated = model;
            // A model judged on all its rows is judged on all of them again.
            model->SimulateOn(samples, model->ValidationBegins < model->Computed.size()
                                           ? model->ValidationBegins
                                           : rows);
            editedIds_.erase(model->Id);
            // The run's own output and figures were those of the rows it ran on.
            if (model->Id == lastRunId_) {
                lastRunId_ = 0;
            }
        }
    } catch (const std::exception& error) {
        host_.Dialogs().ShowError(&document_, QStringLiteral("Cannot simulate %1 on %2: %3")
                                                  .arg(QString::fromStdString(simulated->Name),
                                                       document_.windowTitle(),
                                                       QString::fromUtf8(error.what())));
    }
}

std::vector<std::string> KeptModelList::InputNames() const {
    const DataTable& table = document_.Doc().Table();
    std::vector<std::string> names;
    for (int input = 1; input <= table.InputCount(); ++input) {
        names.push_back(table.InputName(input));
    }
    return names;
}

void KeptModelList::NameColumns(ModelExport& model) const {
    const DataTable& table = document_.Doc().Table();
    std::vector<std::string> names = InputNames();
    if (std::all_of(names.begin(), names.end(),
                    [](const std::string& name) { return name.empty(); })) {
        names.clear();
    } else {
        for (int input = 1; input <= table.InputCount(); ++input) {
            names[static_cast<std::size_t>(input) - 1] = table.InputHeader(input);
        }
    }
    model.InputNames = std::move(names);
    model.OutputName = table.OutputName();
}

std::optional<ModelExport> KeptModelList::DescriptionOf(const KeptModel& kept) const {
    if (!kept.Factors) {
        return std::nullopt;
    }
    ModelExport description;
    description.Model = *kept.Factors;
    if (kept.Coefficients.InputOffsets) {
        description.RemovedOffsets =
            ModelExport::Offsets{*kept.Coefficients.InputOffsets, kept.Coefficients.OutputOffset};
    }
    description.SampleTime = document_.Doc().SampleTime();
    description.Fit = {{"estimation_fit_percent", kept.EstimationFit}};
    if (kept.ValidationBegins < kept.Computed.size()) {
        description.Fit.push_back({"validation_fit_percent", kept.ValidationFit});
    }
    description.DataFile = document_.Doc().DocumentPath();
    NameColumns(description);
    return description;
}

void KeptModelList::Forget() {
    lastRunId_ = 0;
    editedIds_.clear();
}

} // namespace orvanel
