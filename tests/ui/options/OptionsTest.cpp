#include "Exception.h"
#include "IniFile.h"
#include "TOptions.h"
#include "engine/Fakes.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <tuple>
#include <unistd.h>

using namespace quorvane;

namespace quorvane {
void PrintTo(TOptions::Kind kind, std::ostream *os)
{
    *os << (kind == TOptions::Kind::Dialog ? "Dialog" : "Store");
}
} // namespace quorvane

namespace {
int gReplaces = 0;
}

// Stands in for the C library's rename in this program, counting the replaces of options.ini.
extern "C" int rename(const char *from, const char *to) noexcept
{
    const size_t n = std::strlen(to);
    if (n >= 12 && std::strcmp(to + n - 12, "/options.ini") == 0)
        ++gReplaces;
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 0));
}

namespace {

// The minutes of the ticked items of one alarm list, as the instance holds them.
std::vector<int> Checked(const TOptions &o, bool closing)
{
    const TOptionValues &v = o.Values();
    std::vector<int> n;
    for (size_t i = 0; i < TOptionValues::AlarmItems; ++i)
        if ((closing ? v.clb2 : v.clb1)[i])
            n.push_back(AlarmItemMinutes(
                (closing ? TOptionValues::ClosingItems : TOptionValues::OpeningItems)[i]));
    return n;
}

template<class T> void Set(TOptions &o, T TOptionValues::*member, const T &value)
{
    TOptionValues v = o.Values();
    v.*member = value;
    o.SetValues(v);
}

std::string Slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct Dir
{
    QTemporaryDir tmp;
    std::string ini = tmp.path().toStdString() + "/options.ini";
    void Write(const std::string &text) { std::ofstream(ini, std::ios::binary) << text; }
};

// Loading, saving and the getters follow the same rules in the dialog and in the store.
class Both : public testing::TestWithParam<TOptions::Kind>
{
};

INSTANTIATE_TEST_SUITE_P(Options, Both,
    testing::Values(TOptions::Kind::Dialog, TOptions::Kind::Store),
    [](const auto &row) { return testing::PrintToString(row.param); });

} // namespace

TEST_P(Both, FreshDefaults)
{
    TOptions o(nullptr, nullptr, GetParam());
    EXPECT_TRUE(o.UseSNTP());
    EXPECT_EQ(o.SNTPServer(), TOptions::DefaultServer);
    EXPECT_EQ(o.SNTPPort(), 123);
    EXPECT_FALSE(o.AutoHide());
    EXPECT_EQ(o.AlwaysShowXMinutesBeforeOpening(), 15);
    EXPECT_EQ(o.AlwaysShowXMinutesBeforeClosing(), 60);
    EXPECT_TRUE(o.ShowEasternTime());
    EXPECT_EQ(o.Transparency(), 50);
    EXPECT_EQ(Checked(o, false), (std::vector<int> {0, 15}));
    EXPECT_EQ(Checked(o, true), (std::vector<int> {0, 60}));
    EXPECT_FALSE(o.ExtendedHours());
    const bool dialog = GetParam() == TOptions::Kind::Dialog;
    EXPECT_EQ(o.findChildren<QWidget *>().isEmpty(), !dialog) << "a store builds no controls";
    if (dialog) {
        EXPECT_EQ(o.clb1->item(6)->checkState(), Qt::Checked) << "15 minutes before opening";
        EXPECT_EQ(o.clb1->item(1)->text(), "1 minute before opening");
        EXPECT_EQ(o.cb1->text(), "Use SNTP serrver");
        EXPECT_EQ(o.ed3->text(), "15");
        // 685 and the one line of the extended-hours box.
        EXPECT_EQ(o.ScrollBox1->widget()->height(), 708);
    }
}

