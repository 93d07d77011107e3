// One-point crossover of two transfer functions whose cut may fall in different genes.
#pragma once

#include "model/FunTrans.h"

namespace orvanel {

// Cuts after bit c of gene ga of a and of gene gb of b. first gets a's bits up to its cut and
// then b's bits after its cut; second gets b's bits up to its cut and then a's after. The
// children end with b.GeneCount + ga - gb and a.GeneCount + gb - ga genes; only their
// chromosomes change. Needs 0 <= ga < a.GeneCount, 0 <= gb < b.GeneCount, 0 <= c <
// a.BitsPerGene and equal gene widths; first and second must be other objects than a and b.
void CrossFunctions(const TFunTrans& a, const TFunTrans& b, int ga, int gb, int c, TFunTrans& first,
                    TFunTrans& second);

} // namespace orvanel
