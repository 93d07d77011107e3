#include "engine/search/Crossover.h"

#include <algorithm>

namespace orvanel {
namespace {

// child := head's bits 0..headEnd, then tail's bits from tailStart to its end.
void Splice(const TFunTrans& head, int headEnd, const TFunTrans& tail, int tailStart, int geneCount,
            TFunTrans& child) {
    child.SetGeneCount(geneCount);
    child.CopyBits(head, 0, headEnd + 1, 0);
    child.CopyBits(tail, std::min(tailStart, tail.BitCount()), tail.BitCount(), headEnd + 1);
}

} // namespace

void CrossFunctions(const TFunTrans& a, const TFunTrans& b, int ga, int gb, int c, TFunTrans& first,
                    TFunTrans& second) {
    const int bits = a.BitsPerGene();
    const int cutA = ga * bits + c;
    const int cutB = gb * bits + c;
    Splice(a, cutA, b, cutB + 1, b.GeneCount() + ga - gb, first);
    Splice(b, cutB, a, cutA + 1, a.GeneCount() + gb - ga, second);
}

} // namespace orvanel
