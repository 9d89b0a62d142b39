#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/scratch_folder.h"
#include "common/test_env.h"
#include "platform/core/file_lock.h"
#include "platform/core/folder_lookup.h"
#include "platform/core/open_uri.h"
#include "platform/core/preferences.h"

namespace tw {
namespace {

TEST(FileLockTest, SharedAndExclusiveAcrossDescriptors) {
    const test::ScratchFolder scratch;
    const std::string path = scratch.Path("lockfile");
    {
        ScopedFileLock reader1(path, FileLockMode::kShared, false);
        ASSERT_TRUE(reader1.locked());
        ScopedFileLock reader2(path, FileLockMode::kShared, false);
        EXPECT_TRUE(reader2.locked());
        ScopedFileLock writer(path, FileLockMode::kExclusive, false);
        EXPECT_EQ(writer.result(), FileLockResult::kWouldBlock);
    }
    ScopedFileLock writer(path, FileLockMode::kExclusive, false);
    EXPECT_TRUE(writer.locked());
    int fd = open(path.c_str(), O_RDONLY);
    EXPECT_EQ(LockFileDescriptor(fd, FileLockMode::kShared, false), FileLockResult::kWouldBlock);
    close(fd);
    EXPECT_EQ(LockFileDescriptor(-1, FileLockMode::kShared, false), FileLockResult::kError);
    ScopedFileLock nowhere(scratch.Path("no/such/folder/lock"), FileLockMode::kShared, true);
    EXPECT_EQ(nowhere.result(), FileLockResult::kError);
}

TEST(PreferencesTest, LocationFollowsTheEnvironment) {
    test::TempHome home;
    EXPECT_EQ(PreferencesFilePath("app.id"), home.home() + "/.config/app.id/preferences.conf");
    home.env().Set("XDG_CONFIG_HOME", (home.root() + "/cfg").c_str());
    EXPECT_EQ(PreferencesFilePath("app.id"), home.root() + "/cfg/app.id/preferences.conf");
    ASSERT_TRUE(PreferencesSet("app.id", "S/K", "v"));
    struct stat st;
    ASSERT_EQ(stat(PreferencesFilePath("app.id").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // per-user data
    home.env().Set("XDG_CONFIG_HOME", nullptr);
    home.env().Set("HOME", nullptr);
    EXPECT_EQ(PreferencesFilePath("app.id"), "");
    EXPECT_FALSE(PreferencesSet("app.id", "S/K", "v"));
    std::string v;
    EXPECT_FALSE(PreferencesGet("app.id", "S/K", &v));
}

TEST(PreferencesTest, AnyKeyAndValueRoundTripWithoutCollisions) {
    test::TempHome home;
    const char* keys[] = {"Settings/AlwaysOnTop",
                          "a=b",
                          "a%3Db",
                          "[group]",
                          " lead",
                          "trail ",
                          "#hash",
                          "line\nbreak",
                          "\xC3\xA9t\xC3\xA9",
                          "x[de]"};
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        ASSERT_TRUE(PreferencesSet("app.id", keys[i], "value " + std::to_string(i) + " \\ \t\n"));
    }
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        std::string v;
        ASSERT_TRUE(PreferencesGet("app.id", keys[i], &v)) << keys[i];
        EXPECT_EQ(v, "value " + std::to_string(i) + " \\ \t\n");
    }
    std::string file = test::ReadFileText(PreferencesFilePath("app.id"));
    EXPECT_NE(file.find("\nSettings/AlwaysOnTop=value 0"), std::string::npos) << file;

    // Text that is not UTF-8 is kept as far as it is valid rather than lost.
    ASSERT_TRUE(PreferencesSet("app.id", "bad", "ok\xFFok"));
    std::string v;
    ASSERT_TRUE(PreferencesGet("app.id", "bad", &v));
    EXPECT_EQ(v.substr(0, 2), "ok");
    EXPECT_EQ(v.substr(v.size() - 2), "ok");

    EXPECT_TRUE(PreferencesRemove("app.id", "a=b"));
    EXPECT_FALSE(PreferencesGet("app.id", "a=b", &v));
    EXPECT_TRUE(PreferencesGet("app.id", "a%3Db", &v));
    EXPECT_TRUE(PreferencesRemove("app.id", "never"));
}

TEST(PreferencesTest, DamagedFileIsKeptAsideNotLost) {
    test::TempHome home;
    ASSERT_TRUE(PreferencesSet("app.id", "S/A", "1"));
    const std::string path = PreferencesFilePath("app.id");
    test::WriteFileText(path, "this is not a key file\n[Preferences]\nS/A=1\n");
    std::string v;
    EXPECT_FALSE(PreferencesGet("app.id", "S/A", &v));
    ASSERT_TRUE(PreferencesSet("app.id", "S/B", "2"));
    EXPECT_TRUE(PreferencesGet("app.id", "S/B", &v));
    EXPECT_EQ(test::ReadFileText(path + ".damaged"),
              "this is not a key file\n[Preferences]\nS/A=1\n");
}

TEST(PreferencesTest, KeepsCommentsAndOtherGroups) {
    test::TempHome home;
    ASSERT_TRUE(PreferencesSet("app.id", "S/A", "1"));
    const std::string path = PreferencesFilePath("app.id");
    test::WriteFileText(path, "# mine\n[Other]\nx=y\n\n[Preferences]\nS/A=1\n");
    ASSERT_TRUE(PreferencesSet("app.id", "S/B", "2"));
    std::string file = test::ReadFileText(path);
    EXPECT_NE(file.find("# mine"), std::string::npos);
    EXPECT_NE(file.find("x=y"), std::string::npos);
    EXPECT_NE(file.find("S/B=2"), std::string::npos);
}

// A key file that starts with a UTF-8 byte-order mark (as some editors save it) reads
// normally, and a write keeps the other keys rather than moving the file aside.
TEST(PreferencesTest, ByteOrderMarkIsAccepted) {
    test::TempHome home;
    ASSERT_TRUE(PreferencesSet("app.id", "S/A", "1"));
    const std::string path = PreferencesFilePath("app.id");
    test::WriteFileText(path, "\xEF\xBB\xBF[Preferences]\nS/A=one\nS/B=two\n");
    std::string v;
    ASSERT_TRUE(PreferencesGet("app.id", "S/A", &v));
    EXPECT_EQ(v, "one");
    ASSERT_TRUE(PreferencesSet("app.id", "S/C", "three"));
    ASSERT_TRUE(PreferencesGet("app.id", "S/B", &v));
    EXPECT_EQ(v, "two");
    EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));
    EXPECT_EQ(test::ReadFileText(path).compare(0, 13, "[Preferences]"), 0);
}

