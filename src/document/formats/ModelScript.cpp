#include "document/formats/ModelScript.h"

#include "document/formats/ModelExport.h"
#include "document/table/TextEncoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvanel {
namespace {

constexpr int SignificantDigits = 17;

// Kept in step with the scripts below; a test reads the calls and imports from the scripts.
constexpr std::string_view MatlabCalls[] = {
    "any",        "argv",      "cell",    "cellfun", "char",         "error",  "exist", "fclose",
    "fileparts",  "filter",    "find",    "fopen",   "fprintf",      "fread",  "Inf",   "isempty",
    "isfinite",   "mfilename", "numel",   "pkg",     "program_name", "regexp", "set",   "size",
    "str2double", "strcmp",    "strncmp", "tf",      "vertcat",      "zeros"};
constexpr std::string_view PythonImports[] = {"numpy", "re", "scipy"};

struct Spelling {
    std::string_view NotANumber;
    std::string_view Infinity;
    std::string_view Comment;
};

constexpr Spelling PythonSpelling{"float('nan')", "float('inf')", "#"};
constexpr Spelling MatlabSpelling{"NaN", "Inf", "%"};

std::string Literal(double value, const Spelling& spelling) {
    if (std::isnan(value))
        return std::string(spelling.NotANumber);
    if (std::isinf(value))
        return (value < 0 ? "-" : "") + std::string(spelling.Infinity);
    char text[32];
    const auto end = std::to_chars(std::begin(text), std::end(text), value,
                                   std::chars_format::general, SignificantDigits)
                         .ptr;
    return std::string(text, end);
}

std::string List(const std::vector<double>& values, const Spelling& spelling) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i > 0 ? ", " : "") + Literal(values[i], spelling);
    return text + "]";
}

// A name as a Python string literal: ASCII only, every other character escaped, so that no
// name can end the literal or the line.
std::string PythonString(const std::string& name) {
    static constexpr std::string_view Hex = "0123456789abcdef";
    std::string text = "\"";
    for (const char c : TextEncoding::Printable(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            text.append(1, '\\').append(1, c);
        else if (byte >= 0x20 && byte < 0x7F)
            text += c;
        else
            text.append("\\x").append(1, Hex[byte >> 4]).append(1, Hex[byte & 0xF]);
    }
    return text + "\"";
}

// A name as a MATLAB/Octave character array: quotes doubled, control characters as text.
std::string MatlabString(const std::string& name) {
    std::string text = "'";
    for (const char c : TextEncoding::Printable(name))
        text += c == '\'' ? std::string("''") : std::string(1, c);
    return text + "'";
}

std::string NameList(const ModelExport& model, std::string (*literal)(const std::string&),
                     std::string_view open, std::string_view close) {
    std::string text(open);
    for (std::size_t k = 0; k < model.Model.Inputs.size(); ++k)
        text += (k > 0 ? ", " : "") + literal(model.InputName(k));
    return text + std::string(close);
}

std::vector<double> DenominatorWithoutDelay(const LinearModel::Input& input) {
    std::vector<double> denominator = input.PolePolynomial();
    std::reverse(denominator.begin(), denominator.end());
    return denominator;
}

std::string Heading(const ModelExport& model, const Spelling& spelling) {
    const std::string c(spelling.Comment);
    // The name has a line of its own, never the first two: Python takes an encoding from a
    // "coding=" there.
    std::string text = c + " Model identified by Orvanel " +
                       std::string(ModelExport::ProgramVersion()) + " from the data file\n";
    text += c + " " + TextEncoding::Printable(model.DataFile) + "\n";
    text += c + " Input k's transfer function is z^-delay * numerator(z) / denominator(z), the\n";
    text += c + " coefficients in descending powers of z; the output is the sum of every input's\n";
    text += c + " response from zero state";
    if (model.RemovedOffsets)
        text += " to the input minus its offset, plus the output's offset";
    return text + ".\n";
}

std::string PythonInputs(const ModelExport& model) {
    std::string text = "# (numerator, denominator, delay in samples) per input\nINPUTS = [\n";
    for (const LinearModel::Input& input : model.Model.Inputs) {
        text += "    (" + List(input.Numerator(), PythonSpelling) + ",\n     " +
                List(DenominatorWithoutDelay(input), PythonSpelling) + ", " +
                std::to_string(input.Delay) + "),\n";
    }
    text += "]\n";
    if (model.RemovedOffsets) {
        text += "INPUT_OFFSETS = " + List(model.RemovedOffsets->InputMeans, PythonSpelling) +
                "\nOUTPUT_OFFSET = " + Literal(model.RemovedOffsets->OutputMean, PythonSpelling) +
                "\n";
    } else {
        text += "INPUT_OFFSETS = [0.0] * len(INPUTS)\nOUTPUT_OFFSET = 0.0\n";
    }
    if (!model.InputNames.empty()) {
        text += "# The data file's names of the inputs and the output.\n";
        text += "INPUT_NAMES = " + NameList(model, PythonString, "[", "]") + "\n";
        text += "OUTPUT_NAME = " + PythonString(model.OutputNameOrDefault()) + "\n";
    }
    return text;
}

constexpr std::string_view PythonBody = R"(
# Each input's transfer function with its delay as poles at the origin.
MODEL = [signal.dlti(numerator, list(denominator) + [0.0] * delay, dt=SAMPLE_TIME)
         for numerator, denominator, delay in INPUTS]
# The same by the input's name, where the data file named them.
MODEL_BY_NAME = dict(zip(globals().get("INPUT_NAMES", []), MODEL))


# A cell's number as the program reads it: a sign, digits with a '.' and an exponent.
NUMBER = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?")


def read_inputs(path):
    """The input columns of a data file read as the program reads it: UTF-8 (a byte-order mark
    ignored) or 8-bit text, rows ended by CR LF, LF or CR (the last may lack it), TAB-separated
    numbers with '.' decimals, the output last. Anything else ends the script naming the row."""
    with open(path, "rb") as file:
        data = file.read()
    try:
        text = data.decode("utf-8").removeprefix("\ufeff")
    except UnicodeDecodeError:
        text = data.decode("latin-1")
    lines = re.split(r"\r\n|\r|\n", text)
    if lines[-1] == "":
        lines.pop()
    if not lines:
        sys.exit(f"{path}: no data")
    rows = []
    for row, line in enumerate(lines, 1):
        cells = line.split("\t")
        if not line.strip("\t"):
            sys.exit(f"{path}: row {row}: empty line")
        if len(cells) != len(INPUTS) + 1:
            sys.exit(f"{path}: row {row}: {len(cells)} cells, expected {len(INPUTS)} inputs "
                     "and the output")
        for column, cell in enumerate(cells, 1):
            # Beyond the double range is no number either.
            if not NUMBER.fullmatch(cell) or np.isinf(float(cell)):
                sys.exit(f"{path}: row {row}: column {column} is not a number")
        rows.append([float(cell) for cell in cells[:-1]])
    return np.array(rows)


def simulate(inputs):
    """The model's output for one column per input, from zero state."""
    output = np.zeros(inputs.shape[0])
    for k, (numerator, denominator, delay) in enumerate(INPUTS):
        # In powers of 1/z: the numerator shifted by the relative degree and the delay.
        lag = len(denominator) - len(numerator) + delay
        b = np.concatenate([np.zeros(lag), numerator])
        a = np.concatenate([denominator, np.zeros(delay)])
        output = output + signal.lfilter(b, a, inputs[:, k] - INPUT_OFFSETS[k])
    return output + OUTPUT_OFFSET


if __name__ == "__main__":
    if len(sys.argv) > 1:
        values = simulate(read_inputs(sys.argv[1]))
        sys.stdout.write("".join(f"{value:.17g}\n" for value in values))
)";

