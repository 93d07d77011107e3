#include "document/project/Document.h"

#include "document/formats/DataImport.h"
#include "document/table/DocumentError.h"
#include "document/table/DocumentFile.h"
#include "document/table/TableText.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <utility>

namespace orvanel {

Document::Document(std::string caption) : caption_(std::move(caption)) {}

void Document::LoadDocument(const std::string& path) {
    DocumentFile::ReadTable(table_, path);
    documentPath_ = path;
    caption_ = DocumentFile::CaptionFor(path);
    table_.ClearModified();
}

void Document::SaveDocument(const std::string& path) {
    DocumentFile::WriteSafely(DocumentFile::SavedFileName(path), TableText::DataRowsText(table_));
    caption_ = DocumentFile::CaptionFor(path);
    documentPath_ = path;
    table_.ClearModified();
}

namespace {

// The shortest text that reads back as `value`, so that 42.9808 stays 42.9808.
std::string ShortestText(double value, char decimalSeparator) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

} // namespace

void Document::LoadImported(const ImportedData& data, std::optional<DelimitedSource> source,
                            const std::string& path, char decimalSeparator) {
    const TableSamples& samples = data.Samples;
    std::vector<std::string> lines(static_cast<std::size_t>(samples.Samples()));
    for (int r = 0; r < samples.Samples(); ++r) {
        std::string& line = lines[static_cast<std::size_t>(r)];
        for (const double value : samples.Row(r)) {
            if (!line.empty())
                line += '\t';
            line += ShortestText(value, decimalSeparator);
        }
    }
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    table_.ReplaceRows(views, {}, samples.Inputs() + 2);
    // A paste over a wider table leaves its other columns hidden, not shown beside the import.
    table_.ReshapeColumns(std::to_string(samples.Inputs()));
    table_.SetColumnNames(data.InputNames, data.OutputName);
    sampleTime_ = data.SampleTime;
    source_ = std::move(source);
    sourceRowMoves_ = table_.RowMoves();
    if (!path.empty()) {
        caption_ = DocumentFile::CaptionFor(path);
        documentPath_ = source_ ? path : std::string();
        table_.ClearModified();
    }
}

void Document::SaveDelimited(const std::string& path, char gridDecimal) {
    const bool keepsCells =
        source_ && std::any_of(source_->KeptCells.begin(), source_->KeptCells.end(),
                               [](const auto& cells) { return !cells.empty(); });
    if (keepsCells && table_.RowMoves() != sourceRowMoves_)
        throw DocumentError("Rows were added or removed since the file was read: its time and "
                            "other kept columns would no longer line up with them. Save it in "
                            "the program's format (Text File) instead.");
    const DelimitedSource source = source_ ? *source_ : DelimitedSource::For(table_);
    DocumentFile::WriteSafely(path, source.Text(table_, gridDecimal));
    source_ = source;
    sourceRowMoves_ = table_.RowMoves();
    caption_ = DocumentFile::CaptionFor(path);
    documentPath_ = path;
    table_.ClearModified();
}

void Document::PasteTable(std::string_view clipboardText) {
    TableText::ParseTableText(table_, clipboardText, TableText::LineEnds::AnyForm);
    table_.MarkModified();
}

void Document::ExchangeData(Document& other) {
    table_.ExchangeContents(other.table_);
    std::swap(sampleTime_, other.sampleTime_);
    std::swap(source_, other.source_);
    std::swap(sourceRowMoves_, other.sourceRowMoves_);
}

} // namespace orvanel
