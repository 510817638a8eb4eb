#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane {

// What a RIFF/WAVE file holds, as far as playing it needs.
struct WavFile
{
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    bool Float = false;
    size_t DataOffset = 0;
    size_t DataSize = 0;

    double Seconds() const;
};

// Reads the header of a whole file held in memory. Returns an empty text when it can be
// played, or why it cannot.
std::string ParseWav(const char *bytes, size_t size, WavFile &wav);

} // namespace quorvane
