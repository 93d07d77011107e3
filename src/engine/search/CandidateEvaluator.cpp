#include "engine/search/CandidateEvaluator.h"

#include "engine/search/Genetico.h"
#include "model/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace orvanel {
namespace {

// Models scored together in one task at most.
constexpr std::size_t ModelsPerBatch = 4;

// Whether the transfer function, or the model, is sure to fail before any sample is simulated.
bool FailsBeforeSimulation(TFunTrans& function) {
    return !function.DecodeModel() || !function.Admissible();
}

bool FailsBeforeSimulation(TMISOFunTrans& individual) {
    const auto functions = individual.Functions();
    return std::any_of(functions.begin(), functions.end(),
                       [](TFunTrans& function) { return FailsBeforeSimulation(function); });
}

} // namespace

CandidateEvaluator::CandidateEvaluator(const TGenetico& engine, const bool& running,
                                       std::function<void(std::size_t)> stopPoint)
    : engine(engine), running(running), stopPoint(std::move(stopPoint)) {}

CandidateEvaluator::~CandidateEvaluator() = default;

int CandidateEvaluator::ThreadCount() {
    return Workers().ThreadCount();
}

double CandidateEvaluator::Evaluate(TMISOFunTrans& individual) {
    ++evaluationCount;
    return individual.Evaluate();
}

// A long evaluation goes a share at a time, so that the owner is served and a stop seen in
// between; the models are independent, so the results are the same.
void CandidateEvaluator::EvaluateAll(std::span<TMISOFunTrans* const> individuals) {
    if (!running || individuals.size() <= StopCheckPeriod) {
        EvaluateShare(individuals);
        return;
    }
    for (std::size_t done = 0; done < individuals.size();) {
        const std::size_t share = std::min(StopCheckPeriod, individuals.size() - done);
        EvaluateShare(individuals.subspan(done, share));
        done += share;
        stopPoint(done);
    }
}

void CandidateEvaluator::EvaluateShare(std::span<TMISOFunTrans* const> individuals) {
    evaluationCount += static_cast<std::int64_t>(individuals.size());
    if (!engine.ScoreTogether) {
        Workers().ForEach(individuals.size(), [&](std::size_t i) { individuals[i]->Evaluate(); });
        return;
    }
    // Batches small enough to share the work out among the threads, large enough to fill
    // the vector lanes with the transfer functions of several models.
    const std::size_t threads = static_cast<std::size_t>(Workers().ThreadCount());
    const std::size_t size =
        std::clamp<std::size_t>(individuals.size() / (2 * threads), 1, ModelsPerBatch);
    const std::size_t batches = (individuals.size() + size - 1) / size;
    Workers().ForEach(batches, [&](std::size_t b) {
        const std::size_t first = b * size;
        // Only the best model's output is ever shown; UpdateBest evaluates it in full.
        TMISOFunTrans::ScoreAll(
            individuals.subspan(first, std::min(size, individuals.size() - first)), false, false);
    });
}

// With the cache on, a filling whose transfer functions do not all decode into models Simulate
// accepts is certain to get Error 1e300 and be drawn again or repaired: it is marked screened
// instead of simulated.
void CandidateEvaluator::ScoreFillings(std::vector<TMISOFunTrans>& fillings,
                                       std::vector<char>& screened) {
    if (!engine.ScoreTogether) {
        Workers().ForEach(fillings.size(), [&](std::size_t b) {
            screened[b] = engine.CacheEvaluations && FailsBeforeSimulation(fillings[b]);
            if (screened[b])
                fillings[b].Error = TFunTrans::FailedError;
            else
                fillings[b].Evaluate();
        });
        evaluationCount += std::count(screened.begin(), screened.end(), 0);
        return;
    }
    std::vector<TMISOFunTrans*> simulated;
    for (std::size_t b = 0; b < fillings.size(); ++b) {
        screened[b] = engine.CacheEvaluations && FailsBeforeSimulation(fillings[b]);
        if (screened[b])
            fillings[b].Error = TFunTrans::FailedError;
        else
            simulated.push_back(&fillings[b]);
    }
    EvaluateAll(simulated);
}

// With many inputs a random individual whose every transfer function is usable is too rare
// to be drawn whole (about 0.74 to the power of the inputs), so the last filling keeps the
// transfer functions that work and has the others drawn again one by one.
// The fast search judges every transfer function's first genes at once, scoring the whole
// model in the lanes: each one's own error, which decides, is the same as alone.
void CandidateEvaluator::Repair(TMISOFunTrans& individual, std::size_t samples,
                                const std::function<void(TFunTrans&)>& redraw) {
    // Working memory for the functions judged alone, made when the first one is.
    std::vector<double> sum;
    std::vector<double> scratch;
    const auto usableAlone = [&](TFunTrans& function) {
        sum.resize(samples);
        scratch.resize(sum.size());
        return UsableAlone(function, sum, scratch);
    };
    if (engine.ScoreTogether)
        ScoreOnEveryCore(individual);
    for (TFunTrans& function : individual.Functions()) {
        for (int draws = 1; draws < MaxFillings; ++draws) {
            const bool usable = draws == 1 && engine.ScoreTogether
                                    ? function.Error <= AcceptableError
                                    : usableAlone(function);
            if (usable)
                break;
            redraw(function);
        }
    }
    if (!engine.ScoreTogether) {
        Evaluate(individual);
        return;
    }
    ++evaluationCount;
    ScoreOnEveryCore(individual);
}

void CandidateEvaluator::ScoreOnEveryCore(TMISOFunTrans& individual) {
    TMISOFunTrans* const model = &individual;
    TMISOFunTrans::ScoreAll(std::span(&model, 1), false, false, Workers().ThreadCount());
}

// Whether the transfer function decodes, is admissible and simulates to an acceptable error
// against the measured output by itself.
bool CandidateEvaluator::UsableAlone(TFunTrans& function, std::vector<double>& sum,
                                     std::vector<double>& scratch) {
    if (FailsBeforeSimulation(function))
        return false;
    return function.EvaluateAdding(sum.data(), scratch.data()) <= AcceptableError;
}

void CandidateEvaluator::EvaluateInFull(TMISOFunTrans& individual) {
    if (!engine.ScoreTogether) {
        Evaluate(individual);
        return;
    }
    ++evaluationCount;
    individual.Score(Workers().ThreadCount());
    for (TFunTrans& function : individual.Functions())
        function.Decode();
}

WorkerPool& CandidateEvaluator::Workers() {
    const int wanted = engine.ThreadCount > 0 ? engine.ThreadCount : WorkerPool::HardwareThreads();
    if (!workers || workers->ThreadCount() != wanted) {
        workers = std::make_unique<WorkerPool>(wanted);
        workers->Idle = [this] {
            if (engine.KeepResponsive)
                engine.KeepResponsive();
        };
    }
    workers->IdleInterval = engine.ResponsiveInterval;
    return *workers;
}

} // namespace orvanel