TEST_P(Both, AlarmBoxesAnswerForTheirOwnMinuteCountsOnly)
{
    TOptions o(nullptr, nullptr, GetParam());
    TOptionValues v = o.Values();
    v.clb2[1] = true; // 1 minute before closing
    v.clb1[6] = false; // 15 minutes before opening
    o.SetValues(v);
    struct Row
    {
        int32_t minutes;
        bool closing;
        std::optional<bool> box;
    };
    const Row rows[] = {{0, false, true}, {0, true, true}, {1, true, true}, {1, false, false},
        {15, false, false}, {15, true, false}, {60, true, true}, {60, false, false},
        {30, false, false}, {7, true, std::nullopt}, {4, false, std::nullopt},
        {120, true, std::nullopt}, {-1, true, std::nullopt}};
    for (const Row &r : rows)
        EXPECT_EQ(o.AlarmBox(r.minutes, r.closing), r.box) << r.minutes << " " << r.closing;
}

TEST_P(Both, LoadingEdgeCases)
{
    struct Case
    {
        const char *what;
        std::string ini;
        bool useSntp;
        std::string server;
        int32_t port, transparency;
        std::vector<int> opening;
        std::vector<int> closing = {0, 60};
    };
    const std::string w = "[Quorvane]\nLeft=1\nHeight=34\nWidth=240\n";
    // Alarm keys that are missing keep the boxes a fresh install ticks.
    const std::vector<int> fresh = {0, 15};
    const Case cases[] = {
        {"only the window keys", w, true, "pool.ntp.org", 123, 50, fresh},
        {"transparency 150", w + "Transparency=150\n", true, "pool.ntp.org", 123, 100, fresh},
        {"transparency -5", w + "Transparency=-5\n", true, "pool.ntp.org", 123, 0, fresh},
        {"transparency letters", w + "Transparency=abc\n", true, "pool.ntp.org", 123, 50, fresh},
        {"UseSNTP 2", w + "UseSNTP=2\n", true, "pool.ntp.org", 123, 50, fresh},
        {"UseSNTP 256", w + "UseSNTP=256\n", false, "pool.ntp.org", 123, 50, fresh},
        {"UseSNTP empty", w + "UseSNTP=\n", true, "pool.ntp.org", 123, 50, fresh},
        {"UseSNTP 0", w + "UseSNTP=0\n", false, "pool.ntp.org", 123, 50, fresh},
        {"empty server", w + "SNTPServer=\n", true, "", 123, 50, fresh},
        {"port as letters", w + "SNTPPort=abc\n", true, "pool.ntp.org", 123, 50, fresh},
        {"hex values", w + "SNTPPort=$7B\nTransparency=0x20\n3_minutes_before_open=$1\n", true,
            "pool.ntp.org", 123, 32, {0, 3, 15}},
        {"server with blanks", w + "sntpserver =  time.example.test  \n", true, "time.example.test",
            123, 50, fresh},
        {"defaults unticked",
            w + "0_minutes_before_open=0\n15_minutes_before_open=0\n60_minutes_before_close=0\n",
            true, "pool.ntp.org", 123, 50, {}, {0}},
    };
    for (const Case &c : cases) {
        Dir d;
        d.Write(c.ini);
        TOptions o(nullptr, nullptr, GetParam());
        o.LoadFromIni(d.ini);
        EXPECT_EQ(o.UseSNTP(), c.useSntp) << c.what;
        EXPECT_EQ(o.SNTPServer(), c.server) << c.what;
        EXPECT_EQ(o.SNTPPort(), c.port) << c.what;
        EXPECT_EQ(o.Transparency(), c.transparency) << c.what;
        EXPECT_EQ(o.Values().ed5, std::to_string(c.transparency)) << c.what;
        EXPECT_EQ(Checked(o, false), c.opening) << c.what;
        EXPECT_EQ(Checked(o, true), c.closing) << c.what;
    }
    // A missing server key leaves the field as it was.
    Dir d;
    d.Write(w);
    TOptions o(nullptr, nullptr, GetParam());
    Set(o, &TOptionValues::Edit1, std::string("typed.example.test"));
    o.LoadFromIni(d.ini);
    EXPECT_EQ(o.SNTPServer(), "typed.example.test");
}

