#include "platform/core/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/scratch_folder.h"
#include "common/test_env.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// What stands at the destination before the write, and what must hold after it.
TEST(AtomicFileTest, ReplacesWhatStandsAtTheDestination) {
    struct Case {
        const char* name;
        void (*prepare)(const test::ScratchFolder&);
        const char* destination;
        const char* written;  // where the content must land
        unsigned mode;
        bool link_stays;
        std::vector<std::string> entries;  // the folder afterwards: no temporary is left
    };
    const std::string longest(255, 'n');
    const unsigned fresh = 0640 & ~CurrentUmask();
    const Case cases[] = {
        {"new file", [](const test::ScratchFolder&) {}, "f", "f", fresh, false, {"f"}},
        {"private file stays private",
         [](const test::ScratchFolder& s) {
             test::WriteFileText(s.Path("f"), "old");
             chmod(s.Path("f").c_str(), 0600);
         },
         "f",
         "f",
         0600,
         false,
         {"f"}},
        {"odd bits are kept",
         [](const test::ScratchFolder& s) {
             test::WriteFileText(s.Path("f"), "old");
             chmod(s.Path("f").c_str(), 0754);
         },
         "f",
         "f",
         0754,
         false,
         {"f"}},
        {"chain of relative links",
         [](const test::ScratchFolder& s) {
             fs::create_directory(s.Path("sub"));
             test::WriteFileText(s.Path("sub/real"), "old");
             chmod(s.Path("sub/real").c_str(), 0604);
             symlink("real", s.Path("sub/inner").c_str());
             symlink("sub/inner", s.Path("outer").c_str());
         },
         "outer",
         "sub/real",
         0604,
         true,
         {"outer", "sub"}},
        {"dangling link gets its target",
         [](const test::ScratchFolder& s) { symlink("later", s.Path("link").c_str()); },
         "link",
         "later",
         fresh,
         true,
         {"later", "link"}},
        {"longest legal name",
         [](const test::ScratchFolder&) {},
         longest.c_str(),
         longest.c_str(),
         fresh,
         false,
         {longest}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ScratchFolder scratch;
        c.prepare(scratch);
        const std::string destination = scratch.Path(c.destination);
        ASSERT_TRUE(WriteFileAtomically(destination, "new", 0640));
        EXPECT_EQ(test::ReadFileText(scratch.Path(c.written)), "new");
        EXPECT_EQ(static_cast<unsigned>(fs::status(scratch.Path(c.written)).permissions()), c.mode);
        EXPECT_EQ(fs::is_symlink(destination), c.link_stays);
        EXPECT_EQ(Entries(scratch.path()), c.entries);
    }
}

TEST(AtomicFileTest, UnusableDestinationsFailAndLeaveNothing) {
    const test::ScratchFolder scratch;
    fs::create_directory(scratch.Path("folder"));
    symlink("loop", scratch.Path("loop").c_str());
    for (const std::string& path :
         {scratch.Path("folder"), scratch.Path("missing/f"), scratch.Path("loop"), std::string()}) {
        SCOPED_TRACE(path);
        AtomicFile file(path);
        EXPECT_FALSE(file.Begin());
        EXPECT_FALSE(file.Write("x", 1));
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(Entries(scratch.path()), (std::vector<std::string>{"folder", "loop"}));
}

// Temporary files of dead writers go at the next save; a live writer's file (its lock
// held, here through another open file description as in another process), files of
// other naming, links and pipes stay.
TEST(AtomicFileTest, SaveRemovesOnlyDeadWritersTemporaries) {
    const test::ScratchFolder scratch;
    AtomicFile live(scratch.Path("live.txt"));
    ASSERT_TRUE(live.Begin());
    ASSERT_TRUE(live.Write("live", 4));
    const std::string live_name = fs::path(live.temporary_path()).filename();
    EXPECT_TRUE(IsAtomicTemporaryName(live_name));

    const std::vector<std::string> dead = {".tw-0123abcd.tmp", ".tw-ffffffff.tmp"};
    for (const std::string& name : dead) test::WriteFileText(scratch.Path(name), "torn");
    const std::vector<std::string> foreign = {".tw-0123ABCD.tmp", ".tw-0123abc.tmp",
                                              ".tw-0123abcd.tmp~", "notes.tmp", "tw-0123abcd.tmp"};
    for (const std::string& name : foreign) test::WriteFileText(scratch.Path(name), "keep");
    test::WriteFileText(scratch.Path("victim"), "keep");
    ASSERT_EQ(symlink("victim", scratch.Path(".tw-00000000.tmp").c_str()), 0);
    ASSERT_EQ(mkfifo(scratch.Path(".tw-11111111.tmp").c_str(), 0600), 0);

    ASSERT_TRUE(WriteFileAtomically(scratch.Path("other.txt"), "other"));
    for (const std::string& name : dead) EXPECT_FALSE(fs::exists(scratch.Path(name))) << name;
    for (const std::string& name : foreign) EXPECT_TRUE(fs::exists(scratch.Path(name))) << name;
    EXPECT_TRUE(fs::is_symlink(scratch.Path(".tw-00000000.tmp")));
    EXPECT_EQ(test::ReadFileText(scratch.Path("victim")), "keep");
    EXPECT_TRUE(fs::is_fifo(scratch.Path(".tw-11111111.tmp")));
    EXPECT_TRUE(fs::exists(live.temporary_path()));

    ASSERT_TRUE(live.Commit());
    EXPECT_EQ(test::ReadFileText(scratch.Path("live.txt")), "live");
    EXPECT_FALSE(fs::exists(scratch.Path(live_name)));
    EXPECT_EQ(RemoveStaleTemporaryFiles(scratch.path()), 0);
}

TEST(AtomicFileTest, DiscardLeavesTheOldContent) {
    const test::ScratchFolder scratch;
    test::WriteFileText(scratch.Path("f"), "old");
    {
        AtomicFile file(scratch.Path("f"));
        ASSERT_TRUE(file.Begin());
        ASSERT_TRUE(file.Write("new", 3));
    }  // never committed
    EXPECT_EQ(test::ReadFileText(scratch.Path("f")), "old");
    EXPECT_EQ(Entries(scratch.path()), std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace tw
