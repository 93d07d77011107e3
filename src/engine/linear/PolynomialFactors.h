// The factors of a polynomial in z, for a model known only by its coefficients.
#pragma once

#include "engine/linear/LinearModel.h"

#include <optional>
#include <span>
#include <vector>

namespace orvanel {

// Roots found as the eigenvalues of the companion matrix: close to, not bit for bit, the
// factors a model was written from. Enough for the views that analyse a model, never for
// simulating it.
class PolynomialFactors {
public:
    // The factors of a polynomial given in descending powers of z, its leading coefficient
    // not 0: z - r for each real root, z^2 + A z + B for each pair of complex roots.
    static std::vector<LinearModel::Factor> Of(std::span<const double> descending);
    // One input's transfer function from its numerator and monic denominator in descending
    // powers of z and its delay; nothing when the numerator is all zeros, has more terms than
    // the denominator or a root is not finite.
    static std::optional<LinearModel::Input>
    InputOf(std::span<const double> numerator, std::span<const double> denominator, int delay);
};

} // namespace orvanel
