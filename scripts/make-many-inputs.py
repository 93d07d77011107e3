#!/usr/bin/env python3
"""Writes a data set of many inputs for trials and benchmarks of large models.

Each input holds random levels in [-1, 1] for 5 to 20 samples; the output is the sum of one
first-order response g / (z - p) per input (p in [0.5, 0.95], g chosen for a static gain in
[-1, 1]) plus uniform noise of 1 % of the noise-free output's RMS. The same arguments give the
same file. The model of every input goes to standard error.

    scripts/make-many-inputs.py INPUTS ROWS SEED FILE
"""
import math
import random
import sys


def held_levels(rng, rows):
    values = []
    while len(values) < rows:
        values.extend([rng.uniform(-1.0, 1.0)] * rng.randint(5, 20))
    return values[:rows]


def first_order(u, gain, pole):
    y = [0.0] * len(u)
    for k in range(1, len(u)):
        y[k] = pole * y[k - 1] + gain * u[k - 1]
    return y


def main(inputs, rows, seed, path):
    rng = random.Random(seed)
    columns = []
    output = [0.0] * rows
    for i in range(inputs):
        u = held_levels(rng, rows)
        pole = rng.uniform(0.5, 0.95)
        gain = rng.uniform(-1.0, 1.0) * (1.0 - pole)
        print(f"input {i + 1}: {gain:.6g} / (z - {pole:.6g})", file=sys.stderr)
        for k, v in enumerate(first_order(u, gain, pole)):
            output[k] += v
        columns.append(u)
    rms = math.sqrt(sum(v * v for v in output) / rows)
    noisy = [v + rng.uniform(-1.0, 1.0) * 0.01 * rms for v in output]
    columns.append(noisy)
    with open(path, "w", newline="") as file:
        for k in range(rows):
            file.write("\t".join(f"{c[k]:.6g}" for c in columns) + "\r\n")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__.strip().splitlines()[-1].strip())
    main(int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
