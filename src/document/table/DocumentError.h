// The error raised by the document's table, file and clipboard operations.
#pragma once

#include <stdexcept>

namespace orvanel {

// Carries the text shown to the user, e.g. "Cannot create file /data/run1.txt".
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace orvanel
