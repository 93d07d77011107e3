// One single-input discrete transfer function, decoded from a chromosome of typed genes.
#pragma once

#include "model/Individuo.h"
#include "model/Recursion.h"
#include "model/SampleColumn.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanel {

// G(z) = Gain * N(z) / (z^Delay * D(z)) with monic N and D built from the genes, together with
// the input and measured output samples it is scored against. Each gene is 35 bits: the real
// value of TIndividuo in bits 0-31 and a type code in bits 32-34 (0 zero, 1 pole, 2 zero pair,
// 3 pole pair, 4 delay, 5 gain, 6 and 7 inactive). Copies share the samples, never the rest.
class TFunTrans : public TIndividuo {
public:
    // p := p x (z + c0), or p x (z^2 + c1 z + c0) for a pair, p ascending, exactly as a transfer
    // function forms its polynomials; false when a coefficient leaves the double range.
    static bool MultiplyBy(std::vector<double>& p, double c0, double c1, bool pair);

    static constexpr int GeneBits = 35;
    static constexpr double FailedError = 1e300;
    // What SimOutput holds after the genes could not be decoded.
    static constexpr double FailedSample = -10.0;

    // One gene of 35 zero bits, Numerator [1], Denominator [1, -0.5], Gain 1, no samples.
    TFunTrans();

    // Writes the type code t (0..7) into gene g; throws std::out_of_range for another t or a
    // gene that does not exist.
    void SetGeneType(int g, int t);
    // The type code 0..7 of gene g; throws std::out_of_range for a gene that does not exist.
    int GeneType(int g) const;

    // Appends one sample to Inputs and one to Outputs.
    void AddSample(double input, double output);
    // Hands over whole columns at once, shared and never copied, with the experiments they
    // are made of; throws std::invalid_argument, changing nothing, when their lengths differ.
    void SetSamples(SampleColumn::Shared inputs, SampleColumn::Shared outputs,
                    Experiments experiments = {});
    // Samples of this transfer function's input and of the measured output, equally long.
    const std::vector<double>& Inputs() const { return inputs.Values(); }
    const std::vector<double>& Outputs() const { return outputs.Values(); }
    // Each simulated from rest.
    const Experiments& SampleExperiments() const { return experiments; }

    // Copies the chromosome, the samples (shared), ParamCount and the texts; the coefficients
    // stay as they are until the next Decode, Error and SimOutput until the next Simulate, Step
    // until the next StepResponse.
    void CopyFrom(const TFunTrans& source);
    // Becomes what a new object given CopyFrom(source) is, keeping the storage it has.
    void CopyFresh(const TFunTrans& source);

    // Rebuilds Numerator, Denominator, Delay, Gain, ParamCount and the texts from the genes,
    // writing coefficients with the given decimal separator. Returns false after an arithmetic
    // failure (a coefficient beyond the double range, a delay beyond 64 bits); the fields then
    // hold what was built up to the failing gene and the texts are those of before.
    bool Decode(char decimalSeparator = '.');
    // Decode without the texts, which keep their last contents: for models that are scored
    // but not shown. Returns what Decode would.
    bool DecodeModel();
    // Runs the difference equation over the samples from zero initial conditions into
    // SimOutput and sums the squared differences to Outputs into Error. A model with more
    // zeros than poles or without poles gets Error 1e300 and no simulation; an arithmetic
    // failure gets Error 1e300 with SimOutput new before the failing sample, stale from it on.
    void Simulate();
    // Decode, then Simulate; returns Error. A failed decode gives Error 1e300 and SimOutput
    // filled with -10.0, one entry per sample.
    double Evaluate(char decimalSeparator = '.');
    // Decode and simulate without SimOutput, adding every simulated sample to its entry of
    // sum (Outputs().size() entries, like scratch, which serves as working memory). Sets
    // Error as Evaluate does. After a failure the samples not simulated add nothing; a failed
    // decode adds -10.0 to every entry. Touches no shared state, so distinct objects may be
    // evaluated on different threads.
    double EvaluateAdding(double* sum, double* scratch, char decimalSeparator = '.');
    // Decode, then the response to a unit step starting at sample 2 into Step (150 entries),
    // until the relative change falls to 0.001 or sample 141. StepLength is the index of the
    // last sample computed. A failure gives Step [0, 0, 0] and StepLength 3.
    void StepResponse(char decimalSeparator = '.');

    // Entry k of Inputs, SimOutput, Step; 0.0 for k negative or past the end.
    double InputSample(long long k) const;
    double SimSample(long long k) const;
    double StepSample(long long k) const;

    // Sum of squared differences of the last simulation; 1e300 for a rejected or failed model.
    double Error = 0.0;
    // Model parameters used by the last decode.
    int ParamCount = 0;
    std::string NumText;
    std::string DenText;
    // Coefficients in ascending powers of z; monic after Decode.
    std::vector<double> Numerator{1.0};
    std::vector<double> Denominator{1.0, -0.5};
    // Extra power of z in the denominator; delay genes add up with 32-bit wrap-around.
    std::int32_t Delay = 0;
    double Gain = 1.0;
    std::vector<double> SimOutput;
    std::vector<double> Step;
    int StepLength = 0;

    // The difference equation of the last decoded model over the samples, its numerator
    // multiplied by the gain into scaled (resized to the numerator's length).
    Recursion MakeRecursion(std::vector<double>& scaled) const;

    // Whether Simulate accepts the last decoded model: at least one pole and no more zeros
    // than poles. A model it refuses gets Error 1e300 without being simulated.
    bool Admissible() const;

    // Rebuilds NumText and DenText from Numerator, Denominator, Gain and Delay.
    void BuildTexts(char decimalSeparator);

private:
    // Simulates into out (and adds to sum when given) and sets Error.
    void Run(double* out, double* sum = nullptr);
    // Index of the first type bit of gene g.
    int TypeStart(int g) const;

    SampleColumn inputs;
    SampleColumn outputs;
    Experiments experiments;
};

} // namespace orvanel
