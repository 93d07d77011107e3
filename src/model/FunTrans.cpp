#include "model/FunTrans.h"

#include "model/NumberText.h"
#include "model/Recursion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace orvanel {
namespace {

constexpr int TypeField = 32;
constexpr int TypeBits = 3;
constexpr int CoefficientDigits = 3;
constexpr char MiddleDot[] = "\xC2\xB7";

constexpr std::size_t StepEntries = 150;
constexpr int StepStart = 2;
constexpr int StepWarmUp = 10;
constexpr int StepLast = 141;
constexpr double StepTolerance = 0.001;

enum GeneKind { Zero = 0, Pole = 1, ZeroPair = 2, PolePair = 3, DelayGene = 4, GainGene = 5 };

int Degree(const std::vector<double>& p) {
    return static_cast<int>(p.size()) - 1;
}

bool AllFinite(const std::vector<double>& p) {
    return std::all_of(p.begin(), p.end(), [](double c) { return std::isfinite(c); });
}

// Rounds half to even into a signed 64-bit integer; false when the result does not fit.
bool RoundDelay(double v, std::int64_t& d) {
    const double r = std::nearbyint(v);
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
        return false;
    d = static_cast<std::int64_t>(r);
    return true;
}

std::int32_t AddWrapped(std::int32_t delay, std::int64_t d) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(delay) +
                                     static_cast<std::uint32_t>(static_cast<std::uint64_t>(d)));
}

void AppendInteger(std::string& text, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

// "c·z^k+" for every power from the highest down to 1, then the constant term.
void AppendTerms(std::string& text, const std::vector<double>& coefficients, long long powerOffset,
                 char decimalSeparator) {
    for (int k = Degree(coefficients); k >= 1; --k) {
        text += FormatGeneral(coefficients[static_cast<std::size_t>(k)], CoefficientDigits,
                              decimalSeparator);
        text += MiddleDot;
        text += "z^";
        AppendInteger(text, k + powerOffset);
        text += '+';
    }
    text += FormatGeneral(coefficients.front(), CoefficientDigits, decimalSeparator);
}

double StepInput(std::int32_t k) {
    return k < StepStart ? 0.0 : 1.0;
}

} // namespace

// p := p x (z + c0), or p x (z^2 + c1 z + c0) for a pair, in exact double arithmetic. Entries
// outside 0..degree take part as 0, as the product is written; false when a coefficient
// leaves the double range.
bool TFunTrans::MultiplyBy(std::vector<double>& p, double c0, double c1, bool pair) {
    const std::size_t old = p.size();
    p.resize(old + (pair ? 2 : 1), 0.0);
    for (std::size_t k = p.size(); k-- > 0;) {
        const double below = k >= 1 ? p[k - 1] : 0.0;
        double c = c0 * p[k] + c1 * below;
        if (pair)
            c = c + (k >= 2 ? p[k - 2] : 0.0);
        p[k] = c;
    }
    return AllFinite(p);
}

TFunTrans::TFunTrans() {
    SetBitsPerGene(GeneBits);
}

void TFunTrans::SetGeneType(int g, int t) {
    if (t < 0 || t > 7)
        throw std::out_of_range("Gene type outside 0..7");
    const int first = TypeStart(g);
    for (int k = 0; k < TypeBits; ++k)
        SetBit(first + k, static_cast<std::uint8_t>((t >> k) & 1));
}

int TFunTrans::GeneType(int g) const {
    const int first = TypeStart(g);
    return Bit(first) + 2 * Bit(first + 1) + 4 * Bit(first + 2);
}

int TFunTrans::TypeStart(int g) const {
    if (g < 0 || g >= GeneCount() || BitsPerGene() < TypeField + TypeBits)
        throw std::out_of_range("Gene index outside the chromosome");
    return g * BitsPerGene() + TypeField;
}

void TFunTrans::AddSample(double input, double output) {
    inputs.Append(input);
    outputs.Append(output);
}

