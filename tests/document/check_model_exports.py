"""Runs the model exports in Python: the .py script and a scipy simulation of the .json model
must both reproduce the program's own simulation of the data within 1e-9 relative.

Usage: check_model_exports.py MODEL_EXPORT_FILES FOLDER
"""
import json
import os
import subprocess
import sys

import numpy as np
from scipy import signal

TOLERANCE = 1e-9


def values_of(text):
    return np.array([float(line) for line in text.split("\n") if line])


def read_values(path):
    with open(path) as file:
        return values_of(file.read())


def read_inputs(path):
    with open(path, newline="") as file:
        rows = [line.split("\t") for line in file.read().splitlines()]
    return np.array([[float(cell) for cell in row[:-1]] for row in rows])


def simulate_json(model, inputs):
    offsets = model.get("offsets", {"inputs": [0.0] * len(model["inputs"]), "output": 0.0})
    output = np.zeros(inputs.shape[0])
    for k, part in enumerate(model["inputs"]):
        system = signal.dlti(part["numerator"], part["denominator"] + [0.0] * part["delay"])
        b = np.concatenate([np.zeros(len(system.den) - len(system.num)), system.num])
        output += signal.lfilter(b, system.den, inputs[:, k] - offsets["inputs"][k])
    return output + offsets["output"]


def expect_close(name, values, reference):
    if values.shape != reference.shape:
        sys.exit(f"{name}: {values.shape[0]} values, expected {reference.shape[0]}")
    error = np.max(np.abs(values - reference)) / np.max(np.abs(reference))
    if not error <= TOLERANCE:
        sys.exit(f"{name}: relative error {error:.3g} over {TOLERANCE}")


def run_script(path, *arguments):
    done = subprocess.run([sys.executable, path, *arguments], capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{path} failed: {done.stderr}")
    return done.stdout


def check(folder, stem, reference_name, sample_time, offsets):
    data = os.path.join(folder, "data.txt")
    reference = read_values(os.path.join(folder, reference_name))
    with open(os.path.join(folder, stem + ".json")) as file:
        model = json.load(file)
    if model.get("sample_time") != sample_time or model.get("offsets") != offsets:
        sys.exit(f"{stem}.json: sample time {model.get('sample_time')}, "
                 f"offsets {model.get('offsets')}")
    if [part["delay"] for part in model["inputs"]] != [2, 0, 3]:
        sys.exit(f"{stem}.json: delays {[part['delay'] for part in model['inputs']]}")
    expect_close(stem + ".json", simulate_json(model, read_inputs(data)), reference)

    script = os.path.join(folder, stem + ".py")
    if run_script(script) != "":
        sys.exit(f"{script} printed something without a data file")
    expect_close(stem + ".py", values_of(run_script(script, data)), reference)


def main():
    helper, folder = sys.argv[1:3]
    os.makedirs(folder, exist_ok=True)
    subprocess.run([helper, folder], check=True)
    check(folder, "model", "reference.txt", None, None)
    check(folder, "offsets", "offsets-reference.txt", 0.25,
          {"inputs": [40.25, 3.5, -0.0625], "output": 12.5})


if __name__ == "__main__":
    main()
