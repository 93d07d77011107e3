"""Runs the model exports in Python: the .py script and a scipy simulation of the .json model
must both reproduce the program's own simulation of the data within 1e-9 relative, the .py
must read the data files the program reads and refuse the others naming the row, and a data
file's name must not break either export.

Usage: check_model_exports.py MODEL_EXPORT_FILES FOLDER
"""
import json
import os
import runpy
import subprocess
import sys

import numpy as np
from scipy import signal

TOLERANCE = 1e-9

ROW = "1\t2\t3\t4\n"
# Data of the three-input models that the program refuses, and the row it names (0: the
# file as a whole).
REFUSED = [
    ("a word", ROW + "1\tabc\t3\t4\n", 2),
    ("a decimal comma", "1,5\t2\t3\t4\n", 1),
    ("a short row", ROW + ROW + "1\t2\t3\n", 3),
    ("a long row", ROW + "1\t2\t3\t4\t5\n", 2),
    ("a blank line", ROW + "\r\n" + ROW, 2),
    ("a final blank line", ROW + "\n\n", 2),
    ("a line of TABs", ROW + "\t\t\t\n", 2),
    ("a space", ROW + "1\t 2\t3\t4\n", 2),
    ("infinity", "inf\t2\t3\t4\n", 1),
    ("not a number", "1\tnan\t3\t4\n", 1),
    ("hexadecimal", "1\t2\t0x1\t4\n", 1),
    ("a digit separator", "1_0\t2\t3\t4\n", 1),
    ("an Arabic digit", "\u0661\t2\t3\t4\n", 1),
    ("no digits", "1\t.\t3\t4\n", 1),
    ("an exponent without digits", "1\t2\t3e\t4\n", 1),
    ("beyond the double range", "1e999\t2\t3\t4\n", 1),
    ("a form feed", "1\t2\t3\t4\f\n", 1),
    ("an 8-bit character", ROW.encode() + b"1\t\xe92\t3\t4\n", 2),
    ("an empty file", "", 0),
]
# Every number form the program reads, beside the same values written plainly.
FORMS = ("+1.5e0\t.5\t5.\t-0\r-25E-1\t1e-999\t+7\t2", "1.5\t0.5\t5\t0\n-2.5\t0\t7\t2\n")


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


def run_script(path, *arguments, refused=False):
    done = subprocess.run([sys.executable, path, *arguments], capture_output=True, text=True)
    if (done.returncode != 0) != refused:
        sys.exit(f"{path} {'ran' if refused else 'failed'}: {done.stderr}")
    return done.stderr if refused else done.stdout


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as file:
        file.write(data.encode() if isinstance(data, str) else data)
    return path


def check_reading(folder):
    """The script's reader, called in this process (a script run takes a second to start)."""
    script = os.path.join(folder, "model.py")
    model = runpy.run_path(script, run_name="model")
    for case, text, row in REFUSED:
        try:
            model["read_inputs"](write(folder, "refused.txt", text))
        except SystemExit as refusal:
            message = str(refusal.code)
        else:
            sys.exit(f"{script} read data with {case}")
        if (f"row {row}:" if row else "no data") not in message:
            sys.exit(f"{script} with {case}: expected row {row} refused, not: {message}")
    # Run as a command, a refusal is on standard error with a failure status.
    word = write(folder, "refused.txt", REFUSED[0][1])
    if "row 2: column 2 is not a number" not in run_script(script, word, refused=True):
        sys.exit(f"{script} did not say which cell it refused")
    with open(os.path.join(folder, "data.txt"), "rb") as file:
        data = file.read()
    reference = read_values(os.path.join(folder, "reference.txt"))
    for case, text in [("CR line ends", data.replace(b"\r\n", b"\r")),
                       ("LF line ends", data.replace(b"\r\n", b"\n")),
                       ("a byte-order mark", b"\xef\xbb\xbf" + data),
                       ("no final line end", data.rstrip())]:
        values = model["simulate"](model["read_inputs"](write(folder, "other.txt", text)))
        expect_close(f"{script} with {case}", values, reference)
    forms = [model["read_inputs"](write(folder, "forms.txt", text)).tolist() for text in FORMS]
    if forms[0] != forms[1]:
        sys.exit(f"{script} reads {FORMS[0]!r} otherwise than {FORMS[1]!r}")


def check_names(folder):
    """A data file name that is not UTF-8, that declares an encoding, holds a quote and line
    ends: the JSON parses and the script runs."""
    with open(os.path.join(folder, "names.json"), encoding="utf-8") as file:
        name = json.load(file)["found_by"]["data_file"]
    if name != "/data/caf\\xE9 -*- coding=foo -*- it's\\x0A\\x0D\\x01.txt":
        sys.exit(f"names.json: data file {name!r}")
    expect_close("names.py", values_of(run_script(os.path.join(folder, "names.py"),
                                                  os.path.join(folder, "data.txt"))),
                 read_values(os.path.join(folder, "reference.txt")))


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
    check_reading(folder)
    check_names(folder)


if __name__ == "__main__":
    main()
