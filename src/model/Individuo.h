// The chromosome of the genetic algorithm: a bit string in genes, each coding a real value.
#pragma once

#include <cstdint>
#include <vector>

namespace orvanel {

// A string of bits grouped into genes of BitsPerGene bits. The first 32 bits of a gene code a
// real value: bits 0-22 a mantissa read as decimal digits, bits 23-30 a biased exponent, bit 31
// the sign, every field least significant bit first. Copies are deep.
class TIndividuo {
public:
    // One gene of 32 bits, all 0.
    TIndividuo();
    virtual ~TIndividuo() = default;
    TIndividuo(const TIndividuo&) = default;
    TIndividuo& operator=(const TIndividuo&) = default;
    TIndividuo(TIndividuo&&) = default;
    TIndividuo& operator=(TIndividuo&&) = default;

    // Number of genes, never negative.
    int GeneCount() const { return geneCount; }
    // Bits in each gene: 32 for a bare chromosome, more when a derived class adds fields.
    int BitsPerGene() const { return bitsPerGene; }
    // GeneCount x BitsPerGene, the length of Bits.
    int BitCount() const { return static_cast<int>(bits.size()); }
    // The chromosome, one byte (0 or 1) per bit.
    const std::vector<std::uint8_t>& Bits() const { return bits; }

    // Resizes to n genes (a negative n gives 0) and clears every bit; the same count as now
    // changes nothing, so the bits survive. Throws std::length_error, changing nothing, when
    // BitCount would not fit in an int.
    void SetGeneCount(int n);

    // Bit i; throws std::out_of_range outside 0..BitCount-1.
    std::uint8_t Bit(int i) const;
    // Bit i := 1 when v is non-zero, else 0; throws std::out_of_range outside 0..BitCount-1.
    void SetBit(int i, std::uint8_t v);
    // Bits first..last-1 of source := bits at.. of this chromosome; throws std::out_of_range,
    // changing nothing, when either range leaves its chromosome.
    void CopyBits(const TIndividuo& source, int first, int last, int at);

    // The real value of gene g; throws std::out_of_range for a gene that does not exist.
    // Not the inverse of SetGeneValue: the mantissa is read as decimal digits (M = 5000000
    // gives a fraction 0.5, M = 10 gives 1.0) and exponent 0 has no leading 1.
    double GeneValue(int g) const;
    // Writes the code of x into bits 0-31 of gene g, leaving its other bits alone; throws
    // std::out_of_range for a gene that does not exist. The fraction is scaled to the largest
    // power-of-ten multiple below 2^23, so 1.05 is written like 1.5. Edge cases: 0 and NaN
    // give all value bits 0; an exact power of two gives mantissa 0; magnitudes below 2^-127
    // keep only their sign (they read back as a zero); magnitudes above 2^129 and infinities
    // are written as +-2^129, the largest value the code can hold; a scaled fraction that
    // rounds up to 2^23 is written as 2^23 - 1 rather than wrapping to 0.
    void SetGeneValue(int g, double x);

    // GeneCount, BitsPerGene and all bits := the source's.
    virtual void CopyChromosome(const TIndividuo& source);

protected:
    // For a derived class right after creation (n >= 32): the genes are resized to n bits,
    // all 0, so every gene has all its fields even before the first SetGeneCount.
    void SetBitsPerGene(int n);

private:
    std::size_t GeneStart(int g) const;
    std::uint32_t ReadField(std::size_t first, int width) const;
    void WriteField(std::size_t first, int width, std::uint32_t value);

    int geneCount = 1;
    int bitsPerGene = 32;
    std::vector<std::uint8_t> bits;
};

} // namespace orvanel
