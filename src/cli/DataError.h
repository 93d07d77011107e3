// Data the command cannot use; the text says why in one line.
#pragma once

#include <stdexcept>

namespace orvanel {

class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvanel
