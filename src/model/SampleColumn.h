// One column of data samples, shared read-only by every copy of the models that use it.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace orvanel {

// A column of samples that copies share instead of duplicating: copying costs O(1). Appending
// to a column that another copy also holds copies the samples first, so every holder observes
// a column of its own.
class SampleColumn {
public:
    using Shared = std::shared_ptr<const std::vector<double>>;

    // An empty column.
    SampleColumn() = default;
    // Shares the given samples, which nobody may change afterwards; a null pointer gives an
    // empty column.
    explicit SampleColumn(Shared values);

    // The samples in order.
    const std::vector<double>& Values() const;
    std::size_t Size() const { return values ? values->size() : 0; }
    // The samples in one block of Size() values (null when empty).
    const double* Data() const { return values ? values->data() : nullptr; }

    // Appends one sample, amortised O(1) while this holder is the only one.
    void Append(double value);

private:
    Shared values;
    // The same vector as values when this class made it (so it may be changed once unshared);
    // null for samples handed over from outside, which stay read-only.
    std::vector<double>* writable = nullptr;
};

} // namespace orvanel