TEST_P(Both, SavesEveryKeyInOrderAndRoundTrips)
{
    Dir d;
    d.Write("; mine\n[Quorvane]\nLeft=5\nHeight=34\nWidth=240\n");
    TOptions o(nullptr, nullptr, GetParam());
    TOptionValues v = o.Values();
    v.ed1 = "letters";
    v.ed5 = "250";
    v.clb1[3] = true;
    o.SetValues(v);
    // The whole save is one replace of the file, not one per key.
    gReplaces = 0;
    o.SaveToIni(d.ini);
    const int replaces = gReplaces;
    EXPECT_EQ(replaces, 1);
    const std::string text = Slurp(d.ini);
    EXPECT_EQ(
        text.rfind("; mine\n[Quorvane]\nLeft=5\nHeight=34\nWidth=240\nUseSNTP=1\n"
                   "SNTPServer=pool.ntp.org\nSNTPPort=letters\n0_minutes_before_open=1\n"
                   "1_minutes_before_open=0\n2_minutes_before_open=0\n3_minutes_before_open=1\n",
            0),
        0u)
        << text;
    EXPECT_NE(
        text.find("60_minutes_before_close=1\nAutoHide=0\nAlwaysShowXMinutesBeforeOpening=15"
                  "\nAlwaysShowXMinutesBeforeClosing=60\nShowEasternTime=1\nTransparency=100\n"
                  "ExtendedHours=0\n"),
        std::string::npos)
        << text;
    TOptions back(nullptr, nullptr, GetParam());
    back.LoadFromIni(d.ini);
    EXPECT_EQ(back.Values().ed1, "123");
    EXPECT_EQ(Checked(back, false), (std::vector<int> {0, 3, 15}));
}

TEST_P(Both, AFieldWritesOneKeyWhateverIsPastedIntoIt)
{
    const std::tuple<std::string TOptionValues::*, std::string, const char *> rows[] = {
        {&TOptionValues::Edit1, "time.example.test\nUseSNTP=0", "\nSNTPServer=time.example.test\n"},
        {&TOptionValues::ed1, std::string("123\0AutoHide=1", 14), "\nSNTPPort=123\n"},
        {&TOptionValues::ed4, "30\r[Other]", "\nAlwaysShowXMinutesBeforeClosing=30\n"}};
    for (const auto &[field, typed, written] : rows) {
        Dir d;
        TOptions o(nullptr, nullptr, GetParam());
        Set(o, field, typed);
        o.SaveToIni(d.ini);
        const std::string text = Slurp(d.ini);
        EXPECT_NE(text.find(written), std::string::npos) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 30) << text;
        EXPECT_EQ(text.find_first_of(std::string("\r\0", 2)), std::string::npos) << written;
    }
}

TEST_P(Both, AFailedSaveChangesNothingAndSaysSo)
{
    Dir d;
    d.Write("[Quorvane]\nLeft=5\n");
    chmod(d.ini.c_str(), 0444);
    TOptions o(nullptr, nullptr, GetParam());
    try {
        o.SaveToIni(d.ini);
        FAIL() << "saved to a read-only file";
    } catch (const EIniFileException &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + d.ini);
    }
    EXPECT_EQ(Slurp(d.ini), "[Quorvane]\nLeft=5\n");
    chmod(d.ini.c_str(), 0644);
}

