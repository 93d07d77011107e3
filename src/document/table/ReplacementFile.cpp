#include "document/table/ReplacementFile.h"

#include "document/table/DocumentError.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace orvanel {
namespace {

// Rows are small; the new contents reach the file in pieces of this size.
constexpr std::size_t WriteChunk = std::size_t{64} << 10;
constexpr int TemporaryNameTries = 100;
constexpr int RandomNameLength = 6;
constexpr mode_t PermissionBits = 0777;
constexpr mode_t AnyWriteBit = 0222;
// ".tmp" and the random suffix.
constexpr std::size_t TemporarySuffixLength = 4 + RandomNameLength;
// The longest name of a folder entry on the systems the program runs on.
constexpr std::size_t LongestName = 255;

[[noreturn]] void Fail(const std::string& what, const std::string& reason) {
    throw DocumentError(what + ": " + reason);
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

// Six letters or digits, different in every process and call.
std::string RandomSuffix() {
    static constexpr std::string_view Alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, Alphabet.size() - 1);
    std::string suffix;
    for (int i = 0; i < RandomNameLength; ++i)
        suffix += Alphabet[pick(generator)];
    return suffix;
}

// The target's name, shortened where the temporary suffix would make it longer than a name may
// be, so that a name the user may give can always be written aside.
std::string TemporaryBase(const std::string& path) {
    const std::size_t separator = path.rfind('/');
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t room = LongestName - TemporarySuffixLength;
    if (path.size() - nameStart <= room)
        return path;
    return path.substr(0, nameStart + room);
}

std::string FolderOf(const std::string& path) {
    const std::size_t separator = path.rfind('/');
    if (separator == std::string::npos)
        return ".";
    return separator == 0 ? "/" : path.substr(0, separator);
}

// The rename is durable only once the folder's entry is on disk; a failure here cannot be
// undone and leaves the new file in place, so it is not reported.
void SyncFolder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

} // namespace

ReplacementFile::ReplacementFile(std::string path, Links links, std::string cannotCreate,
                                 std::string cannotWrite)
    : target(std::move(path)), cannotCreate(std::move(cannotCreate)),
      cannotWrite(std::move(cannotWrite)) {
    CheckNameLength();
    CheckTarget(links);
    CreateTemporary();
    KeepAttributes();
}

ReplacementFile::~ReplacementFile() {
    Abandon();
}

// The temporary file's name is shortened to fit, so only the rename would find a name too long:
// refused here, before the caller's work.
void ReplacementFile::CheckNameLength() const {
    const std::size_t separator = target.rfind('/');
    const std::size_t length =
        separator == std::string::npos ? target.size() : target.size() - separator - 1;
    const long longest = ::pathconf(FolderOf(target).c_str(), _PC_NAME_MAX);
    if (length > (longest > 0 ? static_cast<std::size_t>(longest) : LongestName))
        Fail(cannotCreate, Reason(ENAMETOOLONG));
}

void ReplacementFile::CheckTarget(Links links) {
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0)
        return;
    if (S_ISLNK(status.st_mode)) {
        if (links == Links::Replace) {
            CheckReplacedLink();
            return;
        }
        std::error_code dangling;
        const std::filesystem::path linked = std::filesystem::canonical(target, dangling);
        if (dangling || ::stat(linked.c_str(), &status) != 0)
            return;
        target = linked.string();
    }
    if (!S_ISREG(status.st_mode))
        Fail(cannotCreate, "Not a regular file");
    // The administrator may write anything; a file nobody may write is still left alone.
    if ((status.st_mode & AnyWriteBit) == 0)
        Fail(cannotCreate, Reason(EACCES));
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        Fail(cannotCreate, Reason(errno));
    replacesFile = true;
    mode = status.st_mode & PermissionBits;
    owner = status.st_uid;
    group = status.st_gid;
}

// A link planted where a file of the program's own belongs is replaced without touching what it
// leads to. One leading to a device, a FIFO or a file in another folder is rather a name the
// system or the user gave on purpose, such as /dev/stdout: replacing it would break it for
// everyone, so it is refused.
void ReplacementFile::CheckReplacedLink() const {
    namespace fs = std::filesystem;
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        Fail(cannotCreate, "Not a regular file");
    std::error_code folderError;
    std::error_code linkError;
    std::error_code resolveError;
    const fs::path folder = fs::weakly_canonical(fs::absolute(FolderOf(target)), folderError);
    const fs::path leadsTo = fs::read_symlink(target, linkError);
    const fs::path linked = fs::weakly_canonical(folder / leadsTo, resolveError);
    for (const std::error_code& error : {folderError, linkError, resolveError}) {
        if (error)
            Fail(cannotCreate, error.message());
    }
    if (linked.parent_path() != folder)
        Fail(cannotCreate, "A link to " + leadsTo.string() + ", outside its folder");
}

void ReplacementFile::CreateTemporary() {
    for (int attempt = 0; attempt < TemporaryNameTries; ++attempt) {
        const std::string name = TemporaryBase(target) + ".tmp" + RandomSuffix();
        // O_EXCL: an existing file of that name, or a link planted under it, is never opened.
        descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            temporaryPath = name;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    Fail(cannotCreate, Reason(errno));
}

// Done before any byte is written, so that a private file's contents are never readable by
// others, not even in the temporary file.
void ReplacementFile::KeepAttributes() const {
    if (!replacesFile)
        return;
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && (status.st_uid != owner || status.st_gid != group))
        static_cast<void>(::fchown(descriptor, owner, group));
    ::fchmod(descriptor, mode);
}

void ReplacementFile::Write(std::string_view bytes) {
    pending.append(bytes);
    if (pending.size() >= WriteChunk)
        Flush();
}

void ReplacementFile::Flush() {
    std::string_view rest = pending;
    while (!rest.empty() && writeError == 0) {
        const ssize_t written = ::write(descriptor, rest.data(), rest.size());
        if (written < 0 && errno != EINTR)
            writeError = errno;
        else if (written > 0)
            rest.remove_prefix(static_cast<std::size_t>(written));
    }
    pending.clear();
}

int ReplacementFile::CloseTemporary() {
    const int closed = ::close(descriptor);
    descriptor = -1;
    return closed;
}

void ReplacementFile::Commit() {
    Flush();
    if (writeError == 0 && ::fsync(descriptor) != 0)
        writeError = errno;
    if (CloseTemporary() != 0 && writeError == 0)
        writeError = errno;
    if (writeError != 0) {
        Abandon();
        Fail(cannotWrite, Reason(writeError));
    }
    if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        const int error = errno;
        Abandon();
        Fail(cannotCreate, Reason(error));
    }
    temporaryPath.clear();
    SyncFolder(FolderOf(target));
}

void ReplacementFile::Abandon() {
    if (descriptor >= 0)
        CloseTemporary();
    if (!temporaryPath.empty())
        ::unlink(temporaryPath.c_str());
    temporaryPath.clear();
    pending.clear();
}

} // namespace orvanel
