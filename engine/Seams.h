#pragma once

// What the engine needs from outside, each behind a small interface: tests pass fakes, the
// program passes the real ones.

#include "Calendar.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvane {

// The settings the engine reads at every use.
class IClockSettings
{
public:
    virtual ~IClockSettings() = default;
    virtual bool UseSNTP() const = 0;
    virtual std::string SNTPServer() const = 0;
    virtual int32_t SNTPPort() const = 0;
    // Pre-market and after-hours on the bar; the alarms keep to the regular sessions.
    virtual bool ExtendedHours() const = 0;
    // Whether the alarm minutes before an opening or a closing is ticked; nothing when the
    // options offer no box for that count, and then its sound file alone decides.
    virtual std::optional<bool> AlarmBox(int32_t minutes, bool beforeClosing) const = 0;
};

// The three results of one SNTP exchange that synchronisation uses; all 0 when no complete
// reply arrived or the exchange failed in any way.
struct SntpAnswer
{
    TDateTime OriginateTimestamp = 0;
    TDateTime LocalClockOffset = 0;
    TDateTime RoundTripDelay = 0;
    // The local clock when the exchange ended. The answer is applied later, on the window's
    // thread; the offset is taken against this instant so the wait does not skew it.
    TDateTime AnsweredAt = 0;
};

using SntpDone = std::function<void(const SntpAnswer &)>;

// One query with a fresh client. It never blocks the caller: done runs later on the caller's
// thread (or at once, from a fake), and not at all once the source is gone.
class ISntpSource
{
public:
    virtual ~ISntpSource() = default;
    virtual void Query(
        const std::string &host, int32_t port, int32_t receiveTimeoutMs, SntpDone done)
        = 0;
};

// The body of an HTTP fetch, and whether the transfer succeeded: a 2xx status read to its end.
struct Download
{
    std::string Text;
    bool Complete = false;
};

using DownloadDone = std::function<void(const Download &)>;

// Like ISntpSource: the fetch never blocks the caller, and done runs later on its thread.
class IHttpFetch
{
public:
    virtual ~IHttpFetch() = default;
    virtual void DownloadText(const std::string &url, int32_t timeoutMs, DownloadDone done) = 0;
};

class IFileSystem
{
public:
    virtual ~IFileSystem() = default;
    virtual bool FileExists(const std::string &path) const = 0;
    // Throws Exception("Cannot open file \"path\". reason") when the file cannot be read.
    virtual std::string ReadFile(const std::string &path) const = 0;
};

class ISoundPlayer
{
public:
    virtual ~ISoundPlayer() = default;
    virtual bool IsPlaying() = 0;
    // Returns at once; throws Exception with a descriptive text when the file cannot be played.
    virtual void Play(const std::string &path) = 0;
};

// 0x00BBGGRR, as the stored layouts give colours.
using TColor = uint32_t;
constexpr TColor clLime = 0x0000FF00;
constexpr TColor clRed = 0x000000FF;
// Neither open nor closed: the state is unknown.
constexpr TColor clWhite = 0x00FFFFFF;

enum class Label { Clock, Countdown, Status };

// The window's labels. The engine compares before it writes, so an unchanged display causes
// no repaint.
class IDisplay
{
public:
    virtual ~IDisplay() = default;
    virtual std::string Text(Label label) const = 0;
    virtual void SetText(Label label, const std::string &text) = 0;
    virtual TColor Color(Label label) const = 0;
    virtual void SetColor(Label label, TColor color) = 0;
};

} // namespace quorvane
