#include "store/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_env.h"
#include "platform/core/open_uri.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

class FoldersTest : public ::testing::Test {
  protected:
    std::string Home(const std::string& rest) const { return home_.home() + rest; }
    test::TempHome home_;
};

TEST(JoinPathTest, Table) {
    struct Case {
        std::string dir, name, suffix, joined;
    };
    const Case cases[] = {
        {"/a/", "b", "", "/a/b"},
        {"/a", "b", "", "/a/b"},
        {"", "b", "", "b"},
        {"C:\\x\\", "b", ".txt", "C:\\x\\b.txt"},
        {"/a", "b", ".html", "/a/b.html"},
        {std::string(259, 'd'), "n", "", std::string(258, 'd') + "/"},
        {std::string(300, 'd'), "n", "", std::string(258, 'd') + "/"},
        {std::string(250, 'd'), "name", "suffix", std::string(250, 'd') + "/namesuff"},
    };
    for (const Case& c : cases) EXPECT_EQ(JoinPath(c.dir, c.name, c.suffix), c.joined);
}

TEST_F(FoldersTest, UserNameAndFallbacksWithoutHome) {
    home_.env().Set("LOGNAME", "logname");
    home_.env().Set("USER", "user");
    EXPECT_EQ(GetUserName(), "logname");
    home_.env().Set("LOGNAME", nullptr);
    EXPECT_EQ(GetUserName(), "user");
    home_.env().Set("USER", nullptr);
    EXPECT_EQ(GetUserName(), "");

    // Only without $HOME do the fixed fallbacks apply; they are not created.
    home_.env().Set("USER", "pat");
    home_.env().Set("HOME", nullptr);
    EXPECT_EQ(GetHomeFolder(), "/Users/pat");
    EXPECT_EQ(GetApplicationSupportFolder(), "/Users/pat/Library/Application Support");
    EXPECT_EQ(GetDownloadsFolder(), "/Users/pat/Downloads");
    home_.env().Set("USER", nullptr);
    EXPECT_EQ(GetApplicationSupportFolder(), "/Users//Library/Application Support");
}