TEST(Options, DialogButtonsAndTheSequence)
{
    Dir d;
    TOptions dialog(nullptr), settings(nullptr, nullptr, TOptions::Kind::Store);
    // Cancel after editing, with no file: nothing saved, the edits stay in the dialog.
    EXPECT_FALSE(RunOptionsSequence(dialog, settings, d.ini, [](TOptions &o) {
        o.Edit1->setText("edited.example.test");
        o.ScrollBox1->verticalScrollBar()->setValue(300);
        QTimer::singleShot(0, o.btnCancel, &QPushButton::click);
        return o.exec();
    }));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(d.ini)));
    EXPECT_EQ(dialog.SNTPServer(), "edited.example.test");
    EXPECT_EQ(settings.SNTPServer(), TOptions::DefaultServer);

    // The close box counts as Cancel.
    EXPECT_FALSE(RunOptionsSequence(dialog, settings, d.ini, [](TOptions &o) {
        QTimer::singleShot(0, &o, &QWidget::close);
        return o.exec();
    }));

    // OK saves and reloads the live settings; the dialog opens scrolled to the top, and Tab
    // goes from the buttons straight into the panels, the scroll area being no stop itself.
    int scrolledTo = -1;
    std::vector<std::string> tabStops;
    EXPECT_TRUE(RunOptionsSequence(dialog, settings, d.ini, [&](TOptions &o) {
        scrolledTo = o.ScrollBox1->verticalScrollBar()->value();
        QWidget *w = o.btnConfirm;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&o))
                tabStops.push_back(w->objectName().toStdString());
            w = w->nextInFocusChain();
        } while (w != o.btnConfirm && tabStops.size() < 40);
        o.cb2->setChecked(true);
        o.cb4->setChecked(true);
        QTimer::singleShot(0, o.btnConfirm, &QPushButton::click);
        return o.exec();
    }));
    EXPECT_EQ(scrolledTo, 0);
    EXPECT_EQ(tabStops,
        (std::vector<std::string> {"btnConfirm", "btnCancel", "Edit1", "cb1", "ed1", "clb2", "clb1",
            "cb2", "ed3", "ed4", "cb3", "ed5", "cb4"}));
    EXPECT_TRUE(settings.AutoHide());
    EXPECT_TRUE(settings.ExtendedHours());
    EXPECT_EQ(settings.SNTPServer(), "edited.example.test");

    // With a file, the dialog is loaded from it before showing.
    dialog.cb2->setChecked(false);
    RunOptionsSequence(dialog, settings, d.ini, [](TOptions &o) {
        EXPECT_TRUE(o.cb2->isChecked());
        return static_cast<int>(QDialog::Rejected);
    });
}

TEST(Options, DefaultAndTheTransparencyClamp)
{
    TOptions o(nullptr);
    o.cb1->setChecked(false);
    o.Edit1->setText("x");
    o.ed1->setText("9");
    o.SpeedButton1Click();
    EXPECT_EQ(o.SNTPServer(), TOptions::DefaultServer);
    EXPECT_EQ(o.ed1->text(), "123");
    EXPECT_FALSE(o.UseSNTP());
    for (auto [typed, shown] :
        {std::pair {"250", "100"}, {"-3", "0"}, {"abc", "50"}, {"42", "42"}}) {
        o.ed5->setText(typed);
        o.ed5Exit();
        EXPECT_EQ(o.ed5->text().toStdString(), shown) << typed;
    }
}

TEST(Options, ServerTestMessages)
{
    struct Case
    {
        const char *port;
        bool answers;
        const char *message;
    };
    const Case cases[] = {
        {"4123", true,
            "The query sent to the SNTP server that is specified (time.example.test:4123) passed "
            "OK. "
            "The SNTP server seems OK at this moment."},
        {"4123", false,
            "ERROR!!! The SNTP server that is specified (time.example.test:4123) did not respond "
            "to "
            "our query. Possible problems are the internet is down, you mistyped the SNTP server "
            "domain, the port is not correct or there is no SNTP server at the specified domain."},
        {"abc", false, "ERROR!!! The SNTP server that is specified (time.example.test:123) did"},
    };
    test::FakeClock clock;
    clock.now = 46000;
    for (const Case &c : cases) {
        test::FakeSntp sntp(clock);
        sntp.serverAhead = 0.1;
        sntp.silent = !c.answers;
        TOptions o(&sntp);
        o.cb1->setChecked(false);
        o.Edit1->setText("time.example.test");
        o.ed1->setText(c.port);
        std::vector<std::string> shown;
        o.ShowInformation = [&](const std::string &t) { shown.push_back(t); };
        o.SpeedButton2Click();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].rfind(c.message, 0), 0u) << shown[0];
        ASSERT_EQ(sntp.calls.size(), 1u);
        EXPECT_EQ(sntp.calls[0].timeout, 3500);
    }

    // A click while the test runs starts no second query; the answer is told once it lands.
    test::FakeSntp sntp(clock);
    sntp.deferred = true;
    TOptions o(&sntp);
    std::vector<std::string> shown;
    o.ShowInformation = [&](const std::string &t) { shown.push_back(t); };
    o.SpeedButton2Click();
    o.SpeedButton2Click();
    EXPECT_EQ(sntp.calls.size(), 1u);
    EXPECT_TRUE(shown.empty());
    sntp.Answer();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("The query sent", 0), 0u);
    o.SpeedButton2Click();
    EXPECT_EQ(sntp.calls.size(), 2u);
}

