#pragma once

#include "Clock.h"
#include "Exception.h"
#include "Seams.h"
#include "TMarketEngine.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvane::test {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMinute = 1.0 / 1440.0;
constexpr double kHour = 1.0 / 24.0;

inline TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, double s = 0)
{
    return static_cast<double>(DaysFromCivil(y, mo, d)) + h * kHour + mi * kMinute + s * kSecond;
}

// Now is the local wall clock, elapsed the monotonic one: time that passes moves both (Pass),
// someone setting the clock moves now alone.
class FakeClock : public IClock
{
public:
    TDateTime Now() const override
    {
        const TDateTime read = now;
        now += perRead; // a real clock moves on between two readings
        return read;
    }
    double Elapsed() const override { return elapsed; }
    void Pass(double days)
    {
        now += days;
        elapsed += days * 86400;
    }
    mutable TDateTime now = 0;
    double elapsed = 0;
    double perRead = 0;
};

class FakeSettings : public IClockSettings
{
public:
    bool UseSNTP() const override { return useSntp; }
    std::string SNTPServer() const override { return server; }
    int32_t SNTPPort() const override { return port; }
    bool ExtendedHours() const override { return extendedHours; }
    std::optional<bool> AlarmBox(int32_t minutes, bool beforeClosing) const override
    {
        const auto it = boxes.find({minutes, beforeClosing});
        return it == boxes.end() ? std::nullopt : std::optional<bool>(it->second);
    }
    bool useSntp = false;
    bool extendedHours = false;
    std::string server = "time.test";
    int32_t port = 123;
    std::map<std::pair<int32_t, bool>, bool> boxes; // (minutes, before closing) to ticked
};

// Answers as a server whose clock reads the local clock plus serverAhead would: at once, or,
// when deferred, when the test calls Answer.
class FakeSntp : public ISntpSource
{
public:
    explicit FakeSntp(const FakeClock &c)
        : clock(c)
    { }
    void Query(const std::string &host, int32_t port, int32_t timeout, SntpDone done) override
    {
        calls.push_back({host, port, timeout});
        pending = std::move(done);
        if (!deferred)
            Answer();
    }
    void Answer()
    {
        SntpDone done = std::move(pending);
        pending = nullptr;
        // A silent server still has the exchange end at a time; a query that raised has none.
        if (fail)
            done({});
        else
            done({silent ? 0 : clock.Now(), silent ? 0 : serverAhead, 0, clock.Now()});
    }
    struct Call
    {
        std::string host;
        int32_t port;
        int32_t timeout;
    };
    const FakeClock &clock;
    std::vector<Call> calls;
    SntpDone pending;
    double serverAhead = 0;
    bool fail = false;
    bool silent = false;
    bool deferred = false;
};

class FakeHttp : public IHttpFetch
{
public:
    void DownloadText(const std::string &url, int32_t timeoutMs, DownloadDone done) override
    {
        urls.push_back(url);
        lastTimeout = timeoutMs;
        pending = std::move(done);
        if (!deferred)
            Answer();
    }
    void Answer()
    {
        DownloadDone done = std::move(pending);
        pending = nullptr;
        done(answer);
    }
    std::vector<std::string> urls;
    int32_t lastTimeout = 0;
    Download answer;
    DownloadDone pending;
    bool deferred = false;
};

class FakeFiles : public IFileSystem
{
public:
    bool FileExists(const std::string &path) const override { return files.count(path) != 0; }
    std::string ReadFile(const std::string &path) const override
    {
        if (unreadable.count(path))
            throw Exception("Cannot open file \"" + path + "\". Permission denied");
        return files.at(path);
    }
    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;
};

// Plays for `length` of the fake clock; a file in `broken` raises like an unplayable WAV.
class FakePlayer : public ISoundPlayer
{
public:
    explicit FakePlayer(const FakeClock &c)
        : clock(c)
    { }
    bool IsPlaying() override { return !played.empty() && clock.Now() < endsAt; }
    void Play(const std::string &path) override
    {
        if (broken.count(path))
            throw Exception("The file is not a playable WAV file: " + path);
        played.push_back(path);
        endsAt = clock.Now() + length;
    }
    const FakeClock &clock;
    std::vector<std::string> played;
    std::set<std::string> broken;
    double length = 2 * kSecond;
    TDateTime endsAt = 0;
};

class FakeDisplay : public IDisplay
{
public:
    std::string Text(Label l) const override { return texts[static_cast<int>(l)]; }
    void SetText(Label l, const std::string &t) override
    {
        texts[static_cast<int>(l)] = t;
        if (l == Label::Status)
            statusInkWhenSet = colors[static_cast<int>(l)];
        ++writes;
    }
    TColor Color(Label l) const override { return colors[static_cast<int>(l)]; }
    void SetColor(Label l, TColor c) override
    {
        colors[static_cast<int>(l)] = c;
        ++writes;
    }
    std::string texts[3];
    TColor colors[3] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    // The status colour at the moment its text was last set: a text shown at once shows in it.
    TColor statusInkWhenSet = 0xFFFFFF;
    int writes = 0;
};

// One engine wired to fakes, with the program folder /q/.
struct Rig
{
    Rig()
        : sntp(clock)
        , player(clock)
        , engine(TEngineServices {&clock, &settings, &sntp, &http, &files, &player, &display},
              "/q/", "http://vendor.test/timer/schedule.txt")
    { }
    void Schedule(const std::string &text) { files.files["/q/schedule.txt"] = text; }
    void Sound(const std::string &name) { files.files["/q/sounds/" + name] = "RIFF"; }

    FakeClock clock;
    FakeSettings settings;
    FakeSntp sntp;
    FakeHttp http;
    FakeFiles files;
    FakePlayer player;
    FakeDisplay display;
    TMarketEngine engine;
};

} // namespace quorvane::test