std::string MatlabInputs(const ModelExport& model) {
    std::string numerators = "numerators = {";
    std::string denominators = "denominators = {";
    std::string delays = "delays = [";
    for (std::size_t k = 0; k < model.Model.Inputs.size(); ++k) {
        const LinearModel::Input& input = model.Model.Inputs[k];
        const std::string separator = k > 0 ? ", ...\n    " : "";
        numerators += separator + List(input.Numerator(), MatlabSpelling);
        denominators += separator + List(DenominatorWithoutDelay(input), MatlabSpelling);
        delays += (k > 0 ? ", " : "") + std::to_string(input.Delay);
    }
    std::string text = numerators + "};\n" + denominators + "};\n" + delays + "];\n";
    if (model.RemovedOffsets) {
        text += "input_offsets = " + List(model.RemovedOffsets->InputMeans, MatlabSpelling) +
                ";\noutput_offset = " + Literal(model.RemovedOffsets->OutputMean, MatlabSpelling) +
                ";\n";
    } else {
        text += "input_offsets = zeros(1, numel(delays));\noutput_offset = 0;\n";
    }
    if (!model.InputNames.empty()) {
        text += "% The data file's names of the inputs and the output.\n";
        text += "input_names = " + NameList(model, MatlabString, "{", "}") + ";\n";
        text += "output_name = " + MatlabString(model.OutputNameOrDefault()) + ";\n";
    }
    return text;
}

constexpr std::string_view MatlabBody = R"(
is_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
if is_octave
  pkg load control
  % octave-cli model.m DATA.txt; with octave-cli --eval the arguments are Octave's own.
  [~, program] = fileparts(program_name);
  command_line = argv();
  if strcmp(program, mfilename) && ~isempty(command_line)
    data_file = command_line{1};
  end
end

