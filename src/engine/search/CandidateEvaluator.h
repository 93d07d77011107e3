// The genetic search's evaluation of candidate models on a pool of threads, and the repair of a
// random candidate whose transfer functions do not work.
#pragma once

#include "model/MISOFunTrans.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace orvanel {

class TGenetico;
class WorkerPool;

// Every evaluation made through it is counted. The engine's evaluation settings
// (ThreadCount, CacheEvaluations, ScoreTogether, KeepResponsive, ResponsiveInterval) are read
// at every use, since the owner may change them while a run yields.
class CandidateEvaluator {
public:
    // A random candidate of an error above this is drawn again or repaired...
    static constexpr double AcceptableError = 1e100;
    // ...at most this many times in all; the last filling is then repaired, each of its
    // transfer functions drawn up to this many times less one.
    static constexpr int MaxFillings = 501;
    // A loop of a run over this many individuals serves the owner and looks for a stop each
    // time it has handled that many more; a shorter one, like a generation of a usual
    // population, runs to its end. A long evaluation goes in shares of this size.
    static constexpr std::size_t StopCheckPeriod = 1024;

    // engine: whose settings are read. running: whether a run is in progress; only then does a
    // long evaluation go a share at a time, calling stopPoint after every share with the
    // number of models done, which may throw to end the step.
    CandidateEvaluator(const TGenetico& engine, const bool& running,
                       std::function<void(std::size_t)> stopPoint);
    ~CandidateEvaluator();
    CandidateEvaluator(const CandidateEvaluator&) = delete;
    CandidateEvaluator& operator=(const CandidateEvaluator&) = delete;

    // Evaluations made since creation.
    std::int64_t Count() const { return evaluationCount; }
    // The threads an evaluation is shared out among, as the engine now asks for.
    int ThreadCount();

    // Evaluates the individual and returns its Error.
    double Evaluate(TMISOFunTrans& individual);
    // Scores the individuals, in the lanes several at a time with ScoreTogether; the
    // coefficient texts are then not built.
    void EvaluateAll(std::span<TMISOFunTrans* const> individuals);
    // Evaluates new random individuals. With CacheEvaluations a filling that is sure to fail
    // before any sample is simulated gets Error FailedError unsimulated, and screened[b] is
    // set for it; screened must be as long as fillings.
    void ScoreFillings(std::vector<TMISOFunTrans>& fillings, std::vector<char>& screened);
    // Input by input, a transfer function that does not decode, is not admissible or whose
    // own error against samples measured outputs exceeds AcceptableError gets redraw (up to
    // MaxFillings - 1 times each); the whole is then evaluated, whatever its error.
    void Repair(TMISOFunTrans& individual, std::size_t samples,
                const std::function<void(TFunTrans&)>& redraw);
    // What Evaluate gives, with ScoreTogether on every core for a large model and the
    // coefficient texts built after.
    void EvaluateInFull(TMISOFunTrans& individual);

private:
    void EvaluateShare(std::span<TMISOFunTrans* const> individuals);
    // Scores one model in the lanes on every core: its Error and every transfer function's own.
    void ScoreOnEveryCore(TMISOFunTrans& individual);
    static bool UsableAlone(TFunTrans& function, std::vector<double>& sum,
                            std::vector<double>& scratch);
    WorkerPool& Workers();

    const TGenetico& engine;
    const bool& running;
    std::function<void(std::size_t)> stopPoint;
    std::int64_t evaluationCount = 0;
    std::unique_ptr<WorkerPool> workers;
};

} // namespace orvanel