// Each control of the dialog is what is saved and what a load shows: set by hand, saved, loaded
// into a second dialog.
TEST(Options, EachControlIsSavedAndShownAgain)
{
    struct Row
    {
        std::function<void(TOptions &)> set;
        const char *line;
        std::function<bool(const TOptions &)> shown;
    };
    const Row rows[] = {
        {[](TOptions &o) { o.cb1->setChecked(false); }, "\nUseSNTP=0\n",
            [](const TOptions &o) { return !o.cb1->isChecked(); }},
        {[](TOptions &o) { o.Edit1->setText("a.test"); }, "\nSNTPServer=a.test\n",
            [](const TOptions &o) { return o.Edit1->text() == "a.test"; }},
        {[](TOptions &o) { o.ed1->setText("124"); }, "\nSNTPPort=124\n",
            [](const TOptions &o) { return o.ed1->text() == "124"; }},
        {[](TOptions &o) { o.clb1->item(9)->setCheckState(Qt::Checked); },
            "\n60_minutes_before_open=1\n",
            [](const TOptions &o) { return o.clb1->item(9)->checkState() == Qt::Checked; }},
        {[](TOptions &o) { o.clb2->item(1)->setCheckState(Qt::Checked); },
            "\n1_minutes_before_close=1\n",
            [](const TOptions &o) { return o.clb2->item(1)->checkState() == Qt::Checked; }},
        {[](TOptions &o) { o.cb2->setChecked(true); }, "\nAutoHide=1\n",
            [](const TOptions &o) { return o.cb2->isChecked(); }},
        {[](TOptions &o) { o.ed3->setText("7"); }, "\nAlwaysShowXMinutesBeforeOpening=7\n",
            [](const TOptions &o) { return o.ed3->text() == "7"; }},
        {[](TOptions &o) { o.ed4->setText("8"); }, "\nAlwaysShowXMinutesBeforeClosing=8\n",
            [](const TOptions &o) { return o.ed4->text() == "8"; }},
        {[](TOptions &o) { o.cb3->setChecked(false); }, "\nShowEasternTime=0\n",
            [](const TOptions &o) { return !o.cb3->isChecked(); }},
        {[](TOptions &o) { o.ed5->setText("42"); }, "\nTransparency=42\n",
            [](const TOptions &o) { return o.ed5->text() == "42"; }},
        {[](TOptions &o) { o.cb4->setChecked(true); }, "\nExtendedHours=1\n",
            [](const TOptions &o) { return o.cb4->isChecked(); }},
    };
    for (const Row &r : rows) {
        Dir d;
        TOptions typed(nullptr), shown(nullptr);
        r.set(typed);
        typed.SaveToIni(d.ini);
        EXPECT_NE(Slurp(d.ini).find(r.line), std::string::npos) << r.line;
        shown.LoadFromIni(d.ini);
        EXPECT_TRUE(r.shown(shown)) << r.line;
    }
}
