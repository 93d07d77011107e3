#include "document/run/RestartSearches.h"

#include "engine/search/RunParameters.h"
#include "model/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <span>
#include <stdexcept>
#include <utility>

namespace orvanel {
namespace {

// The k-th draw of the run's own sequence, drawn by this thread's random source.
double RestartDraw(int k, const Rnd::State& seed) {
    Rnd::GlobalState() = seed;
    double draw = 0.0;
    for (int j = 0; j < k; ++j)
        draw = Rnd::RandomReal();
    return draw;
}

std::uint32_t RestartSystemSeed(int k, const Rnd::State& seed) {
    return seed.SystemSeed + static_cast<std::uint32_t>(k) * 2654435761u;
}

// Restart k's random source.
void SeedRestart(int k, const Rnd::State& seed) {
    Rnd::SeedRandom(RestartDraw(k, seed));
    Rnd::GlobalState().SystemSeed = RestartSystemSeed(k, seed);
}

void CopySettings(const TGenetico& from, TGenetico& to) {
    for (const RunParameter* parameter : RunParameters::All())
        parameter->Store(to, parameter->Read(from));
    to.SetGenesPerInput(from.GenesPerInput());
    for (int g = 0; g < from.GenesPerInput(); ++g)
        to.SetGeneRange(g, from.GeneMin()[static_cast<std::size_t>(g)],
                        from.GeneMax()[static_cast<std::size_t>(g)]);
    to.CacheEvaluations = from.CacheEvaluations;
    to.ScoreTogether = from.ScoreTogether;
}

} // namespace

RestartSearches::RestartSearches(const TGenetico& engine, const Rnd::State& seed) : seed(seed) {
    CopySettings(engine, settings);
}

void RestartSearches::HandRows(const ModelSummary::Data& rows, TGenetico& target) {
    const std::size_t width = rows.Inputs.size() + 1;
    const int inputs = static_cast<int>(width) - 1;
    target.SetDataSize(inputs, static_cast<int>(rows.Rows));
    std::vector<double> row(width);
    std::vector<std::span<const double>> estimation = rows.Inputs;
    estimation.push_back(rows.Output);
    for (std::size_t r = 0; r < rows.Rows; ++r) {
        for (std::size_t c = 0; c < width; ++c)
            row[c] = estimation[c][r];
        target.SetDataRow(row, static_cast<int>(r) + 1);
    }
    target.SetExperiments(rows.Parts);
    target.SetInputCount(inputs);
}

std::optional<RestartSearches::Found>
RestartSearches::Restart(int k, const SearchPolish& polish, const std::atomic<bool>& stop) const {
    // The calling thread may be the run's own: its random source is left as the run left it.
    const Rnd::State own = Rnd::GlobalState();
    std::optional<Found> found;
    try {
        found = Search(k, polish, stop);
    } catch (...) {
        Rnd::GlobalState() = own;
        throw;
    }
    Rnd::GlobalState() = own;
    return found;
}

std::optional<RestartSearches::Found> RestartSearches::Search(int k, const SearchPolish& polish,
                                                              const std::atomic<bool>& stop) const {
    TGenetico search;
    CopySettings(settings, search);
    search.ThreadCount = 1;
    HandRows(polish.Rows(), search);
    std::vector<LinearModel> candidates;
    search.AppendEvolutionRow = [&](const TGenetico& e) {
        SearchPolish::CollectCandidate(e, polish.Options(), candidates);
    };
    search.ProcessMessages = [&] {
        if (stop)
            search.RequestStop();
    };
    SeedRestart(k, seed);
    try {
        search.Run();
    } catch (const std::exception&) {
        // Stopped before its first generation: nothing found, which is no failure.
        if (!stop)
            throw;
    }
    if (stop)
        return std::nullopt;
    std::optional<Found> found = polish.Best(search, std::move(candidates), stop);
    // A restart whose refinement a stop cut short is left out like one stopped in its search.
    if (stop)
        return std::nullopt;
    if (found)
        found->Searched = SearchPolish::SearchBestOf(search);
    return found;
}

std::vector<std::size_t> RestartSearches::SliceIndices(RestartSlice slice, std::size_t searches) {
    std::vector<std::size_t> indices;
    const auto step = static_cast<std::size_t>(std::max(slice.Count, 1));
    for (auto k = static_cast<std::size_t>(std::max(slice.Index, 0)); k < searches; k += step)
        indices.push_back(k);
    return indices;
}

std::vector<FinishedSearch>
RestartSearches::Finished(const std::vector<std::size_t>& indices,
                          const std::vector<std::optional<Found>>& found, const Rnd::State& seed,
                          const SearchPolish& polish) {
    std::vector<FinishedSearch> searches;
    const Rnd::State own = Rnd::GlobalState();
    for (const std::size_t k : indices) {
        FinishedSearch search;
        search.Index = static_cast<int>(k);
        if (k > 0) {
            search.SeedDraw = RestartDraw(search.Index, seed);
            search.SystemSeed = RestartSystemSeed(search.Index, seed);
        }
        if (k < found.size() && found[k]) {
            search.Model = found[k]->Model;
            search.Error = found[k]->Error;
            search.Score = polish.Score(*found[k]);
            search.Searched = found[k]->Searched;
            search.Start = found[k]->Start;
        }
        searches.push_back(std::move(search));
    }
    Rnd::GlobalState() = own;
    return searches;
}

int RestartSearches::Completed(const std::vector<std::optional<Found>>& found, std::size_t count) {
    return static_cast<int>(std::count_if(found.begin(),
                                          found.begin() + static_cast<std::ptrdiff_t>(count),
                                          [](const auto& f) { return f.has_value(); }));
}

std::vector<std::optional<RestartSearches::Found>>
RestartSearches::FoundOf(const std::vector<FinishedSearch>& searches) {
    std::vector<std::optional<Found>> found(searches.size());
    for (const FinishedSearch& search : searches) {
        const auto k = static_cast<std::size_t>(search.Index);
        if (k >= found.size() || !search.Model)
            continue;
        found[k] = Found{*search.Model, search.Error, search.Searched};
        found[k]->Start = search.Start;
    }
    return found;
}

std::optional<std::string>
RestartSearches::ForeignModel(const std::vector<FinishedSearch>& searches,
                              const Refinement& refinement) {
    for (const FinishedSearch& search : searches) {
        if (!search.Model)
            continue;
        const double error = refinement.SquaredError(*search.Model);
        // The slice computed it alike; the margin only spares a machine of other rounding.
        if (!(std::fabs(error - search.Error) <= 1e-9 * std::fabs(search.Error)))
            return "Search " + std::to_string(search.Index + 1) + "'s model gives the squared " +
                   "error " + FormatGeneral(error, 15) + ", not the " +
                   FormatGeneral(search.Error, 15) + " it came with: its part was changed";
    }
    return std::nullopt;
}

// A search that failed (out of memory, say) is the run's error, not a model silently left out.
void RestartSearches::RethrowFirst(const std::vector<std::exception_ptr>& failures) {
    for (std::size_t k = 0; k < failures.size(); ++k) {
        if (!failures[k])
            continue;
        if (k == 0)
            std::rethrow_exception(failures[k]);
        try {
            std::rethrow_exception(failures[k]);
        } catch (const std::exception& error) {
            throw std::runtime_error("Search " + std::to_string(k + 1) + " of " +
                                     std::to_string(failures.size()) + " failed: " + error.what());
        }
    }
}

} // namespace orvanel
