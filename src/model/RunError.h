// The error that ends an identification run; its text is shown to the user as it stands.
#pragma once

#include <stdexcept>

namespace orvanel {

// Raised by the engine when a run cannot start or cannot go on ("Todos Iguales").
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvanel
