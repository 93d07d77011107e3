#include "model/SampleColumn.h"

#include <utility>

namespace orvanel {

SampleColumn::SampleColumn(Shared values) : values(std::move(values)) {}

const std::vector<double>& SampleColumn::Values() const {
    static const std::vector<double> empty;
    return values ? *values : empty;
}

void SampleColumn::Append(double value) {
    if (writable == nullptr || values.use_count() != 1) {
        auto own = std::make_shared<std::vector<double>>();
        own->reserve(Size() + 1);
        own->assign(Values().begin(), Values().end());
        writable = own.get();
        values = std::move(own);
    }
    writable->push_back(value);
}

} // namespace orvanel
