// The files orvanel-identify writes, checked before a run that may be long.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvanel {

struct IdentifyOptions;

class CommandOutputs {
public:
    // A file the command writes, named by the option that asked for it.
    struct Output {
        std::string Flag;
        std::string Path;
    };

    // The report at `reportPath` and every export and computed output the options ask for.
    static std::vector<Output> Of(const IdentifyOptions& options, const std::string& reportPath);
    // Refused before the run, which may be long: an output that would replace a file the
    // command reads or another output, a name an export cannot have, or a file that cannot be
    // written. The message, or nothing.
    static std::optional<std::string> Refusal(const std::vector<Output>& outputs,
                                              const IdentifyOptions& options);
};

} // namespace orvanel
