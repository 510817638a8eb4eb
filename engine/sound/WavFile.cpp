#include "WavFile.h"

#include <cstring>

namespace quorvane {

namespace {

uint32_t U32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}

uint16_t U16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<uint16_t>(u[0] | (u[1] << 8));
}

} // namespace

double WavFile::Seconds() const
{
    const double bytesPerSecond = static_cast<double>(SampleRate) * Channels * (BitsPerSample / 8);
    return bytesPerSecond > 0 ? static_cast<double>(DataSize) / bytesPerSecond : 0;
}

std::string ParseWav(const char *bytes, size_t size, WavFile &wav)
{
    wav = WavFile {};
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return "it is not a RIFF/WAVE sound file";
    bool haveFormat = false;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t chunk = U32(bytes + at + 4);
        const char *body = bytes + at + 8;
        const size_t available = size - at - 8;
        if (std::memcmp(bytes + at, "fmt ", 4) == 0) {
            if (chunk < 16 || available < 16)
                return "its format chunk is too short";
            const uint16_t tag = U16(body);
            wav.Channels = U16(body + 2);
            wav.SampleRate = static_cast<int>(U32(body + 4));
            wav.BitsPerSample = U16(body + 14);
            const bool extensible = tag == 0xFFFE && chunk >= 40 && available >= 40;
            const uint16_t sub = extensible ? U16(body + 24) : tag;
            if (sub != 1 && sub != 3)
                return "its samples are compressed (format " + std::to_string(tag)
                    + "), only PCM can be played";
            wav.Float = sub == 3;
            haveFormat = true;
        } else if (std::memcmp(bytes + at, "data", 4) == 0) {
            if (!haveFormat)
                return "its sound data comes before its format";
            wav.DataOffset = at + 8;
            wav.DataSize = chunk < available ? chunk : available;
            break;
        }
        at += 8 + static_cast<size_t>(chunk) + (chunk & 1);
    }
    if (!haveFormat)
        return "it has no format chunk";
    if (wav.DataOffset == 0)
        return "it has no sound data";
    if (wav.Channels < 1 || wav.Channels > 2)
        return "it has " + std::to_string(wav.Channels) + " channels";
    if (wav.SampleRate < 8000 || wav.SampleRate > 192000)
        return "its sample rate of " + std::to_string(wav.SampleRate) + " Hz is not supported";
    const bool pcmOk = !wav.Float
        && (wav.BitsPerSample == 8 || wav.BitsPerSample == 16 || wav.BitsPerSample == 32);
    if (!pcmOk && !(wav.Float && wav.BitsPerSample == 32))
        return "its " + std::to_string(wav.BitsPerSample) + "-bit samples are not supported";
    return {};
}

} // namespace quorvane
