#include "document/Document.h"

#include "document/DocumentError.h"
#include "document/DocumentFile.h"
#include "document/TableText.h"

#include <new>
#include <utility>

namespace orvanel {

Document::Document(std::string caption) : caption_(std::move(caption)) {}

void Document::LoadDocument(const std::string& path) {
    try {
        std::string text = DocumentFile::ReadText(path);
        // Editors that omit the final line end must not cost the last sample.
        if (!text.empty() && !text.ends_with('\n') && !text.ends_with('\r'))
            text += "\r\n";
        TableText::ParseTableText(table_, text, TableText::LineEnds::AnyForm);
    } catch (const std::bad_alloc&) {
        throw DocumentError(DocumentFile::TooLargeMessage(path));
    }
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

void Document::PasteTable(std::string_view clipboardText) {
    TableText::ParseTableText(table_, clipboardText, TableText::LineEnds::AnyForm);
    table_.MarkModified();
}

bool Document::PasteIntoCell(int row, int column, std::string_view clipboardText) {
    if (!table_.SetCellText(row, column, TableText::CellPasteText(clipboardText)))
        return false;
    table_.MarkModified();
    return true;
}

} // namespace orvanel
