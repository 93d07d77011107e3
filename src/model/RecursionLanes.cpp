#include "model/RecursionLanes.h"

#include "model/HelperThread.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace orvanel {
namespace {

// Recursions run together in one group, in as many vector registers as the lanes allow.
constexpr int Width = 8;
constexpr int MaxPoles = 8;
// How far the first sample whose terms all lie in the data may be from sample 0 (poles plus
// delay less zeros); a recursion further in runs alone.
constexpr std::int64_t MaxLead = 64;
// Samples per block: the sums and a group's outputs of one block stay in the first cache.
constexpr std::int64_t Block = 256;
constexpr std::int64_t History = MaxPoles;
constexpr std::size_t Rows = static_cast<std::size_t>((History + Block) * Width);

// Up to Width recursions of the same samples and measured outputs. Each lane's numerator and
// denominator are padded with leading zero coefficients, to the group's largest number of
// zeros and to its pole count N: a sum starting from +0.0
// stays +0.0 through products that are ±0, so the padded terms change no bit of a finite
// result, and a result that is not finite is computed again alone.
struct Group {
    int used = 0;
    int poles = 0;
    // First sample whose padded terms all lie inside the data.
    std::int64_t start = 0;
    const double* outputs = nullptr;
    std::size_t lane[Width]{};
    const Recursion* recursion[Width]{};
    double* sum[Width]{};
    // Lane l adds to the sum of lane l % period, and the first period lanes to distinct sums;
    // 0 when the group is not full or its sums follow no such pattern.
    int period = 0;
    // Zeros of the padded numerators: term j <= zeros of sample i reads
    // inputs[lane][i + offset[lane] + j].
    int zeros = 0;
    const double* inputs[Width]{};
    std::int64_t offset[Width]{};
    double a[MaxPoles][Width]{};
    double b[Width][MaxPoles + 1]{};
    double error[Width]{};
    bool failed[Width]{};
    // The last History outputs of the previous block, oldest first.
    double history[History][Width]{};
};

struct Unit {
    enum Kind { Vector, Alone, Constant } kind;
    std::size_t index; // a group for Vector, a lane otherwise
    // A lane run alone: its outputs, of which the run's first `stored` are written.
    std::unique_ptr<double[]> samples;
};

using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

template <class Vec> constexpr int LanesOf = static_cast<int>(sizeof(Vec) / sizeof(double));

template <class Vec> [[gnu::always_inline]] inline void Load(Vec& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}

template <class Vec> [[gnu::always_inline]] inline void Store(double* p, const Vec& v) {
    std::memcpy(p, &v, sizeof v);
}

// Transposes W rows of W lanes in place: afterwards m[k][w] holds what m[w][k] held.
[[gnu::always_inline]] inline void Transpose(Pair (&m)[2]) {
    const Pair low = __builtin_shufflevector(m[0], m[1], 0, 2);
    const Pair high = __builtin_shufflevector(m[0], m[1], 1, 3);
    m[0] = low;
    m[1] = high;
}

[[gnu::always_inline]] inline void Transpose(Quad (&m)[4]) {
    const Quad t0 = __builtin_shufflevector(m[0], m[1], 0, 4, 2, 6);
    const Quad t1 = __builtin_shufflevector(m[0], m[1], 1, 5, 3, 7);
    const Quad t2 = __builtin_shufflevector(m[2], m[3], 0, 4, 2, 6);
    const Quad t3 = __builtin_shufflevector(m[2], m[3], 1, 5, 3, 7);
    m[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    m[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    m[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    m[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

// Samples per step of a group's recursion: a cache line of each lane's input.
constexpr std::int64_t Chunk = 8;

// Writes the numerator sums of samples [i, i + Chunk) into their rows. No term depends on an
// earlier output, so each lane runs W samples at a time along its own input and W lanes are
// turned into rows together.
template <class Vec, int Z>
[[gnu::always_inline]] inline void NumeratorChunk(const double* const (&inputs)[Width],
                                                  const double (&b)[Width][Z + 1], std::int64_t i,
                                                  double* row) {
    constexpr int W = LanesOf<Vec>;
#pragma GCC unroll 4
    for (int q = 0; q < Width; q += W) {
#pragma GCC unroll 4
        for (int h = 0; h < Chunk; h += W) {
            Vec m[W];
#pragma GCC unroll 4
            for (int w = 0; w < W; ++w) {
                const int l = q + w;
                const double* u = inputs[l] + i + h;
                // Every lane streams its own input, more streams than the hardware follows:
                // asking now for the next block's samples hides their memory latency.
                if (h == 0)
                    __builtin_prefetch(u + Block);
                Vec s;
                Load(s, u);
                s = s * b[l][0];
#pragma GCC unroll 9
                for (int j = 1; j <= Z; ++j) {
                    Vec x;
                    Load(x, u + j);
                    s = s + x * b[l][j];
                }
                m[w] = s;
            }
            Transpose(m);
#pragma GCC unroll 4
            for (int w = 0; w < W; ++w)
                Store(row + (h + w) * Width + q, m[w]);
        }
    }
}

// Samples [from, to) of every lane of the group, all past the group's start; rows holds
// sample k at row k - b0 + History, with the N outputs before from already in place. The
// arithmetic is that of the scalar recursion, lane by lane: separate multiplies and adds in
// the same order, except that the numerator and denominator sums start from their first
// product instead of adding it to +0.0. That changes at most the sign of a zero, and a zero
// of either sign gives the same products and squared residuals up to the sign of zeros again;
// it reaches no sum either, since a sum starts from +0.0 and so is never -0.0, and adding
// -0.0 or +0.0 to any other value gives the same. The numerators of each chunk are computed
// just before its recursion, so that the processor overlaps them with the recursion's latency.
template <class Vec, int N, int Z>
[[gnu::always_inline]] inline void RunVector(Group& g, double* rows, std::int64_t b0,
                                             std::int64_t from, std::int64_t to) {
    constexpr int W = LanesOf<Vec>;
    constexpr int V = Width / W;
    // Local copies, which the stores into the rows cannot change.
    const double* inputs[Width];
    double b[Width][Z + 1];
    const double* const outputs = g.outputs;
    for (int l = 0; l < Width; ++l) {
        inputs[l] = g.inputs[l] + g.offset[l];
        for (int j = 0; j <= Z; ++j)
            b[l][j] = g.b[l][j];
    }
    Vec a[N][V];
    Vec recent[N][V];
    Vec error[V];
    for (int v = 0; v < V; ++v) {
        for (int k = 0; k < N; ++k) {
            Load(a[k][v], &g.a[k][v * W]);
            Load(recent[k][v], rows + (from - N + k - b0 + History) * Width + v * W);
        }
        Load(error[v], &g.error[v * W]);
    }
    const auto step = [&](std::int64_t i) {
        double* row = rows + (i - b0 + History) * Width;
        Vec measured;
        for (int w = 0; w < W; ++w)
            measured[w] = outputs[i];
#pragma GCC unroll 4
        for (int v = 0; v < V; ++v) {
            Vec s;
            Load(s, row + v * W);
            Vec t = recent[0][v] * a[0][v];
#pragma GCC unroll 8
            for (int k = 1; k < N; ++k)
                t = t + recent[k][v] * a[k][v];
            const Vec value = s - t;
            Store(row + v * W, value);
            const Vec d = measured - value;
            error[v] = error[v] + d * d;
#pragma GCC unroll 8
            for (int k = 0; k + 1 < N; ++k)
                recent[k][v] = recent[k + 1][v];
            recent[N - 1][v] = value;
        }
    };
    std::int64_t i = from;
    for (; i + Chunk <= to; i += Chunk) {
        NumeratorChunk<Vec, Z>(inputs, b, i, rows + (i - b0 + History) * Width);
#pragma GCC unroll 8
        for (std::int64_t k = i; k < i + Chunk; ++k)
            step(k);
    }
    for (; i < to; ++i) {
        for (int l = 0; l < Width; ++l) {
            double s = 0.0;
            for (int j = 0; j <= Z; ++j)
                s = s + inputs[l][i + j] * b[l][j];
            rows[(i - b0 + History) * Width + l] = s;
        }
        step(i);
    }
    for (int v = 0; v < V; ++v)
        Store(&g.error[v * W], error[v]);
}

template <class Vec, int N>
[[gnu::always_inline]] inline void RunVectorOfZeros(Group& g, double* rows, std::int64_t b0,
                                                    std::int64_t from, std::int64_t to) {
    switch (g.zeros) {
    case 0:
        return RunVector<Vec, N, 0>(g, rows, b0, from, to);
    case 1:
        return RunVector<Vec, N, 1>(g, rows, b0, from, to);
    case 2:
        return RunVector<Vec, N, 2>(g, rows, b0, from, to);
    case 3:
        return RunVector<Vec, N, 3>(g, rows, b0, from, to);
    case 4:
        return RunVector<Vec, N, 4>(g, rows, b0, from, to);
    default:
        return RunVector<Vec, N, MaxPoles>(g, rows, b0, from, to);
    }
}

template <class Vec>
[[gnu::always_inline]] inline void RunVectorFor(Group& g, double* rows, std::int64_t b0,
                                                std::int64_t from, std::int64_t to) {
    switch (g.poles) {
    case 1:
        return RunVectorOfZeros<Vec, 1>(g, rows, b0, from, to);
    case 2:
        return RunVectorOfZeros<Vec, 2>(g, rows, b0, from, to);
    case 3:
        return RunVectorOfZeros<Vec, 3>(g, rows, b0, from, to);
    case 4:
        return RunVectorOfZeros<Vec, 4>(g, rows, b0, from, to);
    case 5:
        return RunVectorOfZeros<Vec, 5>(g, rows, b0, from, to);
    case 6:
        return RunVectorOfZeros<Vec, 6>(g, rows, b0, from, to);
    case 7:
        return RunVectorOfZeros<Vec, 7>(g, rows, b0, from, to);
    default:
        return RunVectorOfZeros<Vec, 8>(g, rows, b0, from, to);
    }
}

template <class Vec>
[[gnu::always_inline]] inline void LoadColumns(const double* row,
                                               Vec (&m)[Width / LanesOf<Vec>][LanesOf<Vec>]) {
    constexpr int W = LanesOf<Vec>;
#pragma GCC unroll 4
    for (int q = 0; q < Width / W; ++q) {
#pragma GCC unroll 4
        for (int w = 0; w < W; ++w)
            Load(m[q][w], row + w * Width + q * W);
        Transpose(m[q]);
    }
}

// Adds the outputs of samples [b0, b1) of every lane that has not failed to its sum, W samples
// of W lanes at a time turned from rows into columns; each entry of a sum receives the lanes
// in their order.
template <class Vec>
[[gnu::always_inline]] inline void AddEachLane(const Group& g, const double* rows, std::int64_t b0,
                                               std::int64_t b1) {
    constexpr int W = LanesOf<Vec>;
    // Copies the compiler can keep in registers: a store to a sum may not change them.
    double* sum[Width];
    for (int l = 0; l < Width; ++l)
        sum[l] = l < g.used && !g.failed[l] ? g.sum[l] : nullptr;
    std::int64_t i = b0;
    for (; i + W <= b1; i += W) {
        Vec m[Width / W][W];
        LoadColumns(rows + (i - b0 + History) * Width, m);
#pragma GCC unroll 8
        for (int l = 0; l < Width; ++l) {
            if (sum[l] == nullptr)
                continue;
            Vec s;
            Load(s, sum[l] + i);
            s = s + m[l / W][l % W];
            Store(sum[l] + i, s);
        }
    }
    for (; i < b1; ++i)
        for (int l = 0; l < Width; ++l)
            if (sum[l] != nullptr)
                sum[l][i] = sum[l][i] + rows[(i - b0 + History) * Width + l];
}

// AddEachLane for a full group whose lane l adds to the sum of lane l % P: the lanes of one
// sum are added in their order in registers and the sum is stored once.
template <class Vec, int P>
[[gnu::always_inline]] inline void AddPeriodic(const Group& g, const double* rows, std::int64_t b0,
                                               std::int64_t b1) {
    constexpr int W = LanesOf<Vec>;
    double* sum[P];
    for (int r = 0; r < P; ++r)
        sum[r] = g.sum[r];
    std::int64_t i = b0;
    for (; i + W <= b1; i += W) {
        Vec m[Width / W][W];
        LoadColumns(rows + (i - b0 + History) * Width, m);
#pragma GCC unroll 4
        for (int r = 0; r < P; ++r) {
            Vec s;
            Load(s, sum[r] + i);
#pragma GCC unroll 8
            for (int l = r; l < Width; l += P)
                s = s + m[l / W][l % W];
            Store(sum[r] + i, s);
        }
    }
    for (; i < b1; ++i)
        for (int l = 0; l < Width; ++l)
            sum[l % P][i] = sum[l % P][i] + rows[(i - b0 + History) * Width + l];
}

template <class Vec>
[[gnu::always_inline]] inline void AddVector(const Group& g, const double* rows, std::int64_t b0,
                                             std::int64_t b1) {
    const bool failed = std::any_of(g.failed, g.failed + Width, [](bool f) { return f; });
    switch (failed ? 0 : g.period) {
    case 1:
        return AddPeriodic<Vec, 1>(g, rows, b0, b1);
    case 2:
        return AddPeriodic<Vec, 2>(g, rows, b0, b1);
    case 4:
        return AddPeriodic<Vec, 4>(g, rows, b0, b1);
    default:
        return AddEachLane<Vec>(g, rows, b0, b1);
    }
}

void RunBaseline(Group& g, double* rows, std::int64_t b0, std::int64_t from, std::int64_t to) {
    RunVectorFor<Pair>(g, rows, b0, from, to);
}

void AddBaseline(const Group& g, const double* rows, std::int64_t b0, std::int64_t b1) {
    AddVector<Pair>(g, rows, b0, b1);
}

__attribute__((target("avx"))) void RunWide(Group& g, double* rows, std::int64_t b0,
                                            std::int64_t from, std::int64_t to) {
    RunVectorFor<Quad>(g, rows, b0, from, to);
}

__attribute__((target("avx"))) void AddWide(const Group& g, const double* rows, std::int64_t b0,
                                            std::int64_t b1) {
    AddVector<Quad>(g, rows, b0, b1);
}

struct Kernel {
    void (*run)(Group&, double*, std::int64_t, std::int64_t, std::int64_t);
    void (*add)(const Group&, const double*, std::int64_t, std::int64_t);
};

constexpr Kernel Baseline{RunBaseline, AddBaseline};

Kernel BestKernel() {
    static const Kernel best = __builtin_cpu_supports("avx") ? Kernel{RunWide, AddWide} : Baseline;
    return best;
}

// Samples [from, to) of lane l one at a time, stopping at the first arithmetic failure as
// Recursion::Run does.
void RunChecked(Group& g, int l, double* rows, std::int64_t b0, std::int64_t from, std::int64_t to,
                std::span<RecursionLanes::Lane> lanes) {
    const Recursion& r = *g.recursion[l];
    double error = g.error[l];
    for (std::int64_t i = from; i < to; ++i) {
        const double value = r.CheckedSample(
            i, [&](std::int64_t k) { return rows[(k - b0 + History) * Width + l]; });
        if (!std::isfinite(value)) {
            g.failed[l] = true;
            lanes[g.lane[l]].result = {static_cast<std::size_t>(i), error, false};
            return;
        }
        rows[(i - b0 + History) * Width + l] = value;
        const double d = r.outputs[i] - value;
        error = error + d * d;
        if (!std::isfinite(error)) {
            g.failed[l] = true;
            lanes[g.lane[l]].result = {static_cast<std::size_t>(i) + 1, error, false};
            return;
        }
    }
    g.error[l] = error;
}

bool RunsInGroup(const Recursion& r, std::size_t count) {
    const std::int64_t n = r.denominatorDegree;
    return n >= 1 && n <= MaxPoles && r.numeratorDegree >= 0 && r.numeratorDegree <= n &&
           r.delay >= 0 && n + r.delay - r.numeratorDegree <= MaxLead && count <= INT_MAX;
}

void AddLane(Group& g, std::size_t index, const RecursionLanes::Lane& lane) {
    const int l = g.used++;
    g.lane[l] = index;
    g.recursion[l] = &lane.recursion;
    g.sum[l] = lane.sum;
    g.outputs = lane.recursion.outputs;
}

int Period(const Group& g) {
    if (g.used != Width)
        return 0;
    for (const int p : {1, 2, 4}) {
        bool fits = true;
        for (int l = 0; l < Width; ++l)
            fits = fits && g.sum[l] == g.sum[l % p] &&
                   (l >= p || std::find(g.sum, g.sum + l, g.sum[l]) == g.sum + l);
        if (fits)
            return p;
    }
    return 0;
}

// Fills the padded coefficients once the group's pole count is known; unused slots repeat
// the first lane and are never read back.
void Pad(Group& g) {
    int poles = 0;
    int zeros = 0;
    std::int64_t lead = 0;
    for (int l = 0; l < g.used; ++l) {
        const Recursion& r = *g.recursion[l];
        poles = std::max(poles, r.denominatorDegree);
        zeros = std::max(zeros, r.numeratorDegree);
        lead = std::max<std::int64_t>(lead, r.denominatorDegree + r.delay - r.numeratorDegree);
    }
    // The sums with more zeros than any switch case takes run with MaxPoles.
    g.zeros = zeros <= 4 ? zeros : MaxPoles;
    g.poles = poles;
    // A lane with fewer zeros than the group reads its padded terms before its own first
    // one: the group starts where those reads, too, stay inside the input.
    g.start = poles + lead + g.zeros;
    g.period = Period(g);
    for (int l = 0; l < Width; ++l) {
        const Recursion& r = *g.recursion[l < g.used ? l : 0];
        const int n = r.denominatorDegree;
        const int m = r.numeratorDegree;
        g.inputs[l] = r.inputs;
        g.offset[l] = static_cast<std::int64_t>(m) - n - r.delay - g.zeros;
        for (int k = 0; k < n; ++k)
            g.a[poles - n + k][l] = r.denominator[k];
        for (int j = 0; j <= m; ++j)
            g.b[l][g.zeros - m + j] = r.numerator[j];
    }
}

bool UsesSum(const Group& g, std::span<const RecursionLanes::Lane> lanes, const double* sum) {
    for (int l = 0; l < g.used; ++l)
        if (lanes[g.lane[l]].sum == sum)
            return true;
    return false;
}

struct Plan {
    std::vector<Group> groups;
    std::vector<Unit> units;
    // Every distinct sum, in the order of their first lane.
    std::vector<double*> sums;
};

// Splits the lanes into units run in list order: a group never takes a lane past one that
// runs alone and adds to a sum of the group, nor a lane whose sum such a lane, run after the
// group, adds to, so every sum receives its lanes in order.
Plan MakePlan(std::span<RecursionLanes::Lane> lanes, std::size_t count) {
    Plan plan;
    bool open = false;
    // The sums of the lanes run alone since the open group's unit.
    std::vector<const double*> after;
    const auto close = [&] {
        if (open)
            Pad(plan.groups.back());
        open = false;
        after.clear();
    };
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const RecursionLanes::Lane& lane = lanes[i];
        if (std::find(plan.sums.begin(), plan.sums.end(), lane.sum) == plan.sums.end())
            plan.sums.push_back(lane.sum);
        if (lane.simulated && RunsInGroup(lane.recursion, count)) {
            if (open && (plan.groups.back().used == Width ||
                         plan.groups.back().outputs != lane.recursion.outputs ||
                         std::find(after.begin(), after.end(), lane.sum) != after.end()))
                close();
            if (!open) {
                plan.groups.emplace_back();
                plan.units.push_back({Unit::Vector, plan.groups.size() - 1, {}});
                open = true;
            }
            AddLane(plan.groups.back(), i, lane);
            continue;
        }
        if (open && UsesSum(plan.groups.back(), lanes, lane.sum))
            close();
        if (open)
            after.push_back(lane.sum);
        plan.units.push_back({lane.simulated ? Unit::Alone : Unit::Constant, i, {}});
    }
    close();
    return plan;
}

// The sums of a block in which a lane has failed: that lane adds the samples it stored.
void AddFailing(const Group& g, const double* rows, std::int64_t b0, std::int64_t b1,
                std::span<const RecursionLanes::Lane> lanes) {
    for (int l = 0; l < g.used; ++l) {
        const std::int64_t stored = static_cast<std::int64_t>(lanes[g.lane[l]].result.stored);
        const std::int64_t end = g.failed[l] ? std::min(b1, stored) : b1;
        for (std::int64_t i = b0; i < end; ++i)
            g.sum[l][i] = g.sum[l][i] + rows[(i - b0 + History) * Width + l];
    }
}

// Whether a lane stored some samples of this block and failed.
bool FailsWithin(const Group& g, std::int64_t b0, std::span<const RecursionLanes::Lane> lanes) {
    for (int l = 0; l < g.used; ++l)
        if (g.failed[l] && static_cast<std::int64_t>(lanes[g.lane[l]].result.stored) > b0)
            return true;
    return false;
}

// A group's samples of one block into the rows, up to adding them to the sums.
void ComputeGroupBlock(Group& g, double* rows, std::int64_t b0, std::int64_t b1,
                       std::span<RecursionLanes::Lane> lanes, Kernel kernel) {
    std::memcpy(rows, g.history, sizeof g.history);
    const std::int64_t head = std::min(b1, g.start);
    for (int l = 0; l < g.used; ++l)
        if (!g.failed[l])
            RunChecked(g, l, rows, b0, b0, head, lanes);
    const std::int64_t from = std::max(b0, g.start);
    if (from < b1) {
        double before[Width];
        std::memcpy(before, g.error, sizeof before);
        kernel.run(g, rows, b0, from, b1);
        for (int l = 0; l < g.used; ++l) {
            if (!g.failed[l] && !std::isfinite(g.error[l])) {
                g.error[l] = before[l];
                RunChecked(g, l, rows, b0, from, b1, lanes);
            }
        }
    }
}

void AddGroupBlock(Group& g, const double* rows, std::int64_t b0, std::int64_t b1,
                   std::span<RecursionLanes::Lane> lanes, Kernel kernel) {
    if (FailsWithin(g, b0, lanes))
        AddFailing(g, rows, b0, b1, lanes);
    else
        kernel.add(g, rows, b0, b1);
    std::memcpy(g.history, rows + (b1 - b0) * Width, sizeof g.history);
}

void AddUnitBlock(const Unit& unit, std::int64_t b0, std::int64_t b1,
                  std::span<RecursionLanes::Lane> lanes) {
    RecursionLanes::Lane& lane = lanes[unit.index];
    if (unit.kind == Unit::Constant) {
        for (std::int64_t i = b0; i < b1; ++i)
            lane.sum[i] = lane.sum[i] + lane.constant;
        return;
    }
    const std::int64_t end = std::min<std::int64_t>(b1, lane.result.stored);
    for (std::int64_t i = b0; i < end; ++i)
        lane.sum[i] = lane.sum[i] + unit.samples[static_cast<std::size_t>(i)];
}

// Units [first, last) over every block. ready(b0), asked before each addition, returns once
// the units before `first` have added block b0 to the sums, so that each entry of a sum receives
// its lanes in order; done(b0) tells that these units have added it. Blocks touch distinct entries
// of the sums, so the next block needs no waiting.
template <class Ready, class Done>
void RunUnits(Plan& plan, std::size_t first, std::size_t last, std::int64_t total, bool clearSums,
              std::span<RecursionLanes::Lane> lanes, Kernel kernel, Ready ready, Done done) {
    // Each row a cache line: a vector never straddles two, and a load finds the store before it.
    alignas(64) thread_local double rows[Rows];
    for (std::int64_t b0 = 0; b0 < total; b0 += Block) {
        const std::int64_t b1 = std::min(total, b0 + Block);
        // Cleared a block at a time, the sums are in the first cache when the lanes add to
        // them.
        if (clearSums)
            for (double* sum : plan.sums)
                std::fill(sum + b0, sum + b1, 0.0);
        for (std::size_t u = first; u < last; ++u) {
            const Unit& unit = plan.units[u];
            if (unit.kind == Unit::Vector)
                ComputeGroupBlock(plan.groups[unit.index], rows, b0, b1, lanes, kernel);
            ready(b0);
            if (unit.kind == Unit::Vector)
                AddGroupBlock(plan.groups[unit.index], rows, b0, b1, lanes, kernel);
            else
                AddUnitBlock(unit, b0, b1, lanes);
        }
        done(b0);
    }
}

// Where a second thread takes over the units: about half the work of the groups.
std::size_t SplitPoint(const Plan& plan) {
    const auto cost = [&](const Unit& unit) {
        if (unit.kind != Unit::Vector)
            return 1;
        const Group& g = plan.groups[unit.index];
        return 4 + g.poles + g.zeros;
    };
    int total = 0;
    for (const Unit& unit : plan.units)
        total += cost(unit);
    int before = 0;
    std::size_t u = 0;
    while (u < plan.units.size() && 2 * (before + cost(plan.units[u])) <= total)
        before += cost(plan.units[u++]);
    return u;
}

} // namespace

void RecursionLanes::Run(std::span<Lane> lanes, std::size_t count, bool baselineOnly,
                         bool clearSums, int threads) {
    Plan plan = MakePlan(lanes, count);
    for (Unit& unit : plan.units) {
        if (unit.kind != Unit::Alone)
            continue;
        unit.samples = std::make_unique_for_overwrite<double[]>(count);
        lanes[unit.index].result = lanes[unit.index].recursion.Run(unit.samples.get());
    }
    const Kernel kernel = baselineOnly ? Baseline : BestKernel();
    const auto total = static_cast<std::int64_t>(count);
    const auto none = [](std::int64_t) {};
    const std::size_t split = threads > 1 ? SplitPoint(plan) : plan.units.size();
    // The first half clears and adds each block before the second half adds to it.
    std::atomic<std::int64_t> added{-1};
    HelperThread& helper = HelperThread::Shared();
    const bool shared = split != 0 && split != plan.units.size() && helper.Start([&] {
        RunUnits(
            plan, split, plan.units.size(), total, false, lanes, kernel,
            [&](std::int64_t b0) {
                while (added.load(std::memory_order_acquire) < b0)
                    __builtin_ia32_pause();
            },
            none);
    });
    if (shared) {
        RunUnits(plan, 0, split, total, clearSums, lanes, kernel, none,
                 [&](std::int64_t b0) { added.store(b0, std::memory_order_release); });
        helper.Wait();
    } else {
        RunUnits(plan, 0, plan.units.size(), total, clearSums, lanes, kernel, none, none);
    }
    for (const Group& g : plan.groups)
        for (int l = 0; l < g.used; ++l)
            if (!g.failed[l])
                lanes[g.lane[l]].result = {count, g.error[l], true};
}

void RecursionLanes::Run(std::span<Lane> lanes, const Experiments& experiments, std::size_t count,
                         bool baselineOnly, bool clearSums, int threads) {
    if (experiments.Single()) {
        Run(lanes, count, baselineOnly, clearSums, threads);
        return;
    }
    std::vector<Lane> parts(lanes.begin(), lanes.end());
    std::vector<Recursion::Result> results(lanes.size());
    for (const Experiments::Part& rows : experiments.Parts(count)) {
        for (std::size_t k = 0; k < lanes.size(); ++k) {
            if (lanes[k].simulated)
                parts[k].recursion = lanes[k].recursion.Part(rows);
            parts[k].sum = lanes[k].sum + rows.Begin;
        }
        Run(parts, rows.End - rows.Begin, baselineOnly, clearSums, threads);
        for (std::size_t k = 0; k < lanes.size(); ++k)
            results[k].Append(parts[k].result, rows.Begin);
    }
    for (std::size_t k = 0; k < lanes.size(); ++k)
        lanes[k].result = results[k];
}

} // namespace orvanel
