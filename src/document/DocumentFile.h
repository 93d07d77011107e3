// The document file on disk: its name, reading it whole and replacing it safely.
#pragma once

#include <string>
#include <string_view>

namespace orvanel::DocumentFile {

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
// "Cannot read file <path>" when it cannot be opened or read.
std::string ReadText(const std::string& path);

// Replaces the file `path` by `bytes`: writes a temporary file in the same folder and renames it
// over the target only after a complete write, so a failure leaves any previous file intact.
// Throws DocumentError "Cannot create file <path>" when the file cannot be created or replaced,
// "Cannot write file <path>" when writing fails; the temporary file is removed in both cases.
void WriteSafely(const std::string& path, std::string_view bytes);

} // namespace orvanel::DocumentFile
