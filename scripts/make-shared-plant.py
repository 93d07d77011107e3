#!/usr/bin/env python3
"""Writes a data set of a plant whose inputs share one denominator, for trials of that form.

Three inputs of random levels in [-1, 1], held for 5 to 30 samples, pass through numerators
of their own and one fourth-order denominator (poles 0.95, 0.8 and the pair 0.6 +/- 0.3j),
each a sample late and then 0, 1 or 2 samples more. Coloured noise (white noise through
1 / (1 - 0.9 z^-1)) of NOISE % (default 10) of the noise-free output's RMS is added. With
"separate" each input has a denominator of its own instead: the shared one's poles split
among them (0.95 and 0.8; the pair; 0.9 and 0.5), for the contrast. The same arguments give
the same file; the plant goes to standard error.

    scripts/make-shared-plant.py ROWS SEED FILE [NOISE [separate]]
"""
import sys

import numpy as np
from scipy.signal import lfilter

POLES = [0.95, 0.8, 0.6 + 0.3j, 0.6 - 0.3j]
# Numerators in descending powers of z^-1 after the delay, and the delays.
NUMERATORS = [[0.02, 0.015], [-0.03, 0.01, 0.012], [0.01, 0.02]]
DELAYS = [0, 1, 2]
SEPARATE_POLES = [[0.95, 0.8], [0.6 + 0.3j, 0.6 - 0.3j], [0.9, 0.5]]


def held_levels(rng, rows):
    values = []
    while len(values) < rows:
        values.extend([rng.uniform(-1.0, 1.0)] * int(rng.integers(5, 31)))
    return np.array(values[:rows])


def main(rows, seed, path, noise_share, separate):
    rng = np.random.default_rng(seed)
    inputs = [held_levels(rng, rows) for _ in NUMERATORS]
    clean = np.zeros(rows)
    for k, (u, b, d) in enumerate(zip(inputs, NUMERATORS, DELAYS)):
        denominator = np.real(np.poly(SEPARATE_POLES[k] if separate else POLES))
        # The output answers the input of the row before at the earliest.
        clean += lfilter(np.concatenate([np.zeros(d + 1), b]), denominator, u)
        print(f"delay {d}, numerator {b}, denominator {denominator.tolist()}", file=sys.stderr)
    noise = lfilter([1.0], [1.0, -0.9], rng.standard_normal(rows))
    noise *= noise_share * np.sqrt(np.mean(clean**2)) / np.sqrt(np.mean(noise**2))
    output = clean + noise
    with open(path, "w") as f:
        for row in zip(*inputs, output):
            f.write("\t".join(f"{v:.9g}" for v in row) + "\n")


if __name__ == "__main__":
    main(int(sys.argv[1]), int(sys.argv[2]), sys.argv[3],
         float(sys.argv[4]) / 100 if len(sys.argv) > 4 else 0.10,
         len(sys.argv) > 5 and sys.argv[5] == "separate")
