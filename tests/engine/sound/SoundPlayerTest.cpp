#include "TLazySoundPlayer.h"
#include "TSoundPlayer.h"
#include "WavFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

const std::string kSounds = QUORVANE_SOURCE_DIR "/data/sounds/";

// 16-bit samples at a level other than 0 are a 200 Hz square wave of that height.
std::string Wav(int channels, int rate, int bits, int tag, size_t samples, bool dataFirst = false,
    int level = 0)
{
    auto u32 = [](uint32_t v) {
        return std::string {static_cast<char>(v), static_cast<char>(v >> 8),
            static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    };
    auto u16 = [](uint16_t v) {
        return std::string {static_cast<char>(v), static_cast<char>(v >> 8)};
    };
    const uint32_t block = static_cast<uint32_t>(channels * bits / 8);
    const std::string fmt = "fmt " + u32(16) + u16(static_cast<uint16_t>(tag))
        + u16(static_cast<uint16_t>(channels)) + u32(static_cast<uint32_t>(rate))
        + u32(static_cast<uint32_t>(rate) * block) + u16(static_cast<uint16_t>(block))
        + u16(static_cast<uint16_t>(bits));
    std::string samplesBytes(samples * block, '\0');
    for (size_t i = 0; level != 0 && i < samples; ++i)
        samplesBytes.replace(
            i * 2, 2, u16(static_cast<uint16_t>((i * 400 / rate) % 2 ? level : -level)));
    const std::string data = "data" + u32(static_cast<uint32_t>(samples * block)) + samplesBytes;
    const std::string body = "WAVE" + (dataFirst ? data + fmt : fmt + data);
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}

bool SoundServer()
{
    return std::getenv("QUORVANE_SOUND_SERVER") != nullptr;
}

// Runs the event loop until the condition holds or the bound passes; returns the time taken.
template<class F> qint64 WaitFor(F condition, int boundMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return t.elapsed();
}

// Levels of 10 ms (mean sample size) as the sound server's null sink plays them out.
const auto Soft = [](int level) { return level > 1000 && level < 6000; };
const auto Loud = [](int level) { return level >= 8000; };

// What the sound server's null sink plays out, recorded from its monitor.
class Ear
{
public:
    Ear()
    {
        FRecorder.start("parec",
            {"-d", "null.monitor", "--format=s16le", "--rate=8000", "--channels=1",
                "--latency-msec=20"});
    }
    ~Ear()
    {
        FRecorder.kill();
        FRecorder.waitForFinished();
    }
    // Waits until a level of 10 ms passes the test; false when none does within 5 s.
    template<class F> bool Hears(F test)
    {
        bool heard = false;
        WaitFor(
            [&] {
                const std::vector<int> &levels = Levels();
                return heard = std::any_of(levels.begin(), levels.end(), test);
            },
            5000);
        return heard;
    }
    const std::vector<int> &Levels()
    {
        FData += FRecorder.readAllStandardOutput();
        const auto *samples = reinterpret_cast<const int16_t *>(FData.constData());
        for (size_t at = FLevels.size() * 80; at + 80 <= size_t(FData.size()) / 2; at += 80) {
            long sum = 0;
            for (size_t i = at; i < at + 80; ++i)
                sum += std::abs(samples[i]);
            FLevels.push_back(static_cast<int>(sum / 80));
        }
        return FLevels;
    }

private:
    QProcess FRecorder;
    QByteArray FData;
    std::vector<int> FLevels;
};

} // namespace

TEST(WavFile, HeaderChecks)
{
    struct Row
    {
        const char *what;
        std::string bytes;
        bool playable;
        double seconds;
    };
    const Row rows[] = {
        {"16-bit mono", Wav(1, 22050, 16, 1, 22050), true, 1.0},
        {"8-bit stereo", Wav(2, 8000, 8, 1, 4000), true, 0.5},
        {"float", Wav(1, 44100, 32, 3, 44100), true, 1.0},
        {"compressed", Wav(1, 8000, 4, 0x11, 100), false, 0},
        {"24-bit", Wav(1, 8000, 24, 1, 100), false, 0},
        {"six channels", Wav(6, 8000, 16, 1, 100), false, 0},
        {"data before format", Wav(1, 8000, 16, 1, 100, true), false, 0},
        {"text renamed", "The market is open.\n", false, 0},
        {"empty", "", false, 0},
        {"truncated header", Wav(1, 8000, 16, 1, 10).substr(0, 30), false, 0},
    };
    for (const Row &r : rows) {
        WavFile wav;
        const std::string why = ParseWav(r.bytes.data(), r.bytes.size(), wav);
        EXPECT_EQ(why.empty(), r.playable) << r.what << ": " << why;
        if (r.playable) {
            EXPECT_DOUBLE_EQ(wav.Seconds(), r.seconds) << r.what;
        }
    }
    // A data chunk that claims more than the file holds is cut to what is there.
    std::string cut = Wav(1, 8000, 16, 1, 8000);
    cut.resize(cut.size() - 8000);
    WavFile wav;
    EXPECT_EQ(ParseWav(cut.data(), cut.size(), wav), "");
    EXPECT_DOUBLE_EQ(wav.Seconds(), 0.5);
}

