#include "document/table/ReplacementFile.h"

#include "document/table/DocumentError.h"
#include "support/TempFolder.h"

using orvanel::ReplacementFile;
using Names = std::vector<std::string>;

class ReplacementFileTest : public TempFolder {
protected:
    static constexpr auto Replace = ReplacementFile::Links::Replace;
};

TEST_F(ReplacementFileTest, ConcurrentWritersLeaveOneCompleteFile) {
    WriteFile("report.txt", "old");
    ReplacementFile first(PathOf("report.txt"), Replace, "create", "write");
    ReplacementFile second(PathOf("report.txt"), Replace, "create", "write");
    first.Write("first ");
    second.Write("second ");
    first.Write("run");
    second.Write("run");
    EXPECT_EQ(ReadFile("report.txt"), "old");
    second.Commit();
    EXPECT_EQ(ReadFile("report.txt"), "second run");
    first.Commit();
    EXPECT_EQ(ReadFile("report.txt"), "first run");
    EXPECT_EQ(FileNames(), Names{"report.txt"});
}

TEST_F(ReplacementFileTest, AnUnfinishedReplacementLeavesThePreviousFile) {
    WriteFile("report.txt", "old");
    {
        ReplacementFile dropped(PathOf("report.txt"), Replace, "create", "write");
        dropped.Write("new");
        ReplacementFile abandoned(PathOf("report.txt"), Replace, "create", "write");
        abandoned.Write("new");
        abandoned.Abandon();
        EXPECT_EQ(FileNames().size(), 2u);
    }
    EXPECT_EQ(ReadFile("report.txt"), "old");
    EXPECT_EQ(FileNames(), Names{"report.txt"});
}

TEST_F(ReplacementFileTest, APlantedLinkIsReplacedNotFollowed) {
    WriteFile("victim.txt", "precious");
    std::filesystem::create_symlink(PathOf("victim.txt"), PathOf("report.txt"));
    ReplacementFile file(PathOf("report.txt"), Replace, "create", "write");
    file.Write("report");
    file.Commit();
    EXPECT_FALSE(std::filesystem::is_symlink(PathOf("report.txt")));
    EXPECT_EQ(ReadFile("report.txt"), "report");
    EXPECT_EQ(ReadFile("victim.txt"), "precious");
}

TEST_F(ReplacementFileTest, ANameLongerThanTheFolderAllowsIsRefusedBeforeAnyWriting) {
    ReplacementFile longest(PathOf(std::string(255, 'n')), Replace, "create", "write");
    longest.Write("fits");
    longest.Commit();
    try {
        ReplacementFile tooLong(PathOf(std::string(256, 'n')), Replace, "create", "write");
        FAIL() << "a 256-byte name was taken";
    } catch (const orvanel::DocumentError& error) {
        EXPECT_STREQ(error.what(), "create: File name too long");
    }
    EXPECT_EQ(FileNames(), Names{std::string(255, 'n')});
}

// A link to a device or to a file elsewhere is a name given on purpose (/dev/stdout): it is
// refused, neither replaced nor followed.
TEST_F(ReplacementFileTest, LinksLeadingOutOfTheFolderOrToDevicesAreRefused) {
    std::filesystem::create_directory(PathOf("elsewhere"));
    WriteFile("elsewhere/kept.txt", "kept");
    std::filesystem::create_symlink(PathOf("elsewhere/kept.txt"), PathOf("out.txt"));
    std::filesystem::create_symlink("/dev/null", PathOf("null.txt"));
    const auto refusal = [&](const std::string& name) {
        try {
            ReplacementFile file(PathOf(name), Replace, "Cannot create " + name, "write");
        } catch (const std::exception& error) {
            return std::string(error.what());
        }
        return std::string("no refusal");
    };
    EXPECT_EQ(refusal("out.txt"), "Cannot create out.txt: A link to " +
                                      PathOf("elsewhere/kept.txt") + ", outside its folder");
    EXPECT_EQ(refusal("null.txt"), "Cannot create null.txt: Not a regular file");
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("out.txt")));
    EXPECT_EQ(ReadFile("elsewhere/kept.txt"), "kept");
    EXPECT_EQ(FileNames(), (Names{"elsewhere", "null.txt", "out.txt"}));
}