% One discrete transfer function per input; Octave's tf holds no input delay, so there the
% delay is given as poles at the origin.
parts = cell(1, numel(delays));
for k = 1:numel(delays)
  if is_octave
    parts{k} = tf(numerators{k}, [denominators{k}, zeros(1, delays(k))], sample_time);
  else
    parts{k} = tf(numerators{k}, denominators{k}, sample_time, 'InputDelay', delays(k));
  end
end
model = [parts{:}];
)";

// The data file's names on the model, where it named its columns.
constexpr std::string_view MatlabNames = R"(if is_octave
  model = set(model, 'inname', input_names, 'outname', {output_name});
else
  model.InputName = input_names;
  model.OutputName = output_name;
end
)";

constexpr std::string_view MatlabSimulation = R"(
if exist('data_file', 'var')
  % The data file read as the program reads it: a UTF-8 byte-order mark ignored, rows ended by
  % CR LF, LF or CR (the last may lack it), TAB-separated numbers with '.' decimals, the
  % output last. Anything else is refused, naming the row.
  file = fopen(data_file, 'r');
  if file < 0
    error('%s: cannot be opened', data_file);
  end
  bytes = fread(file, [1, Inf], 'uint8=>char');
  fclose(file);
  if strncmp(bytes, char([239, 187, 191]), 3)
    bytes = bytes(4:end);
  end
  % No number holds other bytes than ASCII, and regexp refuses text that is not UTF-8.
  bytes(bytes > 127) = '?';
  lines = regexp(bytes, '\r\n|\r|\n', 'split');
  if isempty(lines{end})
    lines(end) = [];
  end
  if isempty(lines)
    error('%s: no data', data_file);
  end
  cells = regexp(lines, '\t', 'split');
  widths = cellfun(@numel, cells);
  blank = cellfun(@isempty, regexp(lines, '[^\t]', 'once'));
  row = find(blank | widths ~= numel(delays) + 1, 1);
  if ~isempty(row) && blank(row)
    error('%s: row %d: empty line', data_file, row);
  elseif ~isempty(row)
    error('%s: row %d: %d cells, expected %d inputs and the output', data_file, row, ...
          widths(row), numel(delays));
  end
  cells = vertcat(cells{:});
  data = str2double(cells);
  % str2double reads "1,5" as 15 and more: the text must be a number as the program writes
  % one, and within the double range.
  number = '^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$';
  bad = cellfun(@isempty, regexp(cells, number, 'once')) | ~isfinite(data);
  row = find(any(bad, 2), 1);
  if ~isempty(row)
    error('%s: row %d: column %d is not a number', data_file, row, find(bad(row, :), 1));
  end
  % The difference equations in powers of 1/z, from zero state.
  output = zeros(size(data, 1), 1);
  for k = 1:numel(delays)
    lag = numel(denominators{k}) - numel(numerators{k}) + delays(k);
    b = [zeros(1, lag), numerators{k}];
    a = [denominators{k}, zeros(1, delays(k))];
    output = output + filter(b, a, data(:, k) - input_offsets(k));
  end
  output = output + output_offset;
  fprintf('%.17g\n', output);
end
)";

} // namespace

std::string ModelScript::Python(const ModelExport& model) {
    std::string text = "#!/usr/bin/env python3\n" + Heading(model, PythonSpelling);
    text += "# python3 model.py DATA.txt prints the model's output for the inputs in DATA.txt\n"
            "# (TAB-separated numbers, one row per line, the output last), one value per line.\n"
            "import re\nimport sys\n\nimport numpy as np\nfrom scipy import signal\n\n";
    text += "SAMPLE_TIME = " +
            (model.SampleTime ? Literal(*model.SampleTime, PythonSpelling) + "  # seconds"
                              : std::string("True  # unspecified")) +
            "\n";
    return text + PythonInputs(model) + std::string(PythonBody);
}

std::span<const std::string_view> ModelScript::MatlabFunctions() {
    return MatlabCalls;
}

std::span<const std::string_view> ModelScript::PythonModules() {
    return PythonImports;
}

std::string ModelScript::Matlab(const ModelExport& model) {
    std::string text = Heading(model, MatlabSpelling);
    text += "% Octave: octave-cli model.m DATA.txt prints the model's output for the inputs in\n"
            "% DATA.txt (TAB-separated numbers, one row per line, the output last), one value\n"
            "% per line. MATLAB: data_file = 'DATA.txt'; then run the script.\n\n";
    text += "sample_time = " +
            (model.SampleTime ? Literal(*model.SampleTime, MatlabSpelling) + ";  % seconds"
                              : std::string("-1;  % unspecified")) +
            "\n";
    text += MatlabInputs(model) + std::string(MatlabBody);
    if (!model.InputNames.empty())
        text += MatlabNames;
    return text + std::string(MatlabSimulation);
}

} // namespace orvanel
