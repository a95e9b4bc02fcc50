// SPDX-License-Identifier: GPL-3.0-or-later
// A module's facts and its sound: libopenmpt reads the module's bytes (never
// a package: finding and cutting modules is the converter's own work), and
// one play-through is rendered into an audio file written with libsndfile.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace moduleaudio {

// Where a module's bytes are: the file at path (any path the system opens,
// also "/proc/self/fd/N/name"), all of it or count bytes from start. libopenmpt
// reads from it what it needs, as it needs it: bytes past the module (a scan
// result reaching to the end of a large package) cost nothing.
struct ModuleSource {
    std::string path;
    std::int64_t start = 0;
    std::int64_t count = -1;  // to the end of the file
};

// What libopenmpt tells of a module.
struct ModuleFacts {
    std::string title;
    std::string tracker;  // the program that made it, as libopenmpt names it
    int channels = 0;
    int patterns = 0;
    int orders = 0;
    int instruments = 0;
    int samples = 0;
    double duration = 0;  // seconds of one play-through
};

// nullopt when the file cannot be opened or libopenmpt cannot read the module.
std::optional<ModuleFacts> ReadFacts(const ModuleSource& module);

enum class AudioFormat { Flac, Ogg, Opus, Wav };

// The format of a name given on the command line ("flac", "ogg", "opus",
// "wav"); nullopt for any other.
std::optional<AudioFormat> AudioFormatNamed(const std::string& name);
// The file name extension: ".flac", ".ogg", ".opus", ".wav".
std::string ExtensionOf(AudioFormat format);
// Whether the format's encoder takes the sample rate: Opus takes only
// 8000, 12000, 16000, 24000 and 48000 Hz, the others any rate.
bool TakesRate(AudioFormat format, int rate);

struct RenderSettings {
    AudioFormat format = AudioFormat::Flac;
    int rate = 48000;  // Hz; always stereo
};

// The frames rendered at once: an eighth of a second. libopenmpt ends a
// play-through with a short fade (100 ms) after its duration, so the audio
// file holds the duration's frames and less than one block more.
inline int RenderBlockFrames(int rate)
{
    return rate / 8;
}

struct Rendered {
    enum Outcome {
        Written,     // the audio file is in place
        Unplayable,  // libopenmpt cannot read or render the module
        Failed,      // the module could not be opened or the audio file written (err)
        Stopped,     // stop was set: nothing was left behind
    };
    Outcome outcome = Failed;
    int err = 0;
    std::int64_t bytes = 0;  // Written: the audio file's size
    std::optional<ModuleFacts> facts;
};

// Renders one play-through of module to target: written to a temporary file
// beside it (which takes over an existing file's permissions) and renamed
// over target once complete. Any failure, and stop set while rendering,
// removes the temporary file and leaves target as it was.
Rendered RenderModule(const ModuleSource& module, const std::string& target, const RenderSettings& settings,
                      const std::atomic<bool>& stop);

}  // namespace moduleaudio
