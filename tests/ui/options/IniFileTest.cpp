#include "IniFile.h"
#include "SettingRules.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvane;

namespace {

std::string Slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

TEST(IniFile, ReadsRealWorldFiles)
{
    const std::string corpus = "; written by hand\r\n"
                               "Stray=outside any section\r\n"
                               "\r\n"
                               "[Other]\r\n"
                               "Port=1\r\n"
                               "[ quorvane ]\r\n"
                               "  sntpport =  4123  \r\n"
                               "Empty=\r\n"
                               "Tabbed=\tx\t\r\n"
                               "Dup=first\r\n"
                               "Dup=second\r\n"
                               "NoEquals\r\n"
                               "Equals=a=b\r\n"
                               "[Quorvane]\r\n"
                               "Later=second section of the same name\r\n"
                               "Last=no final newline";
    struct Row
    {
        const char *key;
        const char *value;
    };
    const Row rows[] = {
        {"SNTPPort", "4123"},
        {"SNTPPORT", "4123"},
        {"Empty", ""},
        {"Tabbed", "x"},
        {"Dup", "first"},
        {"Equals", "a=b"},
        {"Port", "default"},
        {"Stray", "default"},
        {"NoEquals", "default"},
        {"Missing", "default"},
        {"Later", "second section of the same name"},
        {"Last", "no final newline"},
    };
    for (const std::string &text : {corpus, [&] {
                                        std::string lf;
                                        for (char c : corpus)
                                            if (c != '\r')
                                                lf += c;
                                        return lf;
                                    }()}) {
        for (const Row &r : rows)
            EXPECT_EQ(IniLookup(text, "Quorvane", r.key, "default"), r.value) << r.key;
    }
    EXPECT_EQ(IniLookup(std::string(3000, 'x'), "Quorvane", "k", "d"), "d");
    EXPECT_EQ(
        IniLookup("[Quorvane]\nk=" + std::string(3000, 'v'), "Quorvane", "k", "d").size(), 2047u);
}

TEST(IniFile, WritesOneKeyAndLeavesEveryOtherLine)
{
    struct Case
    {
        const char *what;
        std::string before, key, value, after;
    };
    const Case cases[] = {
        {"new file", "", "Left", "10", "[Quorvane]\nLeft=10\n"},
        {"replace keeps order and comments", "; c\r\n[Quorvane]\r\nA=1\r\nleft=5\r\nB=2\r\n",
            "Left", "7", "; c\r\n[Quorvane]\r\nA=1\r\nLeft=7\r\nB=2\r\n"},
        {"add after the section's last key", "[Quorvane]\nA=1\n\n[Other]\nX=1\n", "B", "2",
            "[Quorvane]\nA=1\nB=2\n\n[Other]\nX=1\n"},
        {"new section after others, missing final newline", "[Other]\nX=1", "B", "2",
            "[Other]\nX=1\n[Quorvane]\nB=2\n"},
        {"only the first duplicate changes", "[Quorvane]\nA=1\nA=2\n", "A", "3",
            "[Quorvane]\nA=3\nA=2\n"},
        {"section at the end without newline", "[Quorvane]\nA=1", "B", "2",
            "[Quorvane]\nA=1\nB=2\n"},
        {"CR-only file", "[Quorvane]\rA=1\r", "B", "2", "[Quorvane]\rA=1\rB=2\r"},
        {"a value cut at a line feed", "[Quorvane]\nA=1\n", "A", "x\nB=2", "[Quorvane]\nA=x\n"},
        {"a value cut at a carriage return", "[Quorvane]\nA=1\n", "B", "y\r[Other]",
            "[Quorvane]\nA=1\nB=y\n"},
        {"a value cut at a NUL", "", "A", std::string("z\0B=2", 5), "[Quorvane]\nA=z\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IniUpdate(c.before, "Quorvane", c.key, c.value), c.after) << c.what;
}

TEST(IniFile, WritesReplaceTheFileAndFailWhereThePlatformWould)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = folder + "/options.ini";
    ASSERT_TRUE(WriteIniString(path, "Quorvane", "Left", "12"));
    EXPECT_EQ(ReadIniString(path, "quorvane", "left", "x"), "12");
    EXPECT_EQ(ReadIniString(folder + "/none.ini", "Quorvane", "Left", "x"), "x");

    // A read-only file: the write fails and the file stays as it was.
    chmod(path.c_str(), 0444);
    EXPECT_FALSE(WriteIniString(path, "Quorvane", "Left", "13"));
    EXPECT_EQ(Slurp(path), "[Quorvane]\nLeft=12\n");
    chmod(path.c_str(), 0644);

    // A read-only folder, and a folder that does not exist.
    chmod(folder.c_str(), 0555);
    EXPECT_FALSE(WriteIniString(path, "Quorvane", "Left", "14"));
    chmod(folder.c_str(), 0755);
    EXPECT_FALSE(WriteIniString(folder + "/missing/options.ini", "Quorvane", "Left", "1"));
    struct stat st
    {
    };
    EXPECT_NE(stat((folder + "/missing").c_str(), &st), 0);

    // No temporary file is left behind.
    ASSERT_TRUE(WriteIniString(path, "Quorvane", "Width", "300"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(Slurp(path), "[Quorvane]\nLeft=12\nWidth=300\n");
}

TEST(IniFile, OnlyARegularFileOfSensibleSizeIsRead)
{
    struct Row
    {
        const char *what;
        std::function<void(const std::string &path)> make;
        const char *left; // what Left reads as; "d" is the default of a missing file
    };
    const std::string kText = "[Quorvane]\nLeft=7\n";
    const Row rows[] = {
        {"regular file", [&](const std::string &p) { std::ofstream(p) << kText; }, "7"},
        {"link to a regular file",
            [&](const std::string &p) {
                std::ofstream(p + ".kept") << kText;
                symlink("options.ini.kept", p.c_str());
            },
            "7"},
        {"FIFO", [](const std::string &p) { mkfifo(p.c_str(), 0644); }, "d"},
        {"device behind a link", [](const std::string &p) { symlink("/dev/zero", p.c_str()); },
            "d"},
        {"directory", [](const std::string &p) { mkdir(p.c_str(), 0755); }, "d"},
        {"1 MiB",
            [&](const std::string &p) {
                std::ofstream(p) << kText << std::string((1 << 20) - kText.size(), ';');
            },
            "7"},
        {"over 1 MiB",
            [&](const std::string &p) { std::ofstream(p) << kText << std::string(1 << 20, ';'); },
            "d"},
    };
    alarm(30); // a read that blocks ends the program here rather than at the suite's time-out
    for (const Row &r : rows) {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/options.ini";
        r.make(path);
        EXPECT_EQ(ReadIniString(path, "Quorvane", "Left", "d"), r.left) << r.what;
        EXPECT_EQ(IniFileReadable(path), std::string(r.left) != "d") << r.what;
    }
    alarm(0);
}

TEST(IniFile, WritesGoThroughLinksAndLeaveAtMostOneTemporaryFile)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = folder + "/options.ini";
    auto files = [&](const std::string &in) {
        return QDir(QString::fromStdString(in))
            .entryList(QDir::Files | QDir::System)
            .join(' ')
            .toStdString();
    };
    // Dotfiles kept in a repository: options.ini links to a link to the real file.
    mkdir((folder + "/dots").c_str(), 0755);
    std::ofstream(folder + "/dots/options.ini") << "; kept\n[Quorvane]\nLeft=1\n";
    symlink("dots/options.ini", (folder + "/middle.ini").c_str());
    symlink((folder + "/middle.ini").c_str(), path.c_str());
    ASSERT_TRUE(WriteIniStrings(path, "Quorvane", {{"Left", "2"}, {"Width", "300"}}));
    struct stat st
    {
    };
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_EQ(Slurp(folder + "/dots/options.ini"), "; kept\n[Quorvane]\nLeft=2\nWidth=300\n");
    EXPECT_EQ(files(folder + "/dots"), "options.ini");

    // A read-only target fails through the link too, and stays as it was.
    chmod((folder + "/dots/options.ini").c_str(), 0444);
    EXPECT_FALSE(WriteIniString(path, "Quorvane", "Left", "3"));
    chmod((folder + "/dots/options.ini").c_str(), 0644);
    EXPECT_EQ(ReadIniString(path, "Quorvane", "Left", ""), "2");

    // A link to a file not there yet creates it.
    symlink("dots/new.ini", (folder + "/fresh.ini").c_str());
    ASSERT_TRUE(WriteIniString(folder + "/fresh.ini", "Quorvane", "Left", "4"));
    EXPECT_EQ(Slurp(folder + "/dots/new.ini"), "[Quorvane]\nLeft=4\n");

    // What a save cut short leaves behind is taken over by the next one.
    const std::string temp = folder + "/dots/options.ini.tmp";
    std::ofstream(temp) << "half a fi";
    chmod(temp.c_str(), 0400);
    ASSERT_TRUE(WriteIniString(path, "Quorvane", "Left", "5"));
    EXPECT_EQ(files(folder + "/dots"), "new.ini options.ini");
    EXPECT_EQ(ReadIniString(path, "Quorvane", "Left", ""), "5");

    // Another program's save under way: this one fails at once instead of waiting.
    const int held = open(temp.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_FALSE(WriteIniString(path, "Quorvane", "Left", "6"));
    close(held);
    unlink(temp.c_str());

    // A link planted in the temporary file's place is not followed.
    std::ofstream(folder + "/victim") << "mine";
    symlink((folder + "/victim").c_str(), temp.c_str());
    EXPECT_FALSE(WriteIniString(path, "Quorvane", "Left", "7"));
    EXPECT_EQ(Slurp(folder + "/victim"), "mine");
    unlink(temp.c_str());

    // A FIFO is no file to write to, and nothing waits on it.
    alarm(30);
    const std::string fifo = folder + "/fifo.ini";
    mkfifo(fifo.c_str(), 0644);
    EXPECT_FALSE(WriteIniString(fifo, "Quorvane", "Left", "8"));
    mkfifo((folder + "/dots/new.ini.tmp").c_str(), 0644);
    EXPECT_FALSE(WriteIniString(folder + "/fresh.ini", "Quorvane", "Left", "9"));
    alarm(0);
}

TEST(SettingRules, IntegerAndOnOff)
{
    struct Row
    {
        const char *text;
        int32_t value;
    };
    const Row rows[] = {
        {"123", 123},
        {"  42", 42},
        {"-5", -5},
        {"+7", 7},
        {"0020", 20},
        {"$10", 16},
        {"0x20", 32},
        {"X1f", 31},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", -999},
        {"$80000000", -999},
        {"", -999},
        {"abc", -999},
        {"12 ", -999},
        {"1.5", -999},
        {"0x", -999},
        {"$", -999},
        {"-", -999},
        {"99999999999", -999},
        {"1e3", -999},
    };
    for (const Row &r : rows)
        EXPECT_EQ(IniInteger(r.text, -999), r.value) << '"' << r.text << '"';
    EXPECT_TRUE(IniOnOff("2", false));
    EXPECT_FALSE(IniOnOff("256", true));
    EXPECT_TRUE(IniOnOff("", true));
    EXPECT_FALSE(IniOnOff("0", true));
    EXPECT_TRUE(IniOnOff("$101", false));
}
