#include "document/table/DocumentFile.h"

#include "document/table/DataTable.h"
#include "document/table/DocumentError.h"
#include "document/table/ReplacementFile.h"
#include "document/table/TableText.h"
#include "document/table/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace orvanel::DocumentFile {
namespace {

#ifdef _WIN32
constexpr std::string_view FolderSeparators = "/\\";
#else
constexpr std::string_view FolderSeparators = "/";
#endif

constexpr std::size_t ReadChunk = std::size_t{1} << 20;

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

// Closes the descriptor it was given when it goes out of scope.
struct OpenFile {
    explicit OpenFile(int descriptor) : descriptor(descriptor) {}
    ~OpenFile() {
        if (descriptor >= 0)
            ::close(descriptor);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int descriptor;
};

[[noreturn]] void CannotRead(const std::string& path, const std::string& reason) {
    throw DocumentError("Cannot read file " + path + ": " + reason);
}

// The size of the open file; refuses anything but a regular file of at most MaxDocumentBytes.
std::size_t CheckedSize(const std::string& path, int descriptor) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        CannotRead(path, std::generic_category().message(errno));
    if (S_ISDIR(status.st_mode))
        CannotRead(path, std::generic_category().message(EISDIR));
    if (!S_ISREG(status.st_mode))
        CannotRead(path, "Not a regular file");
    if (static_cast<std::uintmax_t>(status.st_size) > MaxDocumentBytes)
        throw DocumentError(TooLargeMessage(path));
    return static_cast<std::size_t>(status.st_size);
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

std::string TooLargeMessage(const std::string& path) {
    return "Cannot read file " + path + ": too large to load; a table holds at most " +
           std::to_string(DataTable::MaxDataPoints) + " lines of " +
           std::to_string(DataTable::MaxDataColumns) + " cells";
}

void ReadTable(DataTable& table, const std::string& path) {
    try {
        std::string text = ReadText(path);
        // Editors that omit the final line end must not cost the last sample.
        if (!text.empty() && !text.ends_with('\n') && !text.ends_with('\r'))
            text += "\r\n";
        TableText::ParseTableText(table, text, TableText::LineEnds::AnyForm);
    } catch (const std::bad_alloc&) {
        throw DocumentError(TooLargeMessage(path));
    }
}

std::string ReadText(const std::string& path) {
    // O_NONBLOCK keeps a FIFO from waiting for a writer before it is refused.
    const OpenFile file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.descriptor < 0)
        CannotRead(path, std::generic_category().message(errno));
    const std::size_t expected = CheckedSize(path, file.descriptor);
    ::fcntl(file.descriptor, F_SETFL, ::fcntl(file.descriptor, F_GETFL) & ~O_NONBLOCK);
    // One read for the expected size; the loop still follows a file that grows, up to one byte
    // past the bound, which tells a file grown too large.
    std::string bytes(expected + 1, '\0');
    std::size_t length = 0;
    while (true) {
        const ssize_t read = ::read(file.descriptor, bytes.data() + length, bytes.size() - length);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            CannotRead(path, std::generic_category().message(errno));
        length += static_cast<std::size_t>(read);
        if (read == 0 || length > MaxDocumentBytes)
            break;
        if (length == bytes.size())
            bytes.resize(std::min(bytes.size() + ReadChunk, MaxDocumentBytes + 1));
    }
    if (length > MaxDocumentBytes)
        throw DocumentError(TooLargeMessage(path));
    bytes.resize(length);
    return TextEncoding::DecodeText(std::move(bytes));
}

void WriteSafely(const std::string& path, std::string_view bytes) {
    ReplacementFile file(path, ReplacementFile::Links::Follow, "Cannot create file " + path,
                         "Cannot write file " + path);
    file.Write(bytes);
    file.Commit();
}

} // namespace orvanel::DocumentFile