void TFunTrans::SetSamples(SampleColumn::Shared inputColumn, SampleColumn::Shared outputColumn,
                           Experiments parts) {
    const std::size_t inputCount = inputColumn ? inputColumn->size() : 0;
    const std::size_t outputCount = outputColumn ? outputColumn->size() : 0;
    if (inputCount != outputCount)
        throw std::invalid_argument("Inputs and Outputs must have the same number of samples");
    inputs = SampleColumn(std::move(inputColumn));
    outputs = SampleColumn(std::move(outputColumn));
    experiments = std::move(parts);
}

void TFunTrans::CopyFrom(const TFunTrans& source) {
    CopyChromosome(source);
    inputs = source.inputs;
    outputs = source.outputs;
    experiments = source.experiments;
    ParamCount = source.ParamCount;
    NumText = source.NumText;
    DenText = source.DenText;
}

void TFunTrans::CopyFresh(const TFunTrans& source) {
    static const TFunTrans fresh;
    Error = fresh.Error;
    Numerator.assign(fresh.Numerator.begin(), fresh.Numerator.end());
    Denominator.assign(fresh.Denominator.begin(), fresh.Denominator.end());
    Delay = fresh.Delay;
    Gain = fresh.Gain;
    // Samples are let go rather than kept: over long data they are large.
    SimOutput = {};
    Step = {};
    StepLength = fresh.StepLength;
    CopyFrom(source);
}

bool TFunTrans::Decode(char decimalSeparator) {
    if (!DecodeModel())
        return false;
    BuildTexts(decimalSeparator);
    return true;
}

bool TFunTrans::DecodeModel() {
    ParamCount = 0;
    Numerator.assign(1, 1.0);
    Denominator.assign(1, 1.0);
    Gain = 1.0;
    Delay = 0;
    const int genes = GeneCount();

    // The pole estimate counts types alone: it skips the gene after every pair type, whether
    // or not that pair is applied below.
    int poleEstimate = 0;
    for (int i = 0; i < genes; ++i) {
        if (i > 0 && (GeneType(i - 1) == ZeroPair || GeneType(i - 1) == PolePair))
            continue;
        const int type = GeneType(i);
        poleEstimate += type == Pole ? 1 : type == PolePair ? 2 : 0;
    }

    int zeroOrders = 0;
    bool skip = false;
    for (int j = 0; j < genes; ++j) {
        if (skip) {
            skip = false;
            continue;
        }
        bool finite = true;
        switch (GeneType(j)) {
        case Zero:
            ++zeroOrders;
            if (zeroOrders < poleEstimate) {
                ++ParamCount;
                finite = MultiplyBy(Numerator, GeneValue(j), 1.0, false);
            }
            break;
        case Pole:
            ++ParamCount;
            finite = MultiplyBy(Denominator, GeneValue(j), 1.0, false);
            break;
        case ZeroPair:
            zeroOrders += 2;
            if (zeroOrders < poleEstimate && j < genes - 2) {
                ParamCount += 3;
                finite = MultiplyBy(Numerator, GeneValue(j), GeneValue(j + 1), true);
                skip = true;
            }
            break;
        case PolePair:
            if (j < genes - 2) {
                ParamCount += 2;
                finite = MultiplyBy(Denominator, GeneValue(j), GeneValue(j + 1), true);
                skip = true;
            }
            break;
        case DelayGene: {
            std::int64_t d = 0;
            finite = RoundDelay(GeneValue(j), d);
            if (finite && d > 0) {
                Delay = AddWrapped(Delay, d);
                ++ParamCount;
            }
            break;
        }
        case GainGene:
            Gain = Gain * GeneValue(j);
            ++ParamCount;
            finite = std::isfinite(Gain);
            break;
        default:
            break;
        }
        if (!finite)
            return false;
    }
    // The numerator is shown and simulated multiplied by the gain.
    return std::all_of(Numerator.begin(), Numerator.end(),
                       [this](double c) { return std::isfinite(c * Gain); });
}

void TFunTrans::BuildTexts(char decimalSeparator) {
    std::vector<double> scaled(Numerator.size());
    for (std::size_t k = 0; k < Numerator.size(); ++k)
        scaled[k] = Numerator[k] * Gain;
    std::string numerator;
    AppendTerms(numerator, scaled, 0, decimalSeparator);
    std::string denominator;
    AppendTerms(denominator, Denominator, Delay, decimalSeparator);
    if (Delay != 0) {
        denominator += MiddleDot;
        denominator += "z^";
        AppendInteger(denominator, Delay);
    }
    NumText = std::move(numerator);
    DenText = std::move(denominator);
}

