// Arbitrary bytes as a .mat file: the reader refuses with a message naming the file, or yields
// named columns of one length, without reading past the file or allocating what a damaged size
// field asks for (the run's memory limit catches that).
#include "document/formats/DataImport.h"
#include "document/formats/MatTable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace orvanel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

const std::string& FilePath() {
    static const std::string path = "/tmp/fuzz_mat_table-" + std::to_string(getpid()) + ".mat";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = FilePath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
    try {
        const MatTable table = MatTable::Read(path);
        Require(table.Columns() >= 1 && table.Names().size() == std::size_t(table.Columns()));
        for (int c = 0; c < table.Columns(); ++c) {
            int filled = 0;
            try {
                Require(table.Numbers(c, true, &filled).size() == table.Rows());
            } catch (const ImportError& error) {
                Require(error.what()[0] != '\0');
            }
        }
    } catch (const ImportError& error) {
        Require(std::string(error.what()).starts_with(path));
    }
    return 0;
}