TEST_F(FoldersTest, XdgFoldersUnderTheTemporaryHome) {
    EXPECT_EQ(GetHomeFolder(), home_.home());
    EXPECT_EQ(GetApplicationSupportFolder(), Home("/.local/share"));
    EXPECT_TRUE(IsFolder(Home("/.local/share")));
    EXPECT_EQ(GetDownloadsFolder(), Home("/Downloads"));
    EXPECT_TRUE(IsFolder(Home("/Downloads")));

    bool created = false;
    EXPECT_EQ(GetDataFolder("Thing", &created), Home("/.local/share/Orvane Software/Thing"));
    EXPECT_TRUE(created);
    GetDataFolder("Thing", &created);
    EXPECT_FALSE(created);
    EXPECT_EQ(GetProgramDataFolder(), Home("/.local/share/Orvane Software/Tunewright"));
    EXPECT_EQ(GetSharedFolder(), Home("/.local/share/Orvane Software/Tunewright/Shared"));
    EXPECT_TRUE(IsFolder(GetSharedFolder()));

    home_.env().Set("XDG_DATA_HOME", (home_.root() + "/data").c_str());
    EXPECT_EQ(GetProgramDataFolder(), home_.root() + "/data/Orvane Software/Tunewright");
    EXPECT_EQ(GetMachineSharedFolder(),
              home_.root() + "/data/Library/Application Support/Orvane Software/Tunewright");
    EXPECT_TRUE(IsFolder(home_.root() + "/data/Library/Application Support"));
    home_.env().Set("XDG_DATA_HOME", "relative/is/ignored");
    EXPECT_EQ(GetApplicationSupportFolder(), Home("/.local/share"));

    // The desktop's own name for the download folder.
    MakeFolderPath(Home("/.config"));
    test::WriteFileText(
        Home("/.config/user-dirs.dirs"),
        "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    EXPECT_EQ(GetDownloadsFolder(), Home("/Fetched"));
    EXPECT_TRUE(IsFolder(Home("/Fetched")));
}

TEST_F(FoldersTest, MigrationCopiesOnceAndWritesTheMarker) {
    const std::string old_folder = GetMachineSharedFolder();
    const std::string shared = Home("/.local/share/Orvane Software/Tunewright/Shared");
    const std::string marker = shared + "/.SharedFolderMigrated";

    // No machine-wide folder and no shared folder yet: no marker, tried again next time.
    MigrateSharedFolder();
    EXPECT_FALSE(PathExists(marker));

    ASSERT_TRUE(MakeFolderPath(old_folder + "/sub"));
    test::WriteFileText(old_folder + "/SharedSettings.xml", "<Distributor/>");
    test::WriteFileText(old_folder + "/sub/f", "f");
    MigrateSharedFolder();
    EXPECT_TRUE(PathExists(marker));
    EXPECT_EQ(test::ReadFileText(shared + "/SharedSettings.xml"), "<Distributor/>");
    EXPECT_EQ(test::ReadFileText(shared + "/sub/f"), "f");
    EXPECT_TRUE(PathExists(old_folder + "/SharedSettings.xml"));  // left in place

    // A second start finds the marker and copies nothing, even after changes.
    test::WriteFileText(old_folder + "/new", "n");
    MigrateSharedFolder();
    EXPECT_FALSE(PathExists(shared + "/new"));
}

TEST_F(FoldersTest, MigrationWithAnExistingSharedFolderOnlyWritesTheMarker) {
    const std::string old_folder = GetMachineSharedFolder();
    ASSERT_TRUE(MakeFolderPath(old_folder));
    test::WriteFileText(old_folder + "/SharedSettings.xml", "<Old/>");
    const std::string shared = GetSharedFolder();  // creates it
    MigrateSharedFolder();
    EXPECT_TRUE(PathExists(shared + "/.SharedFolderMigrated"));
    EXPECT_FALSE(PathExists(shared + "/SharedSettings.xml"));
}

TEST_F(FoldersTest, FolderHelpers) {
    const std::string base = home_.root() + "/t";
    EXPECT_FALSE(PathExists(base));
    EXPECT_TRUE(MakeFolder(base));
    EXPECT_FALSE(MakeFolder(base));  // exists already
    EXPECT_TRUE(IsFolder(base));
    EXPECT_TRUE(MakeFolderPath(base + "/a/b/c"));
    EXPECT_TRUE(IsFolder(base + "/a/b/c"));
    test::WriteFileText(base + "/file", "x");
    EXPECT_TRUE(PathExists(base + "/file"));
    EXPECT_FALSE(IsFolder(base + "/file"));
    EXPECT_FALSE(MakeFolderPath(base + "/file/below"));
    ASSERT_EQ(symlink("nowhere", (base + "/dangling").c_str()), 0);
    EXPECT_TRUE(PathExists(base + "/dangling"));
    EXPECT_FALSE(IsFolder(base + "/dangling"));
}

TEST_F(FoldersTest, CopyTreeAndRemoveTree) {
    const std::string from = home_.root() + "/from", to = home_.root() + "/deep/to";
    ASSERT_TRUE(MakeFolderPath(from + "/d1/d2"));
    test::WriteFileText(from + "/a.txt", "alpha");
    test::WriteFileText(from + "/d1/d2/b.bin", std::string("\0\1\2", 3));
    chmod((from + "/a.txt").c_str(), 0751);
    // Names a shell would take for commands are plain names here.
    ASSERT_EQ(symlink("a.txt", (from + "/link \"$(touch pwned)\"").c_str()), 0);
    ASSERT_TRUE(MakeFolderPath(to));
    test::WriteFileText(to + "/a.txt", "old content that is longer");

    EXPECT_TRUE(CopyTree(from, to));
    EXPECT_EQ(test::ReadFileText(to + "/a.txt"), "alpha");
    EXPECT_EQ(fs::status(to + "/a.txt").permissions(), static_cast<fs::perms>(0751));
    EXPECT_EQ(test::ReadFileText(to + "/d1/d2/b.bin"), std::string("\0\1\2", 3));
    EXPECT_TRUE(fs::is_symlink(to + "/link \"$(touch pwned)\""));
    EXPECT_EQ(fs::read_symlink(to + "/link \"$(touch pwned)\""), "a.txt");
    EXPECT_FALSE(PathExists("pwned"));

    // A link to a folder is removed, never followed.
    ASSERT_EQ(symlink(from.c_str(), (to + "/d1/up").c_str()), 0);
    EXPECT_TRUE(RemoveTree(home_.root() + "/deep"));
    EXPECT_FALSE(PathExists(home_.root() + "/deep"));
    EXPECT_TRUE(PathExists(from + "/d1/d2/b.bin"));
    EXPECT_FALSE(RemoveTree(home_.root() + "/deep"));
    EXPECT_TRUE(RemoveTree(from + "/a.txt"));
}

// Links already in the destination are replaced, never followed: nothing outside the
// destination changes.
TEST_F(FoldersTest, CopyTreeNeverWritesThroughDestinationLinks) {
    const std::string from = home_.root() + "/from", to = home_.root() + "/to";
    const std::string outside = home_.root() + "/outside";
    ASSERT_TRUE(MakeFolderPath(from + "/d1"));
    test::WriteFileText(from + "/a.txt", "alpha");
    test::WriteFileText(from + "/d1/inner.txt", "inner");
    ASSERT_TRUE(MakeFolderPath(outside));
    ASSERT_TRUE(MakeFolderPath(to));
    test::WriteFileText(outside + "/victim.txt", "untouched");
    ASSERT_EQ(symlink(outside.c_str(), (to + "/d1").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/victim.txt").c_str(), (to + "/a.txt").c_str()), 0);

    EXPECT_TRUE(CopyTree(from, to));
    EXPECT_FALSE(PathExists(outside + "/inner.txt"));
    EXPECT_EQ(test::ReadFileText(outside + "/victim.txt"), "untouched");
    EXPECT_FALSE(fs::is_symlink(to + "/d1"));
    EXPECT_EQ(test::ReadFileText(to + "/d1/inner.txt"), "inner");
    EXPECT_FALSE(fs::is_symlink(to + "/a.txt"));
    EXPECT_EQ(test::ReadFileText(to + "/a.txt"), "alpha");
}

TEST_F(FoldersTest, MakeTempFile) {
    const std::string dir = home_.root() + "/";
    std::vector<std::string> made;
    for (int i = 0; i < 20; ++i) {
        std::string p = MakeTempFile(dir, ".lock");
        ASSERT_FALSE(p.empty());
        std::string name = p.substr(dir.size());
        EXPECT_EQ(name.size(), 12u);
        EXPECT_EQ(name[0], '0');
        EXPECT_EQ(name.substr(7), ".lock");
        EXPECT_EQ(fs::file_size(p), 0u);
        for (const std::string& other : made) EXPECT_NE(p, other);
        made.push_back(p);
    }
    EXPECT_EQ(MakeTempFile(home_.root() + "/no/such/dir/", ""), "");
}

TEST_F(FoldersTest, HelpFolderAndHelpPages) {
    std::vector<std::string> opened;
    SetOpenUriHandlerForTesting([&opened](const std::string& uri) {
        opened.push_back(uri);
        return true;
    });
    const std::string data = home_.root() + "/share dir";
    ASSERT_TRUE(MakeFolderPath(data + "/help"));
    home_.env().Set("TUNEWRIGHT_DATA_DIR", data.c_str());
    EXPECT_EQ(GetHelpFolder(), data + "/help/");
    EXPECT_TRUE(OpenHelpPage("index"));
    EXPECT_TRUE(OpenHelpPage("Tuning.HTML"));
    EXPECT_TRUE(OpenHelpPage("v1.2/page"));
    EXPECT_TRUE(OpenHelpPage("a.html/page"));
    SetOpenUriHandlerForTesting(nullptr);
    const std::string uri = "file://" + home_.root() + "/share%20dir/help/";
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], uri + "index.html");
    EXPECT_EQ(opened[1], uri + "Tuning.HTML");
    EXPECT_EQ(opened[2], uri + "v1.2/page.html");
    EXPECT_EQ(opened[3], uri + "a.html/page.html");
}

TEST_F(FoldersTest, FindApplicationLooksInTheUsersFolderFirst) {
    std::string path;
    EXPECT_FALSE(FindProgramApplication("NoSuchProgramHere", &path));
    EXPECT_EQ(path, "/Applications/NoSuchProgramHere.app");
    ASSERT_TRUE(MakeFolderPath(Home("/Applications/Tunewright.app")));
    EXPECT_TRUE(FindProgramApplication("Tunewright", &path));
    EXPECT_EQ(path, Home("/Applications/Tunewright.app"));
}

}  // namespace
}  // namespace tw
