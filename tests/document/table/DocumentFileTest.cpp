#include "document/table/DocumentFile.h"

#include "document/table/DocumentError.h"
#include "support/TempFolder.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace orvanel::DocumentFile;
using orvanel::DocumentError;
using Names = std::vector<std::string>;

TEST(DocumentFileName, ShortExtensionsBecomeTxt) {
    for (const char* name : {"data.txt", "data.dat", "data.text", "data.tx", "data"})
        EXPECT_EQ(SavedFileName(std::string("/w/") + name), "/w/data.txt") << name;
    EXPECT_EQ(SavedFileName("dir/Run1.DAT"), "dir/Run1.txt");
    EXPECT_EQ(SavedFileName("data.tests"), "data.tests.txt");
    EXPECT_EQ(SavedFileName("a.b.tx"), "a.txt");
    EXPECT_EQ(SavedFileName("v1.2/data"), "v1.2/data.txt");
    // Extensions are counted in characters: three letters of two bytes each, one of two bytes.
    EXPECT_EQ(SavedFileName("w/daten.\u00E4\u00F6\u00FC"), "w/daten.txt");
    EXPECT_EQ(SavedFileName("w/mess.\u00E4"), "w/mess.\u00E4.txt");
    EXPECT_EQ(CaptionFor("/Some/Dir/Run1.DAT"), "run1.dat");
}

class DocumentFileIo : public TempFolder {
protected:
    // Any write past `bytes` fails with EFBIG, as on a full disk, for as long as this lives.
    struct FileSizeLimit {
        explicit FileSizeLimit(rlim_t bytes) {
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limit = saved;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
            previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        }
        ~FileSizeLimit() {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previousHandler);
        }
        rlimit saved{};
        void (*previousHandler)(int) = nullptr;
    };

    std::string ErrorOf(const std::string& path, const std::string& bytes) {
        try {
            WriteSafely(path, bytes);
        } catch (const DocumentError& error) {
            return error.what();
        }
        return "no error";
    }
};

TEST_F(DocumentFileIo, WritingReplacesTheFileAndLeavesNothingElse) {
    WriteFile("a.txt", "old contents");
    WriteSafely(PathOf("a.txt"), "1\t2\r\n");
    EXPECT_EQ(ReadFile("a.txt"), "1\t2\r\n");
    EXPECT_EQ(FileNames(), Names{"a.txt"});
}

TEST_F(DocumentFileIo, FailedWriteKeepsThePreviousFileAndRemovesTheTemporary) {
    WriteFile("a.txt", "old");
    std::string message;
    {
        const FileSizeLimit limit(4);
        message = ErrorOf(PathOf("a.txt"), "much more than four bytes\r\n");
    }
    EXPECT_EQ(message, "Cannot write file " + PathOf("a.txt") + ": File too large");
    EXPECT_EQ(ReadFile("a.txt"), "old");
    EXPECT_EQ(FileNames(), Names{"a.txt"});
}

TEST_F(DocumentFileIo, FileThatCannotBeCreatedIsNamedInTheError) {
    const std::string missingFolder = PathOf("missing/a.txt");
    EXPECT_EQ(ErrorOf(missingFolder, "1\r\n"),
              "Cannot create file " + missingFolder + ": No such file or directory");
    std::filesystem::create_directories(PathOf("taken.txt/inside"));
    EXPECT_EQ(ErrorOf(PathOf("taken.txt"), "1\r\n"),
              "Cannot create file " + PathOf("taken.txt") + ": Not a regular file");
    ASSERT_EQ(mkfifo(PathOf("fifo.txt").c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf(PathOf("fifo.txt"), "1\r\n"),
              "Cannot create file " + PathOf("fifo.txt") + ": Not a regular file");
    EXPECT_EQ(FileNames(), (Names{"fifo.txt", "taken.txt"}));
}

TEST_F(DocumentFileIo, ReplacingKeepsTheModeAndRefusesAReadOnlyFile) {
    WriteFile("private.txt", "old");
    chmod(PathOf("private.txt").c_str(), 0600);
    WriteSafely(PathOf("private.txt"), "new");
    struct stat status {};
    stat(PathOf("private.txt").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // Refused by its mode even for the administrator.
    WriteFile("locked.txt", "old");
    chmod(PathOf("locked.txt").c_str(), 0444);
    EXPECT_EQ(ErrorOf(PathOf("locked.txt"), "new"),
              "Cannot create file " + PathOf("locked.txt") + ": Permission denied");
    EXPECT_EQ(ReadFile("locked.txt"), "old");
    EXPECT_EQ(FileNames(), (Names{"locked.txt", "private.txt"}));
}

TEST_F(DocumentFileIo, ASymbolicLinkIsFollowedAndStaysALink) {
    std::filesystem::create_directories(PathOf("real"));
    WriteFile("real/data.txt", "old");
    std::filesystem::create_symlink(PathOf("real/data.txt"), PathOf("link.txt"));
    WriteSafely(PathOf("link.txt"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("link.txt")));
    EXPECT_EQ(ReadFile("real/data.txt"), "new");
}

TEST_F(DocumentFileIo, LeftoverTemporaryFilesDoNotStopSaving) {
    for (int i = 0; i < 100; ++i)
        WriteFile("a.txt.tmp" + std::to_string(i), "");
    WriteSafely(PathOf("a.txt"), "new");
    EXPECT_EQ(ReadFile("a.txt"), "new");
    EXPECT_EQ(FileNames().size(), 101u);
}

TEST_F(DocumentFileIo, ReadingDecodesAndReportsMissingFiles) {
    WriteFile("latin1.txt", "0,5\t\xB5\r\n");
    EXPECT_EQ(ReadText(PathOf("latin1.txt")), "0,5\t\xC2\xB5\r\n");
    try {
        ReadText(PathOf("none.txt"));
        FAIL() << "no error";
    } catch (const DocumentError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot read file " + PathOf("none.txt") + ": No such file or directory");
    }
}

TEST_F(DocumentFileIo, ReadingRefusesWhatIsNoTableFileWithoutWaiting) {
    const auto refusal = [](const std::string& path) {
        try {
            ReadText(path);
        } catch (const DocumentError& error) {
            return std::string(error.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(refusal(folder_.string()),
              "Cannot read file " + folder_.string() + ": Is a directory");
    ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
    EXPECT_EQ(refusal(PathOf("fifo")),
              "Cannot read file " + PathOf("fifo") + ": Not a regular file");
    EXPECT_EQ(refusal("/dev/zero"), "Cannot read file /dev/zero: Not a regular file");
    // Sparse: takes no disk space.
    WriteFile("huge.txt", "");
    std::filesystem::resize_file(PathOf("huge.txt"), MaxDocumentBytes + 1);
    EXPECT_EQ(refusal(PathOf("huge.txt")),
              "Cannot read file " + PathOf("huge.txt") +
                  ": too large to load; a table holds at most 100000 lines of 51 cells");
}
