#include "document/IdentificationRun.h"

#include "document/TableSamples.h"
#include "engine/Genetico.h"

#include <exception>
#include <utility>

namespace orvanel {

IdentificationRun::IdentificationRun(TGenetico& engine) : engine(engine) {}

std::optional<std::string> IdentificationRun::HandOver(const TableSamples& samples) {
    engine.RequestStop();
    samples.HandTo(engine);
    engine.SetGenesPerInput(GenesPerInput);
    for (int g = 0; g < GenesPerInput; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
    return engine.RunRefusal();
}

void IdentificationRun::BeginReport(const std::string& path, ReportSeparators separators) {
    report = RunReport(std::move(separators));
    reportBegun = false;
    report.BeginReport(path, engine);
    reportBegun = true;
}

std::string IdentificationRun::Run() {
    std::string failure;
    try {
        RunEngine();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return Finish(std::move(failure));
}

std::string IdentificationRun::Finish(std::string failure) {
    try {
        report.EndReport(engine, failure);
    } catch (const std::exception& error) {
        if (failure.empty())
            return error.what();
    }
    return failure.empty() ? failure : RunReport::FailureText(failure);
}

// The hooks hold this run's callbacks only while it runs, so a later run or a destroyed owner
// is never called back.
void IdentificationRun::RunEngine() {
    engine.AppendEvolutionRow = [this](const TGenetico& e) {
        report.AppendEvolutionRow(e);
        if (OnRow)
            OnRow(e);
    };
    engine.ProcessMessages = OnProgress;
    engine.KeepResponsive = OnResponsive;
    const auto clearHooks = [this] {
        engine.AppendEvolutionRow = nullptr;
        engine.ProcessMessages = nullptr;
        engine.KeepResponsive = nullptr;
    };
    try {
        if (BeforeRun)
            BeforeRun();
        engine.Run();
    } catch (...) {
        clearHooks();
        throw;
    }
    clearHooks();
}

} // namespace orvanel
