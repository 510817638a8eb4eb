#include "PosixFileSystem.h"
#include "Schedule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;

namespace {

struct TempFolder
{
    TempFolder()
    {
        char name[] = "/tmp/quorvane-files-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

void Sized(const std::string &path, off_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

} // namespace

// What the schedule loader meets in its folder: only a regular file is read, nothing blocks, and a
// file too large to be a schedule is refused with a reason.
TEST(PosixFileSystem, OnlyRegularFilesOfScheduleSizeAreRead)
{
    struct Row
    {
        const char *what;
        std::function<void(const std::string &path)> make;
        bool exists;
        const char *error; // the reason, or null when the file reads
        size_t size = 4;
    };
    const Row rows[] = {
        {"regular file", [](const std::string &p) { std::ofstream(p) << "text"; }, true, nullptr},
        {"link to a regular file",
            [](const std::string &p) {
                std::ofstream(p + ".real") << "text";
                ASSERT_EQ(::symlink((p + ".real").c_str(), p.c_str()), 0);
            },
            true, nullptr},
        {"FIFO", [](const std::string &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, true,
            "Not a regular file"},
        {"device behind a link",
            [](const std::string &p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); }, true,
            "Not a regular file"},
        {"directory", [](const std::string &p) { ASSERT_EQ(::mkdir(p.c_str(), 0755), 0); }, false,
            nullptr},
        {"dangling link",
            [](const std::string &p) { ASSERT_EQ(::symlink("/nonexistent/x", p.c_str()), 0); },
            false, nullptr},
        {"one byte over the cap", [](const std::string &p) { Sized(p, ScheduleSizeCap + 1); }, true,
            "File too large"},
        {"at the cap", [](const std::string &p) { Sized(p, ScheduleSizeCap); }, true, nullptr,
            ScheduleSizeCap},
    };
    TPosixFileSystem files;
    ::alarm(30); // a read that blocks ends the program here rather than at the suite's time-out
    for (const Row &r : rows) {
        TempFolder folder;
        const std::string path = folder.path + "/schedule.txt";
        r.make(path);
        EXPECT_EQ(files.FileExists(path), r.exists) << r.what;
        if (!r.exists)
            continue;
        if (!r.error) {
            EXPECT_EQ(files.ReadFile(path).size(), r.size) << r.what;
            continue;
        }
        try {
            files.ReadFile(path);
            ADD_FAILURE() << r.what << " was read";
        } catch (const std::exception &e) {
            EXPECT_EQ(e.what(), "Cannot open file \"" + path + "\". " + r.error) << r.what;
        }
    }
    ::alarm(0);
}