bool TFunTrans::Admissible() const {
    const int n = Degree(Denominator);
    return n >= 1 && Degree(Numerator) <= n;
}

Recursion TFunTrans::MakeRecursion(std::vector<double>& scaled) const {
    scaled.resize(Numerator.size());
    for (std::size_t j = 0; j < Numerator.size(); ++j)
        scaled[j] = Numerator[j] * Gain;
    return {inputs.Data(),     outputs.Data(),     outputs.Size(),      scaled.data(),
            Degree(Numerator), Denominator.data(), Degree(Denominator), Delay};
}

void TFunTrans::Run(double* out, double* sum) {
    thread_local std::vector<double> scaled;
    const Recursion::Result result = MakeRecursion(scaled).Run(experiments, out, sum);
    Error = result.complete ? result.error : FailedError;
}

void TFunTrans::Simulate() {
    Error = 0.0;
    SimOutput.resize(outputs.Size());
    if (!Admissible()) {
        Error = FailedError;
        return;
    }
    Run(SimOutput.data());
}

double TFunTrans::Evaluate(char decimalSeparator) {
    if (!Decode(decimalSeparator)) {
        Error = FailedError;
        SimOutput.assign(outputs.Size(), FailedSample);
        return Error;
    }
    Simulate();
    return Error;
}

double TFunTrans::EvaluateAdding(double* sum, double* scratch, char decimalSeparator) {
    if (!Decode(decimalSeparator)) {
        Error = FailedError;
        for (std::size_t i = 0; i < outputs.Size(); ++i)
            sum[i] = sum[i] + FailedSample;
        return Error;
    }
    Error = 0.0;
    if (!Admissible()) {
        Error = FailedError;
        return Error;
    }
    Run(scratch, sum);
    return Error;
}

void TFunTrans::StepResponse(char decimalSeparator) {
    const auto fail = [this] {
        Step.assign(3, 0.0);
        StepLength = 3;
    };
    if (!Decode(decimalSeparator)) {
        fail();
        return;
    }
    const int m = Degree(Numerator);
    const int n = Degree(Denominator);
    Step.resize(StepEntries);
    const auto response = [&](int i) {
        double s = 0.0;
        for (int j = 0; j <= m; ++j)
            s = s + StepInput(Recursion::Wrapped(i + j - n, Delay)) *
                        (Numerator[static_cast<std::size_t>(j)] * Gain);
        double t = 0.0;
        for (int j = 0; j < n; ++j)
            t = t + StepSample(i + j - n) * Denominator[static_cast<std::size_t>(j)];
        return s - t;
    };
    for (int i = 0; i < StepWarmUp; ++i) {
        const double value = response(i);
        if (!std::isfinite(value)) {
            fail();
            return;
        }
        Step[static_cast<std::size_t>(i)] = value;
    }
    double change = 1.0;
    for (int i = StepWarmUp; change > StepTolerance && i <= StepLast; ++i) {
        StepLength = i;
        const double value = response(i);
        if (!std::isfinite(value)) {
            fail();
            return;
        }
        Step[static_cast<std::size_t>(i)] = value;
        change =
            value > 0 ? std::fabs((value - Step[static_cast<std::size_t>(i) - 1]) / value) : 1.0;
        if (!std::isfinite(change)) {
            fail();
            return;
        }
    }
}

double TFunTrans::InputSample(long long k) const {
    const std::vector<double>& values = inputs.Values();
    return k < 0 || k >= static_cast<long long>(values.size())
               ? 0.0
               : values[static_cast<std::size_t>(k)];
}

double TFunTrans::SimSample(long long k) const {
    return k < 0 || k >= static_cast<long long>(SimOutput.size())
               ? 0.0
               : SimOutput[static_cast<std::size_t>(k)];
}

double TFunTrans::StepSample(long long k) const {
    return k < 0 || k >= static_cast<long long>(Step.size()) ? 0.0
                                                             : Step[static_cast<std::size_t>(k)];
}

} // namespace orvanel