// A key file that is a symbolic link (into a synchronised folder, say) stays a link, and
// its target gets the new value.
TEST(PreferencesTest, KeyFileThatIsALinkStaysALink) {
    test::TempHome home;
    ASSERT_TRUE(PreferencesSet("app.id", "S/A", "1"));
    const std::string path = PreferencesFilePath("app.id");
    const std::string target = home.root() + "/synced.conf";
    std::filesystem::rename(path, target);
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    ASSERT_TRUE(PreferencesSet("app.id", "S/A", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_NE(test::ReadFileText(target).find("S/A=2"), std::string::npos);
    std::string v;
    ASSERT_TRUE(PreferencesGet("app.id", "S/A", &v));
    EXPECT_EQ(v, "2");
}

TEST(FolderLookupTest, XdgAndResources) {
    test::TempHome home;
    std::string p;
    ASSERT_TRUE(LookUpUserFolder(UserFolderKind::kSharedUserData, &p));
    EXPECT_EQ(p, home.home() + "/.local/share");
    test::WriteFileText(home.root() + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"/abs/dl\"\n");
    home.env().Set("XDG_CONFIG_HOME", home.root().c_str());
    ASSERT_TRUE(LookUpUserFolder(UserFolderKind::kDownloads, &p));
    EXPECT_EQ(p, "/abs/dl");
    test::WriteFileText(home.root() + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/\"\n");
    ASSERT_TRUE(LookUpUserFolder(UserFolderKind::kDownloads, &p));
    EXPECT_EQ(p, home.home() + "/Downloads");

    home.env().Set("TUNEWRIGHT_DATA_DIR", (home.root() + "/").c_str());
    ASSERT_TRUE(LookUpResourceFolder(&p));
    EXPECT_EQ(p, home.root());

    home.env().Set("HOME", nullptr);
    EXPECT_FALSE(LookUpUserFolder(UserFolderKind::kHome, &p));
    EXPECT_FALSE(LookUpUserFolder(UserFolderKind::kDownloads, &p));
    home.env().Set("XDG_DATA_HOME", "/data/home");
    ASSERT_TRUE(LookUpUserFolder(UserFolderKind::kApplicationSupport, &p));
    EXPECT_EQ(p, "/data/home");
}

TEST(OpenUriTest, TestHandlerReplacesTheDesktop) {
    std::string seen;
    SetOpenUriHandlerForTesting([&seen](const std::string& uri) {
        seen = uri;
        return false;
    });
    EXPECT_FALSE(OpenUri("file:///x.html"));
    EXPECT_EQ(seen, "file:///x.html");
    SetOpenUriHandlerForTesting(nullptr);
}

}  // namespace
}  // namespace tw
