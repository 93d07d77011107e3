// The document core at its largest: 50 inputs and 100,000 data points of number text.
#include "document/formats/DataImport.h"
#include "document/project/Document.h"
#include "document/table/DataTable.h"
#include "document/table/TableText.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace orvanel;

namespace {

constexpr int Columns = DataTable::MaxDataColumns;
constexpr int Rows = DataTable::MaxDataPoints;

// Number texts of 4 to 9 characters such as "-12.3456", from a fixed sequence.
std::string NumbersFileText() {
    std::string text;
    std::uint32_t state = 12345;
    for (int row = 0; row < Rows; ++row) {
        for (int column = 0; column < Columns; ++column) {
            state = state * 1664525u + 1013904223u;
            if (column > 0)
                text += '\t';
            if (state & 1u)
                text += '-';
            text += std::to_string((state >> 8) % 100);
            text += '.';
            text += std::to_string((state >> 16) % 10000);
        }
        text += "\r\n";
    }
    return text;
}

const std::string& FileText() {
    static const std::string text = NumbersFileText();
    return text;
}

std::string FolderFile(const char* name) {
    return (std::filesystem::temp_directory_path() /
            ("orvanel-bench-" + std::to_string(getpid()) + "-" + name))
        .string();
}

// The numbers file on disk, written once and removed when the program ends.
struct NumbersFileOnDisk {
    NumbersFileOnDisk() : path(FolderFile("numbers.txt")) {
        std::ofstream(path, std::ios::binary) << FileText();
    }
    ~NumbersFileOnDisk() { std::filesystem::remove(path); }
    std::string path;
};

const std::string& NumbersFile() {
    static const NumbersFileOnDisk file;
    return file.path;
}

// The same numbers as a CSV file with a header row, as a data logger writes them.
struct CsvFileOnDisk {
    CsvFileOnDisk() : path(FolderFile("numbers.csv")) {
        std::string text;
        for (int column = 1; column <= Columns; ++column)
            text += (column > 1 ? "," : "") + std::string("signal") + std::to_string(column);
        text += "\r\n";
        text += FileText();
        std::replace(text.begin(), text.end(), '\t', ',');
        std::ofstream(path, std::ios::binary) << text;
    }
    ~CsvFileOnDisk() { std::filesystem::remove(path); }
    std::string path;
};

const std::string& CsvFile() {
    static const CsvFileOnDisk file;
    return file.path;
}

Document LoadedDocument() {
    Document document("New1");
    document.LoadDocument(NumbersFile());
    return document;
}

double PeakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

void BM_LoadDocument(benchmark::State& state) {
    const double fileBytes = static_cast<double>(FileText().size());
    NumbersFile();
    std::size_t storeBytes = 0;
    for (auto _ : state) {
        Document document("New1");
        document.LoadDocument(NumbersFile());
        storeBytes = document.Table().StoreBytes();
        benchmark::DoNotOptimize(storeBytes);
    }
    state.counters["file_MB"] = fileBytes / 1e6;
    state.counters["store_MB"] = static_cast<double>(storeBytes) / 1e6;
    state.counters["store_per_file"] = static_cast<double>(storeBytes) / fileBytes;
    state.counters["peak_rss_MB"] = PeakRssBytes() / 1e6;
}
BENCHMARK(BM_LoadDocument)->Unit(benchmark::kMillisecond);

// A run's samples from the program's own file and from the same numbers as a CSV with a
// header: the CSV should cost at most twice as much.
void BM_ReadSamplesNative(benchmark::State& state) {
    NumbersFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(DataImport::Read(NumbersFile()).Samples.Samples());
}
BENCHMARK(BM_ReadSamplesNative)->Unit(benchmark::kMillisecond);

void BM_ReadSamplesCsv(benchmark::State& state) {
    CsvFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(DataImport::Read(CsvFile()).Samples.Samples());
}
BENCHMARK(BM_ReadSamplesCsv)->Unit(benchmark::kMillisecond);

void BM_SaveDocument(benchmark::State& state) {
    Document document = LoadedDocument();
    const std::string target = FolderFile("saved.txt");
    for (auto _ : state)
        document.SaveDocument(target);
    std::filesystem::remove(target);
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond);

void BM_InsertThenDeleteRowAtTop(benchmark::State& state) {
    Document document = LoadedDocument();
    document.Table().DeleteRow(Rows);
    for (auto _ : state) {
        document.Table().InsertRow(1);
        document.Table().DeleteRow(1);
    }
}
BENCHMARK(BM_InsertThenDeleteRowAtTop)->Unit(benchmark::kMillisecond);

void BM_CopyTable(benchmark::State& state) {
    Document document = LoadedDocument();
    document.Table().AddComputedColumn();
    for (auto _ : state)
        benchmark::DoNotOptimize(TableText::CopyTable(document.Table()));
}
BENCHMARK(BM_CopyTable)->Unit(benchmark::kMillisecond);

} // namespace
