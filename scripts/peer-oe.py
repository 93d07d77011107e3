"""A peer for scripts/model-quality.sh: an output-error model (one B/F per input) refitted by
scipy's least squares from an ARX start, orders and a common delay chosen by a hold-out inside
the estimation rows (fit on their first 70 %, simulate from rest, score the last 30 %), the
chosen one refitted on all estimation rows and judged on the validation rows.
Prints "fit <percent>".
    /usr/bin/python3 scripts/peer-oe.py FILE VALIDATION_PERCENT
"""
import sys

import numpy as np
from scipy.optimize import least_squares
from scipy.signal import lfilter


def simulate(theta, u, n, d):
    out = np.zeros(u.shape[0])
    for k in range(u.shape[1]):
        b = np.concatenate([np.zeros(d), theta[2 * n * k:2 * n * k + n]])
        f = np.concatenate([[1.0], theta[2 * n * k + n:2 * n * (k + 1)]])
        if np.any(np.abs(np.roots(f)) >= 1.0):
            return np.full(u.shape[0], 1e10)
        out += lfilter(b, f, u[:, k])
    return out


def arx_start(y, u, n, d):
    rows, m = u.shape
    columns = []
    for j in range(1, n + 1):
        columns.append(-np.concatenate([np.zeros(j), y[:-j]]))
    for k in range(m):
        for j in range(n):
            lag = d + j
            columns.append(np.concatenate([np.zeros(lag), u[:rows - lag, k]]) if lag else u[:, k])
    phi = np.column_stack(columns)
    theta = np.linalg.lstsq(phi, y, rcond=None)[0]
    a = theta[:n]
    start = []
    for k in range(m):
        start += list(theta[n + n * k:n + n * (k + 1)]) + list(a)
    return np.array(start)


def fit(y, u, n, d):
    start = arx_start(y, u, n, d)
    if not np.all(np.isfinite(simulate(start, u, n, d))) or \
            np.max(np.abs(simulate(start, u, n, d))) >= 1e10:
        start = np.concatenate([[0.0] * n + [0.0] * n for _ in range(u.shape[1])])
    return least_squares(lambda t: y - simulate(t, u, n, d), start, max_nfev=200).x


def main():
    data = np.loadtxt(sys.argv[1])
    rows = data.shape[0]
    estimation = rows - int(np.floor(rows * float(sys.argv[2]) / 100))
    data = data - data[:estimation].mean(axis=0)
    u, y = data[:, :-1], data[:, -1]
    part = int(estimation * 0.7)
    best, chosen = np.inf, (1, 0)
    for n in (1, 2, 3):
        for d in (0, 1, 2, 3):
            theta = fit(y[:part], u[:part], n, d)
            s = simulate(theta, u[:estimation], n, d)
            e = np.sum((y[part:estimation] - s[part:]) ** 2)
            if e < best:
                best, chosen = e, (n, d)
    theta = fit(y[:estimation], u[:estimation], *chosen)
    s = simulate(theta, u, *chosen)
    v = y[estimation:]
    print("fit %.2f" % (100 * (1 - np.linalg.norm(v - s[estimation:]) / np.linalg.norm(v - v.mean()))))


main()
