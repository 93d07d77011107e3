// Another experiment a run's model is judged on after it is found.
#pragma once

#include <string>
#include <vector>

namespace orvanel {

// An experiment named for the report, its columns the inputs and then the output, as measured.
struct ValidationData {
    std::string Name;
    std::vector<std::vector<double>> Columns;
};

} // namespace orvanel
