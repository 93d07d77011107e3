// The document file on disk: its name, reading it whole and replacing it safely.
#pragma once

#include "document/table/DataTable.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace orvanel::DocumentFile {

// The largest document file read: the largest table, each of its cells given 32 bytes with its
// separator, room for any number written in full precision. Anything larger is no table, and
// reading it whole could exhaust the memory.
constexpr std::size_t MaxDocumentBytes =
    std::size_t{DataTable::MaxDataPoints} * std::size_t{DataTable::MaxDataColumns} * 32;

// `path` whose file name part has lost an extension of two to four characters (the dot found
// first at the fifth-, fourth- or third-last place); the folder stays. The document file and the
// run report are both named from it.
std::string WithoutShortExtension(std::string_view path);

// The file a document saved under `path` is written to: WithoutShortExtension(path) followed by
// ".txt". "dir/Run1.DAT" gives "dir/Run1.txt", "data" gives "data.txt".
std::string SavedFileName(std::string_view path);

// The document caption for a file: the file name part of `path` in lower case (ASCII letters).
std::string CaptionFor(std::string_view path);

// The whole file as UTF-8 text (see TextEncoding::DecodeText). Throws DocumentError
// "Cannot read file <path>: <reason>" when it cannot be opened or read, the reason being the
// system's ("No such file or directory", "Is a directory", "Permission denied") or "Not a
// regular file" for a FIFO, device or socket, which is never opened for waiting or endless
// reading; TooLargeMessage(path) for a file of more than MaxDocumentBytes.
std::string ReadText(const std::string& path);

// Reads the program's own table file at `path` into `table`, replacing what it held; a last
// line without its line end still counts. Throws DocumentError as ReadText does, or for a
// line that is no table row, and TooLargeMessage(path) when the table exhausts the memory.
void ReadTable(DataTable& table, const std::string& path);

// The refusal of a file too large for a table, also given when its loading runs out of memory.
std::string TooLargeMessage(const std::string& path);

// Replaces the file `path` by `bytes` through a ReplacementFile that follows symbolic links:
// a failure leaves any previous file intact, a replaced file keeps its permissions, a file that
// is not a regular one or that may not be written is refused. Throws DocumentError
// "Cannot create file <path>: <reason>" when the file is refused or cannot be created or
// replaced, "Cannot write file <path>: <reason>" when writing fails.
void WriteSafely(const std::string& path, std::string_view bytes);

} // namespace orvanel::DocumentFile
