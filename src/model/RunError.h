// The error that ends an identification run; its text is shown to the user as it stands.
#pragma once

#include <exception>
#include <stdexcept>

namespace orvanel {

// Raised by the engine when a run cannot start or cannot go on.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // The search cannot go on: fewer than two models of a population could be scored. Its
    // text is "Todos Iguales", the engine's word for it that users know.
    static RunError AllEqual() { return RunError("Todos Iguales", true); }
    // Whether error is the failure AllEqual raises.
    static bool IsAllEqual(const std::exception& error) {
        const auto* run = dynamic_cast<const RunError*>(&error);
        return run != nullptr && run->allEqual;
    }

private:
    RunError(const char* text, bool allEqual) : std::runtime_error(text), allEqual(allEqual) {}

    bool allEqual = false;
};

} // namespace orvanel
