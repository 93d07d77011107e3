#include "document/formats/MatTable.h"

#include "document/formats/DataImport.h"
#include "document/formats/MissingValues.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <hdf5.h>
#include <map>
#include <matio.h>
#include <memory>
#include <system_error>
#include <vector>
#include <zlib.h>

namespace orvanel {
namespace {

struct MatFileCloser {
    void operator()(mat_t* file) const { Mat_Close(file); }
};
struct VariableFreer {
    void operator()(matvar_t* variable) const { Mat_VarFree(variable); }
};
using MatFile = std::unique_ptr<mat_t, MatFileCloser>;
using Variable = std::unique_ptr<matvar_t, VariableFreer>;

// A numeric variable's values as doubles, column-major as MATLAB stores them.
template <typename T> std::vector<double> Values(const matvar_t& variable, std::size_t count) {
    const auto* data = static_cast<const T*>(variable.data);
    return std::vector<double>(data, data + count);
}

std::optional<std::vector<double>> AsDoubles(const matvar_t& variable, std::size_t count) {
    switch (variable.class_type) {
    case MAT_C_DOUBLE:
        return Values<double>(variable, count);
    case MAT_C_SINGLE:
        return Values<float>(variable, count);
    case MAT_C_INT8:
        return Values<std::int8_t>(variable, count);
    case MAT_C_UINT8:
        return Values<std::uint8_t>(variable, count);
    case MAT_C_INT16:
        return Values<std::int16_t>(variable, count);
    case MAT_C_UINT16:
        return Values<std::uint16_t>(variable, count);
    case MAT_C_INT32:
        return Values<std::int32_t>(variable, count);
    case MAT_C_UINT32:
        return Values<std::uint32_t>(variable, count);
    case MAT_C_INT64:
        return Values<std::int64_t>(variable, count);
    case MAT_C_UINT64:
        return Values<std::uint64_t>(variable, count);
    default:
        return std::nullopt;
    }
}

std::string ClassName(const matvar_t& variable) {
    if (variable.isComplex)
        return "complex";
    switch (variable.class_type) {
    case MAT_C_CELL:
        return "a cell array";
    case MAT_C_STRUCT:
        return "a structure";
    case MAT_C_OBJECT:
    case MAT_C_OPAQUE:
    case MAT_C_FUNCTION:
        return "an object";
    case MAT_C_CHAR:
        return "text";
    case MAT_C_SPARSE:
        return "a sparse matrix";
    case MAT_C_EMPTY:
        return "empty";
    default:
        return variable.rank > 2 ? "an array of " + std::to_string(variable.rank) + " dimensions"
                                 : "numeric";
    }
}

// A plain numeric variable of two dimensions: its rows, columns and values.
struct Numeric {
    std::string Name;
    std::size_t Rows = 0;
    std::size_t Columns = 0;
    std::vector<double> Values;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
    throw ImportError(path + " " + message);
}

// The HDF5 library under version 7.3 files prints a trace of every failure to the standard
// error; a damaged file's failure is reported once, by the message here.
void QuietHdf5() {
    static const bool quiet = [] { return H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr) >= 0; }();
    static_cast<void>(quiet);
}

// A file that is not regular (a FIFO, a device) would block or never end once opened.
std::uint64_t RegularFileSize(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error)
        Fail(path, "cannot be opened: " + error.message());
    if (!std::filesystem::is_regular_file(status))
        Fail(path, "is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        Fail(path, "cannot be opened: " + error.message());
    return size;
}

// The 4-byte word at `bytes`, written in this machine's byte order or, `swapped`, the other.
std::uint32_t Word(const unsigned char* bytes, bool swapped) {
    std::uint32_t word = 0;
    for (std::size_t b = 0; b < 4; ++b)
        word |= static_cast<std::uint32_t>(bytes[swapped ? 3 - b : b]) << (8 * b);
    return word;
}

// Versions 5 and 7.3 end their 128-byte header with the writer's 'M' 'I' in its byte order.
bool HasVersion5Header(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 128> header{};
    if (!file.read(header.data(), header.size()))
        return false;
    const std::string mark(header.end() - 2, header.end());
    return mark == "IM" || mark == "MI";
}

// Version 4 files are records of a 20-byte header (type, rows, columns, imaginary flag, name
// length), the name and the values; the library allocates the name and the values it declares.
void RequireWholeVersion4(const std::string& path, std::uint64_t size) {
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 20> header{};
    for (std::uint64_t offset = 0, record = 1; offset + header.size() <= size; ++record) {
        file.seekg(static_cast<std::streamoff>(offset));
        if (!file.read(reinterpret_cast<char*>(header.data()), header.size()))
            Fail(path, "cannot be read");
        std::array<std::uint64_t, 5> fields{};
        // A type beyond the format's four digits is written in the other byte order.
        const bool swapped = (header[2] | header[3]) != 0;
        for (std::size_t f = 0; f < fields.size(); ++f)
            fields[f] = Word(header.data() + 4 * f, swapped);
        const std::uint64_t valueSize = std::array<std::uint64_t, 6>{
            8, 4, 4, 2, 2, 1}[std::min<std::uint64_t>(fields[0] / 10 % 10, 5)];
        const std::uint64_t left = size - offset - header.size();
        // Only multiplied once both counts are known to be below the file's size.
        const bool fits = fields[4] <= left && fields[1] <= left && fields[2] <= left;
        const std::uint64_t valueBytes =
            fits ? fields[1] * fields[2] * valueSize * (fields[3] != 0 ? 2 : 1) : 0;
        if (!fits || valueBytes > left - fields[4])
            Fail(path, "is damaged or cut short: its variable " + std::to_string(record) +
                           " declares more than the file holds");
        offset += header.size() + fields[4] + valueBytes;
    }
}

// zlib expands its input by at most 1032 times.
constexpr std::uint64_t MostExpansion = 1032;
// How much of a variable's start is checked: its flags, dimensions, name and more.
constexpr std::size_t CheckedPrefix = 4096;

std::uint32_t WordAt(const std::vector<unsigned char>& bytes, std::uint64_t at, bool swapped) {
    return Word(bytes.data() + at, swapped);
}

// The library allocates what a variable's parts (flags, dimensions, name, values) declare,
// before any check of its own: each part must fit in the `declared` bytes of the variable, whose
// first bytes are `content`, and so must a tag of 8 bytes per value of a cell or structure.
bool PartsFit(const std::vector<unsigned char>& content, std::uint64_t declared, bool swapped) {
    // Cells, structures and objects: the library allocates a variable per value.
    constexpr std::array<unsigned, 3> Containers = {1, 2, 3};
    const std::uint64_t end = std::min<std::uint64_t>(content.size(), declared);
    std::uint64_t values = 1;
    unsigned type = 0;
    std::uint64_t part = 0;
    for (std::uint64_t at = 0; at + 8 <= end; ++part) {
        const std::uint32_t first = WordAt(content, at, swapped);
        // A small part keeps its size in the tag's upper half and its data in the tag.
        const bool small = (first >> 16) != 0;
        const std::uint64_t bytes = small ? first >> 16 : WordAt(content, at + 4, swapped);
        const std::uint64_t data = at + (small ? 4 : 8);
        // Dimensions are 4 bytes each; the library reads fewer and loses its place otherwise.
        if (bytes > declared - data || (part == 1 && bytes % 4 != 0))
            return false;
        if (part == 0 && data + 4 <= end)
            type = WordAt(content, data, swapped) & 0xffu;
        for (std::uint64_t d = 0; part == 1 && d + 4 <= bytes && data + d + 4 <= end; d += 4)
            values =
                std::min<std::uint64_t>(values * WordAt(content, data + d, swapped), UINT32_MAX);
        at = small ? at + 8 : data + (bytes + 7) / 8 * 8;
    }
    // Every variable has its flags, dimensions and name; the library reads them past its end.
    if (part < 3 && end == declared)
        return false;
    return std::find(Containers.begin(), Containers.end(), type) == Containers.end() ||
           values * 8 <= declared;
}

// The start of a compressed variable as stored: its own tag and its first bytes.
// Nothing when the stream is damaged: the library would read on in what it made of it.
std::optional<std::vector<unsigned char>> Inflated(std::vector<unsigned char> compressed) {
    std::vector<unsigned char> plain(CheckedPrefix);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return std::nullopt;
    stream.next_in = compressed.data();
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = plain.data();
    stream.avail_out = static_cast<uInt>(plain.size());
    const int result = inflate(&stream, Z_SYNC_FLUSH);
    plain.resize(plain.size() - stream.avail_out);
    inflateEnd(&stream);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
        return std::nullopt;
    return plain;
}

bool VariableFits(std::vector<unsigned char> stored, std::uint64_t bytes, bool compressed,
                  bool swapped) {
    if (!compressed)
        return PartsFit(stored, bytes, swapped);
    std::optional<std::vector<unsigned char>> inflated = Inflated(std::move(stored));
    if (!inflated)
        return false;
    std::vector<unsigned char>& plain = *inflated;
    if (plain.size() < 8)
        return true;
    const std::uint64_t declared = WordAt(plain, 4, swapped);
    if (declared > bytes * MostExpansion)
        return false;
    plain.erase(plain.begin(), plain.begin() + 8);
    return PartsFit(plain, declared, swapped);
}

// Version 5 files are a 128-byte header and then one tagged element per variable, its size
// in its tag. The library reads a last element cut short as if whole, so the sizes are
// checked against the file's length first.
void RequireWholeVersion5(const std::string& path, std::uint64_t size) {
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 8> tag{};
    file.seekg(124);
    file.read(reinterpret_cast<char*>(tag.data()), 4);
    // The writer's 'M' 'I' read back as "IM" when its byte order is this machine's.
    const bool swapped = tag[2] == 'M';
    std::uint64_t offset = 128;
    for (int element = 1; size - offset >= tag.size(); ++element) {
        file.seekg(static_cast<std::streamoff>(offset));
        if (!file.read(reinterpret_cast<char*>(tag.data()), tag.size()))
            Fail(path, "cannot be read");
        // A small element keeps its size in the tag's upper half and its data in the tag.
        const std::uint32_t first = Word(tag.data(), swapped);
        const std::uint64_t bytes = (first >> 16) != 0 ? 0 : Word(tag.data() + 4, swapped);
        const std::uint64_t left = size - offset - tag.size();
        if (bytes > left)
            Fail(path, "is cut short: its variable " + std::to_string(element) + " declares " +
                           std::to_string(bytes) + " bytes, and " + std::to_string(left) +
                           " are left in the file");
        const bool compressed = first == MAT_T_COMPRESSED;
        std::vector<unsigned char> stored(std::min<std::uint64_t>(bytes, CheckedPrefix));
        file.read(reinterpret_cast<char*>(stored.data()),
                  static_cast<std::streamsize>(stored.size()));
        if (!VariableFits(std::move(stored), bytes, compressed, swapped))
            Fail(path, "is damaged: its variable " + std::to_string(element) +
                           " declares parts larger than itself");
        offset += tag.size() + (compressed ? bytes : (bytes + 7) / 8 * 8);
        offset = std::min(offset, size);
    }
}

// Version 7.3 files are HDF5 files after a 512-byte header; the superblock there gives the
// file's length, which a file cut short does not reach.
void RequireWholeVersion73(const std::string& path, std::uint64_t size) {
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 64> block{};
    file.seekg(512);
    if (!file.read(reinterpret_cast<char*>(block.data()), block.size()))
        Fail(path, "is cut short: it ends within its first " + std::to_string(512 + block.size()) +
                       " bytes");
    const unsigned version = block[8];
    const std::size_t offsetSize = version <= 1 ? block[13] : block[9];
    if (offsetSize != 8)
        return;
    // The end address follows the base address and one more address in every version.
    const std::size_t base = version == 0 ? 24 : version == 1 ? 28 : 12;
    std::uint64_t end = 0;
    for (std::size_t b = 0; b < 8; ++b)
        end |= static_cast<std::uint64_t>(block[base + 16 + b]) << (8 * b);
    if (end > size)
        Fail(path, "is cut short: it declares " + std::to_string(end) + " bytes, and " +
                       std::to_string(size) + " are in the file");
}

// The bytes the variable's values take once read; nothing when that overflows.
std::optional<std::uint64_t> ValueBytes(const matvar_t& variable) {
    std::uint64_t bytes = variable.class_type == MAT_C_CELL || variable.class_type == MAT_C_STRUCT
                              ? sizeof(void*)
                              : std::max<std::uint64_t>(1, Mat_SizeOfClass(variable.class_type));
    if (variable.isComplex)
        bytes *= 2;
    for (int d = 0; d < variable.rank; ++d) {
        if (variable.dims[d] != 0 && bytes > UINT64_MAX / variable.dims[d])
            return std::nullopt;
        bytes *= variable.dims[d];
    }
    return bytes;
}

// A damaged dimension would have the library allocate and read gigabytes for a small file: a
// variable cannot hold more than the file does, unless it was compressed.
void RequireFitsTheFile(const std::string& path, const matvar_t& variable, const std::string& name,
                        std::uint64_t size, bool mayBeCompressed) {
    // The library trusts a sparse matrix's index counts; the signals are never one.
    if (variable.class_type == MAT_C_SPARSE)
        Fail(path, "holds " + name +
                       ", a sparse matrix: save the signals as a full matrix, or "
                       "as one vector each");
    const std::uint64_t most = mayBeCompressed ? size * MostExpansion : size;
    const std::optional<std::uint64_t> bytes = ValueBytes(variable);
    if (!bytes || *bytes > most) {
        std::string dims;
        for (int d = 0; d < variable.rank; ++d)
            dims += (d == 0 ? "" : " x ") + std::to_string(variable.dims[d]);
        Fail(path, "is damaged: its variable " + name + " declares " + dims +
                       " values, more than the file can hold");
    }
}

std::string NameOf(const matvar_t& variable) {
    return variable.name != nullptr ? variable.name : "?";
}

// How many variables the file holds, each checked against the file's size before any is read.
std::size_t CheckedVariables(const std::string& path, mat_t* file, std::uint64_t size) {
    const mat_ft version = Mat_GetVersion(file);
    if (version == MAT_FT_MAT5)
        RequireWholeVersion5(path, size);
    else if (version == MAT_FT_MAT73)
        RequireWholeVersion73(path, size);
    std::size_t count = 0;
    while (const Variable variable{Mat_VarReadNextInfo(file)}) {
        const bool compressed =
            version == MAT_FT_MAT73 || variable->compression == MAT_COMPRESSION_ZLIB;
        RequireFitsTheFile(path, *variable, NameOf(*variable), size, compressed);
        ++count;
    }
    Mat_Rewind(file);
    return count;
}

std::vector<Numeric> NumericVariables(const std::string& path, std::string& passedOver) {
    const std::uint64_t size = RegularFileSize(path);
    QuietHdf5();
    // The library reads a file without the later versions' header as version 4 on opening it.
    if (!HasVersion5Header(path))
        RequireWholeVersion4(path, size);
    const MatFile file(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
    if (!file)
        Fail(path, "cannot be opened as a MATLAB data file (version 5 or 7.3)");
    const std::size_t count = CheckedVariables(path, file.get(), size);
    std::vector<Numeric> found;
    for (std::size_t v = 0; v < count; ++v) {
        const Variable variable{Mat_VarReadNext(file.get())};
        if (!variable)
            Fail(path, "is damaged: its variable " + std::to_string(v + 1) + " cannot be read");
        const std::string name = NameOf(*variable);
        if (variable->isComplex)
            Fail(path, "holds " + name + ", which is complex: only real signals can be read");
        const bool plain = variable->rank == 2 && variable->data != nullptr;
        const std::size_t rows = variable->rank >= 1 ? variable->dims[0] : 0;
        const std::size_t columns = variable->rank >= 2 ? variable->dims[1] : 0;
        std::optional<std::vector<double>> values;
        if (plain)
            values = AsDoubles(*variable, rows * columns);
        if (!values) {
            passedOver += (passedOver.empty() ? "" : ", ") + name + " is " + ClassName(*variable);
            continue;
        }
        if (rows * columns > 1)
            found.push_back({name, rows, columns, std::move(*values)});
    }
    return found;
}

std::string VectorNames(const std::map<std::size_t, std::vector<const Numeric*>>& vectors) {
    std::string names;
    for (const auto& [length, sameLength] : vectors) {
        for (const Numeric* vector : sameLength)
            names += (names.empty() ? "" : ", ") + vector->Name;
    }
    return names;
}

} // namespace

MatTable MatTable::Read(const std::string& path) {
    std::string passedOver;
    const std::vector<Numeric> variables = NumericVariables(path, passedOver);
    MatTable table;
    std::vector<const Numeric*> matrices;
    std::map<std::size_t, std::vector<const Numeric*>> vectorsByLength;
    for (const Numeric& variable : variables) {
        if (variable.Rows > 1 && variable.Columns > 1)
            matrices.push_back(&variable);
        else
            vectorsByLength[variable.Rows * variable.Columns].push_back(&variable);
    }
    if (matrices.size() > 1)
        Fail(path, "holds several matrices (" + matrices[0]->Name + ", " + matrices[1]->Name +
                       "): save the signals as one matrix, or as one vector each");
    if (matrices.size() == 1 && !vectorsByLength.empty())
        Fail(path, "holds the matrix " + matrices.front()->Name + " and the vectors " +
                       VectorNames(vectorsByLength) +
                       ": save the signals as one matrix, or as one vector each");
    if (matrices.size() == 1) {
        const Numeric& matrix = *matrices.front();
        // The signals run along the longer side.
        const bool byColumn = matrix.Rows >= matrix.Columns;
        const std::size_t signals = byColumn ? matrix.Columns : matrix.Rows;
        const std::size_t samples = byColumn ? matrix.Rows : matrix.Columns;
        for (std::size_t s = 0; s < signals; ++s) {
            table.names.push_back(matrix.Name + (byColumn ? "(:," : "(") + std::to_string(s + 1) +
                                  (byColumn ? ")" : ",:)"));
            std::vector<double> column(samples);
            for (std::size_t i = 0; i < samples; ++i)
                column[i] = byColumn ? matrix.Values[s * matrix.Rows + i]
                                     : matrix.Values[i * matrix.Rows + s];
            table.columns.push_back(std::move(column));
        }
        return table;
    }
    if (vectorsByLength.empty())
        Fail(path, "holds no numeric matrix or vectors to read" +
                       (passedOver.empty() ? std::string() : ": " + passedOver));
    if (vectorsByLength.size() > 1) {
        std::string lengths;
        for (const auto& [length, vectors] : vectorsByLength)
            lengths += (lengths.empty() ? "" : ", ") + vectors.front()->Name + " has " +
                       std::to_string(length);
        Fail(path, "holds vectors of different lengths (" + lengths + " values)");
    }
    for (const Numeric* vector : vectorsByLength.begin()->second) {
        table.names.push_back(vector->Name);
        table.columns.push_back(vector->Values);
    }
    return table;
}

std::vector<double> MatTable::Numbers(int column, bool fill, int* filled) const {
    std::vector<double> values = columns[static_cast<std::size_t>(column)];
    const std::string& name = names[static_cast<std::size_t>(column)];
    const auto describe = [&](std::size_t r) {
        return "Row " + std::to_string(r + 1) + ", variable \"" + name +
               "\" is not a finite number";
    };
    std::vector<std::size_t> gaps;
    for (std::size_t r = 0; r < values.size(); ++r) {
        if (std::isfinite(values[r]))
            continue;
        if (!fill)
            throw ImportError(describe(r));
        gaps.push_back(r);
    }
    MissingValues::FillLinear(values, gaps, describe);
    if (filled != nullptr)
        *filled += static_cast<int>(gaps.size());
    return values;
}

std::optional<std::vector<double>> MatTable::Times(int column) const {
    const std::vector<double>& values = columns[static_cast<std::size_t>(column)];
    for (const double v : values) {
        if (!std::isfinite(v))
            return std::nullopt;
    }
    return values;
}

} // namespace orvanel
