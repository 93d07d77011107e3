// A local search over model structures that can also grow: more zeros, poles or delay.
#pragma once

#include "engine/estimators/Refinement.h"
#include "engine/linear/LinearModel.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace orvanel {

// Simplification only takes terms away and never tries a sample more of delay, so a dead time
// the search imitated with fast poles stays imitated. This tries each input's neighbouring
// structures (a zero more, a real pole or a pair more, a sample more or less of delay, a pole
// traded for a sample of delay), each refitted alone against the output less the other inputs'
// shares, and keeps the best when the model's squared error plus the penalty per parameter
// falls; after a pass that changed something the whole model is refined and simplified. A
// model with shared poles keeps them shared: its inputs move their zeros and delays with the
// poles held, and a shared pole or pair more, or a shared pole traded for a sample of delay in
// every input, is refitted as the whole model.
class StructureSearch {
public:
    // Columns and experiments as Refinement takes them; the first estimationRows rows count.
    StructureSearch(std::vector<std::span<const double>> inputs, std::span<const double> output,
                    std::size_t estimationRows, Experiments experiments = {});

    // Passes over the inputs; the search ends earlier when a pass changes nothing. A pass adds
    // at most one sample of delay per input, and dead times of several samples are common.
    static constexpr int DefaultPasses = 10;
    int MaxPasses = DefaultPasses;
    // As Refinement::Stop: the result is then the best found until the stop.
    const std::atomic<bool>* Stop = nullptr;

    // The start, or a model of lower squared error plus `penalty` per parameter.
    Refinement::Result Grow(Refinement::Result start, double penalty) const;
    // The structures next to the input's, their new factors at the origin and, where a delay
    // allows it, with a sample less delay so that they start from the same response.
    static std::vector<LinearModel::Input> Neighbours(const LinearModel::Input& input);
    // The shared-pole model's neighbours with a pole or pair more, or a pole traded for a
    // sample of delay, in every input alike.
    static std::vector<LinearModel> SharedNeighbours(const LinearModel& model);

private:
    // One pass over the inputs of `whole`; whether any input took another form.
    bool GrowInputs(const Refinement& whole, Refinement::Result& current, double penalty) const;
    // The best of the shared-pole neighbours when it scores lower; whether it was taken.
    bool GrowSharedPoles(const Refinement& whole, Refinement::Result& current,
                         double penalty) const;
    using InputChange = std::function<void(LinearModel::Input&)>;
    // The changes that make an input's neighbours, for an input with these poles: those that
    // move a delay or add a zero first.
    static std::vector<InputChange> InputChanges(const std::vector<LinearModel::Factor>& poles);
    bool StopAsked() const;

    // Fits to the columns given; Grow takes a copy that shares the stop.
    Refinement refinement;
};

} // namespace orvanel
