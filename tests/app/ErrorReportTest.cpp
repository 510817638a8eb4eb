#include "ErrorReport.h"
#include "Exception.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
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

TEST(ErrorReport, TheBoxWaitsForNobodyAndShowsEachTextOnce)
{
    auto boxes = [] {
        std::vector<QMessageBox *> shown;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                shown.push_back(box);
        return shown;
    };
    int dismissed = 0;
    ReportError("Cannot play the sound", [&] { ++dismissed; });
    ReportError("Cannot play the sound", [&] { ++dismissed; });
    ReportError("Unable to write to /q/options.ini");
    ASSERT_EQ(boxes().size(), 2u) << "one box per distinct text";
    for (QMessageBox *box : boxes()) {
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(box->windowTitle(), QApplication::applicationName());
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
    EXPECT_EQ(dismissed, 0);
    for (QMessageBox *box : boxes())
        if (box->text() == "Cannot play the sound.")
            box->button(QMessageBox::Ok)->click();
    EXPECT_EQ(dismissed, 2) << "both callers are told when their box goes";
    ReportError("Cannot play the sound");
    EXPECT_EQ(boxes().size(), 2u) << "a dismissed text can be shown again";
    for (QMessageBox *box : boxes())
        box->button(QMessageBox::Ok)->click();
    // With a recorder, a caller waiting for the dismissal goes on at once.
    SetErrorReporter([](const std::string &) {});
    bool goneOn = false;
    Guarded([] { throw Exception("x"); }, [&] { goneOn = true; });
    SetErrorReporter(nullptr);
    EXPECT_TRUE(goneOn);
}
