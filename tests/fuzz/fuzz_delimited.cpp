// Feeds arbitrary text to the delimited reader with the layout it detects and with each
// delimiter forced: it refuses with a message or yields samples whose shape matches its names.
#include "document/formats/DataImport.h"
#include "document/formats/DelimitedTable.h"
#include "document/table/TextEncoding.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace orvanel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void ReadOrRefuse(const std::string& text, const ImportChoice& choice) {
    try {
        const ImportedData data = DataImport::FromDelimited(text, choice);
        Require(data.Samples.Inputs() == static_cast<int>(data.InputNames.size()));
        Require(data.Samples.Inputs() >= 1);
        Require(data.Samples.Samples() >= 1);
        Require(!data.SampleTime || *data.SampleTime > 0.0);
    } catch (const ImportError& error) {
        Require(error.what()[0] != '\0');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text =
        TextEncoding::DecodeText(std::string(reinterpret_cast<const char*>(data), size));
    ReadOrRefuse(text, {});
    for (const auto delimiter :
         {DelimitedFormat::Delimiter::Tab, DelimitedFormat::Delimiter::Comma,
          DelimitedFormat::Delimiter::Semicolon, DelimitedFormat::Delimiter::Spaces}) {
        ImportChoice choice;
        choice.Delimiter = delimiter;
        choice.FillMissing = true;
        ReadOrRefuse(text, choice);
    }
    static_cast<void>(DelimitedTable::IsoSeconds(text));
    return 0;
}
