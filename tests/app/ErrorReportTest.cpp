#include "ErrorReport.h"
#include "Exception.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(ErrorReport, AddsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    struct Row
    {
        const char *message;
        const char *shown;
    };
    const Row rows[] = {
        {"Unable to write to /q/options.ini", "Unable to write to /q/options.ini."},
        {"Socket Error # 10054\r\nConnection reset by peer.",
            "Socket Error # 10054\r\nConnection reset by peer."},
        {"Directory not empty", "Directory not empty."},
        {"Operation would block. ", "Operation would block. "},
        {"ends with a dash -", "ends with a dash -"},
        {"ends with a slash /", "ends with a slash /."},
        {"9", "9."},
        {"", ""},
        {"Latin-1 \xE9", "Latin-1 \xE9."},
    };
    for (const Row &r : rows)
        EXPECT_EQ(ErrorReportText(r.message), r.shown) << r.message;
}

TEST(ErrorReport, GuardedHandsWhatEscapesToTheReportAndRunsOn)
{
    std::vector<std::string> shown;
    SetErrorReporter([&](const std::string &text) { shown.push_back(text); });
    Guarded([] { throw Exception("Cannot open file \"/q/schedule.txt\". Permission denied"); });
    Guarded([] {});
    Guarded([] { throw std::runtime_error("plain"); });
    SetErrorReporter(nullptr);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Cannot open file \"/q/schedule.txt\". Permission denied.");
    EXPECT_EQ(shown[1], "plain.");
}
