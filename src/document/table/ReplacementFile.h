// A new version of a file, written aside and moved into place only when complete.
#pragma once

#include <string>
#include <string_view>

namespace orvanel {

// The new contents of the file `path`, written to a temporary file of a unique name in the same
// folder and renamed over `path` by Commit, so that readers, concurrent writers and a failure at
// any point see the previous file or the new one, never a mix. The temporary file is synced
// before the rename and the folder after it. An existing file keeps its permission bits (and
// its owner where the system allows). Destroying the object without Commit removes the
// temporary file and leaves `path` as it was.
//
// Failures throw DocumentError: "<cannotCreate>: <reason>" when the temporary file cannot be
// created or the target is refused, "<cannotWrite>: <reason>" when writing, syncing or moving
// it into place fails; the reason is the system's ("Permission denied", "No space left on
// device"...). Refused targets: anything but a regular file (reason "Not a regular file"), a
// file the user may not write or that has no write permission for anyone, even for the
// administrator ("Permission denied"), a name longer than its folder allows ("File name too
// long"), and with Links::Replace a link that leads to anything but a regular file or to a file
// in another folder ("A link to <where>, outside its folder").
class ReplacementFile {
public:
    // What happens when `path` is a symbolic link.
    enum class Links {
        // The link is replaced by the new file; the file it points to is not touched. Only a link
        // to a regular file (or to nothing) in its own folder is replaced; others are refused.
        Replace,
        // The file the link points to is replaced; the link stays.
        Follow,
    };

    ReplacementFile(std::string path, Links links, std::string cannotCreate,
                    std::string cannotWrite);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Appends bytes to the new contents. A write error is kept and thrown by Commit.
    void Write(std::string_view bytes);
    // Moves the complete new contents into place. Throws as described above, after removing the
    // temporary file; `path` then holds what it held before.
    void Commit();
    // Drops the new contents: removes the temporary file and leaves `path` as it was.
    void Abandon();

    // The file that Commit replaces: `path`, or the file its links lead to with Links::Follow.
    const std::string& Target() const { return target; }
    // The file written aside until Commit; empty once committed or abandoned.
    const std::string& TemporaryPath() const { return temporaryPath; }

private:
    void CheckNameLength() const;
    void CheckTarget(Links links);
    void CheckReplacedLink() const;
    void CreateTemporary();
    void Flush();
    void KeepAttributes() const;
    int CloseTemporary();

    std::string target;
    std::string cannotCreate;
    std::string cannotWrite;
    std::string temporaryPath;
    std::string pending;
    int descriptor = -1;
    int writeError = 0;
    bool replacesFile = false;
    unsigned int mode = 0;
    unsigned int owner = 0;
    unsigned int group = 0;
};

} // namespace orvanel