TEST(SoundPlayer, UnplayableFilesRaiseAtOnceWithTheirReason)
{
    QTemporaryDir dir;
    const std::string text = dir.path().toStdString() + "/15_min_before_opening.wav";
    std::ofstream(text) << "not a sound\n";
    // The player itself, the one the bar loads at its first sound, and one whose module is gone.
    const std::string module = QUORVANE_BIN_DIR "/" + std::string(TLazySoundPlayer::ModuleName);
    struct Row
    {
        std::unique_ptr<ISoundPlayer> player;
        const char *reason;
    };
    Row rows[] = {
        {std::make_unique<TSoundPlayer>(), "not a RIFF/WAVE sound file"},
        {std::make_unique<TLazySoundPlayer>(module), "not a RIFF/WAVE sound file"},
        {std::make_unique<TLazySoundPlayer>(dir.path().toStdString() + "/gone.so"), "gone.so"},
    };
    for (Row &r : rows) {
        EXPECT_FALSE(r.player->IsPlaying());
        try {
            r.player->Play(text);
            ADD_FAILURE() << "no error for " << r.reason;
        } catch (const Exception &e) {
            EXPECT_NE(std::strstr(e.what(), "15_min_before_opening.wav"), nullptr) << e.what();
            EXPECT_NE(std::strstr(e.what(), r.reason), nullptr) << e.what();
        }
        EXPECT_THROW(r.player->Play(dir.path().toStdString() + "/missing.wav"), Exception);
        EXPECT_FALSE(r.player->IsPlaying());
    }
    EXPECT_THROW(TSoundPlayer().Play(text), EMCIDeviceError);
    auto *lazy = static_cast<TLazySoundPlayer *>(rows[1].player.get());
    EXPECT_TRUE(lazy->Loaded());
    EXPECT_FALSE(lazy->Holding()) << "a player that plays nothing is let go of";
}

TEST(SoundPlayer, TheBarsPlayerLoadsAtTheFirstSoundAndLetsGoWhenItEnds)
{
    if (!SoundServer())
        GTEST_SKIP() << "no sound server: run the tests through scripts/with-sound-server.sh";
    TLazySoundPlayer player(QUORVANE_BIN_DIR "/" + std::string(TLazySoundPlayer::ModuleName));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.Loaded()) << "asking whether it plays loads nothing";
    player.Play(kSounds + "0_min_before_opening.wav");
    EXPECT_TRUE(player.Loaded());
    EXPECT_LT(WaitFor([&] { return player.IsPlaying(); }, 2000), 2000);
    WaitFor([&] { return !player.IsPlaying(); }, 8000);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.Holding()) << "the output is kept after the sound ended";
    player.Play(kSounds + "0_min_before_closing.wav");
    EXPECT_LT(WaitFor([&] { return player.IsPlaying(); }, 2000), 2000) << "no second sound";
}

TEST(SoundPlayer, WhatIsHeardAndForHowLong)
{
    if (!SoundServer())
        GTEST_SKIP() << "no sound server: run the tests through scripts/with-sound-server.sh";
    QTemporaryDir dir;
    const std::string soft = dir.path().toStdString() + "/soft.wav";
    const std::string loud = dir.path().toStdString() + "/loud.wav";
    std::ofstream(soft, std::ios::binary) << Wav(1, 8000, 16, 1, 24000, false, 3000); // 3 s
    std::ofstream(loud, std::ios::binary) << Wav(1, 8000, 16, 1, 12000, false, 12000); // 1.5 s
    struct Row
    {
        const char *what;
        std::vector<std::string> plays; // each once the one before is heard
    };
    const Row rows[] = {
        {"one sound", {loud}},
        {"a second play replaces the first", {soft, loud}},
    };
    for (const Row &r : rows) {
        Ear ear;
        ASSERT_TRUE(ear.Hears([](int) { return true; })) << "the sink's monitor records nothing";
        TSoundPlayer player;
        QElapsedTimer call;
        for (const std::string &file : r.plays) {
            if (&file != &r.plays.front()) {
                ASSERT_TRUE(ear.Hears(Soft)) << r.what;
            }
            call.start();
            player.Play(file);
            EXPECT_LT(call.elapsed(), 1500) << r.what << ": Play must return at once";
        }
        WaitFor([&] { return !player.IsPlaying(); }, 10000);
        // Counted from the call: a busy machine can only make the sound end later.
        const qint64 playedFor = call.elapsed();
        EXPECT_FALSE(player.IsPlaying()) << r.what;
        WaitFor([] { return false; }, 300); // the last buffer on its way to the monitor
        const std::vector<int> &heard = ear.Levels();
        const auto firstLoud = std::find_if(heard.begin(), heard.end(), Loud);
        const long loudMs = 10 * std::count_if(heard.begin(), heard.end(), Loud);
        const long softAfterMs = 10 * std::count_if(firstLoud, heard.end(), Soft);
        std::printf("%s: loud heard %ld ms, soft after it %ld ms, playing for %lld ms\n", r.what,
            loudMs, softAfterMs, static_cast<long long>(playedFor));
        EXPECT_LT(softAfterMs, 50) << r.what << ": the first sound goes on under the second";
        EXPECT_GT(loudMs, 1300) << r.what << ": the last sound is heard in full";
        EXPECT_GT(playedFor, 1300) << r.what << ": playing ends before the sound does";
    }
}

TEST(SoundPlayer, NoOutputDeviceRaises)
{
    if (std::getenv("QUORVANE_CHILD_NO_DEVICE")) {
        TSoundPlayer player;
        try {
            player.Play(kSounds + "0_min_before_opening.wav");
        } catch (const EMCIDeviceError &e) {
            if (std::strstr(e.what(), "no sound output device")) {
                EXPECT_FALSE(player.IsPlaying());
                return;
            }
            FAIL() << e.what();
        }
        FAIL() << "played without a sound output device";
    }
    // A child of this program with a sound server address that leads nowhere.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVANE_CHILD_NO_DEVICE", "1");
    env.insert("PULSE_SERVER", "unix:/nonexistent/quorvane-no-pulse");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
        {"--gtest_filter=SoundPlayer.NoOutputDeviceRaises"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
}
