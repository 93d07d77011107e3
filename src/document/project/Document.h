// One data document: its table and the state that names and describes it.
#pragma once

#include "document/formats/DelimitedSource.h"
#include "document/project/RunHistory.h"
#include "document/run/IdentificationOptions.h"
#include "document/table/DataTable.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvanel {

struct ImportedData;

// The core of a data document window: the table, the caption that identifies the document among
// the windows, the file it belongs to and whether it has unsaved changes.
class Document {
public:
    // A new, empty document titled `caption` (the main window's "New" and a number).
    explicit Document(std::string caption);

    DataTable& Table() { return table_; }
    const DataTable& Table() const { return table_; }

    // "New<n>" until the document is loaded or saved, then the file name part in lower case.
    const std::string& Caption() const { return caption_; }
    // The file the document was loaded from or last saved to; empty for a new document.
    const std::string& DocumentPath() const { return documentPath_; }

    // Unsaved changes exist.
    bool Modified() const { return table_.Modified(); }
    void MarkModified() { table_.MarkModified(); }

    // Open the run report in the text editor after a run.
    bool ShowReport() const { return showReport_; }
    void SetShowReport(bool show) { showReport_ = show; }

    // Seconds between samples, for the plot window's axes; none unless the user gave one.
    const std::optional<double>& SampleTime() const { return sampleTime_; }
    void SetSampleTime(std::optional<double> seconds) { sampleTime_ = seconds; }
    // The steps around the search this document's runs take; none until the user asks.
    IdentificationOptions& Options() { return options_; }
    const IdentificationOptions& Options() const { return options_; }
    // The models kept from the runs and read from model files.
    RunHistory& History() { return history_; }
    const RunHistory& History() const { return history_; }

    // Fills the table from the file `path` (any line ends, UTF-8 or Latin-1; a last line without
    // a line end is read like the others); afterwards the caption and DocumentPath name the file
    // and the document is not modified. Throws DocumentError when the file cannot be read, is
    // too large (DocumentFile::ReadText; also when loading runs out of memory) or is not a table
    // text; the document is then unchanged, so a later save cannot overwrite the file that
    // failed to load.
    void LoadDocument(const std::string& path);

    // Writes the data rows to SavedFileName(path) (DocumentFile::WriteSafely: a link is followed,
    // the mode kept); afterwards the caption is the lower-cased file name part of `path` (as
    // chosen, even when the file written is named otherwise), DocumentPath is `path` and the
    // document is not modified. Throws DocumentError naming the file and the reason when it is
    // refused or cannot be created or written; any previous file, the caption, DocumentPath and
    // Modified are then unchanged.
    void SaveDocument(const std::string& path);

    // Fills the table from an imported file's samples: the inputs and then the output as numbers
    // with `decimalSeparator`, headed by their names, with the file's sample time. `path` names
    // the document (caption and DocumentPath) when the file can be written back, that is with
    // `source`; otherwise only the caption, so that Save asks for a file. The document is
    // modified only when it came from no file (a paste).
    void LoadImported(const ImportedData& data, std::optional<DelimitedSource> source,
                      const std::string& path, char decimalSeparator);
    // The delimited file the document was imported from; none for the program's own format.
    const std::optional<DelimitedSource>& Source() const { return source_; }

    // Writes the data rows as a delimited file to `path` itself: in the layout of Source() when
    // the document has one (every column it read), else comma-separated with a header. Numbers
    // are read from the grid with `gridDecimal`. Afterwards as SaveDocument; throws
    // DocumentError as it does, or when the grid lost inputs of the file.
    void SaveDelimited(const std::string& path, char gridDecimal);

    // Rebuilds the table from a pasted table text and marks the document modified. Lines may end
    // in CR LF, LF or CR: programs on this platform put LF-terminated text on the clipboard. Throws
    // DocumentError, leaving the table as it was, when the text is not a table text; the caller
    // shows "Clipboard data could not be pasted".
    void PasteTable(std::string_view clipboardText);

    // Exchanges with `other` what a paste replaces: the table's contents (DataTable::
    // ExchangeContents), the sample time and the layout of the file the table came from. The
    // caption, the file, the options and the report setting stay.
    void ExchangeData(Document& other);

private:
    DataTable table_;
    std::string caption_;
    std::string documentPath_;
    bool showReport_ = false;
    std::optional<double> sampleTime_;
    std::optional<DelimitedSource> source_;
    // The table's RowMoves when source_ was taken.
    long long sourceRowMoves_ = 0;
    IdentificationOptions options_;
    RunHistory history_;
};

} // namespace orvanel
