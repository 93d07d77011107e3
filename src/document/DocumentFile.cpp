#include "document/DocumentFile.h"

#include "document/DocumentError.h"
#include "document/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace orvanel::DocumentFile {
namespace {

#ifdef _WIN32
constexpr std::string_view FolderSeparators = "/\\";
#else
constexpr std::string_view FolderSeparators = "/";
#endif

constexpr std::size_t ReadChunk = std::size_t{1} << 20;
// How many temporary names are tried before giving up; each try takes the next free one.
constexpr int TemporaryNameTries = 100;

// The extensions the name rule drops, in characters.
constexpr int ShortestExtension = 2;
constexpr int LongestExtension = 4;

// A UTF-8 continuation byte continues the character before it.
bool StartsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

std::size_t FileNameStart(std::string_view path) {
    const std::size_t separator = path.find_last_of(FolderSeparators);
    return separator == std::string_view::npos ? 0 : separator + 1;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Creates a new file next to `path` that no other file has the name of, or gives null.
FileHandle CreateTemporaryNextTo(const std::string& path, std::string& temporaryPath) {
    for (int attempt = 0; attempt < TemporaryNameTries; ++attempt) {
        temporaryPath = path + ".tmp" + std::to_string(attempt);
        // "x": fails when the name exists, so no other file is ever overwritten.
        if (std::FILE* file = std::fopen(temporaryPath.c_str(), "wbx"))
            return FileHandle(file);
        if (errno != EEXIST)
            break;
    }
    return nullptr;
}

bool WriteAll(FileHandle file, std::string_view bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    const bool flushed = std::fflush(file.get()) == 0;
    return written && flushed && std::fclose(file.release()) == 0;
}

} // namespace

std::string WithoutShortExtension(std::string_view path) {
    const std::size_t nameStart = FileNameStart(path);
    std::string_view name = path.substr(nameStart);
    // Characters are counted as the user sees them, not by their UTF-8 bytes. Walking back from
    // the end, a dot further left overrides one found before: the fifth-last place wins.
    std::size_t dot = std::string_view::npos;
    int fromEnd = 0;
    for (std::size_t i = name.size(); i-- > 0 && fromEnd <= LongestExtension;) {
        if (!StartsCharacter(name[i]))
            continue;
        ++fromEnd;
        if (fromEnd > ShortestExtension && name[i] == '.')
            dot = i;
    }
    return std::string(path.substr(0, nameStart)).append(name.substr(0, dot));
}

std::string SavedFileName(std::string_view path) {
    return WithoutShortExtension(path).append(".txt");
}

std::string CaptionFor(std::string_view path) {
    std::string caption(path.substr(FileNameStart(path)));
    std::transform(caption.begin(), caption.end(), caption.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return caption;
}

std::string ReadText(const std::string& path) {
    const FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw DocumentError("Cannot read file " + path);
    std::error_code sizeUnknown;
    const std::uintmax_t expected = std::filesystem::file_size(path, sizeUnknown);
    // One read for the expected size; the loop still follows a file that grows or shrinks.
    std::string bytes(sizeUnknown ? ReadChunk : static_cast<std::size_t>(expected) + 1, '\0');
    std::size_t length = 0;
    while (true) {
        length += std::fread(bytes.data() + length, 1, bytes.size() - length, file.get());
        if (length < bytes.size())
            break;
        bytes.resize(bytes.size() + ReadChunk);
    }
    if (std::ferror(file.get()))
        throw DocumentError("Cannot read file " + path);
    bytes.resize(length);
    return TextEncoding::DecodeText(std::move(bytes));
}

void WriteSafely(const std::string& path, std::string_view bytes) {
    std::string temporaryPath;
    FileHandle file = CreateTemporaryNextTo(path, temporaryPath);
    if (!file)
        throw DocumentError("Cannot create file " + path);
    std::error_code ignored;
    if (!WriteAll(std::move(file), bytes)) {
        std::filesystem::remove(temporaryPath, ignored);
        throw DocumentError("Cannot write file " + path);
    }
    std::error_code renameError;
    std::filesystem::rename(temporaryPath, path, renameError);
    if (renameError) {
        std::filesystem::remove(temporaryPath, ignored);
        throw DocumentError("Cannot create file " + path);
    }
}

} // namespace orvanel::DocumentFile
