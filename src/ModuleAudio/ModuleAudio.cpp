// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleAudio/ModuleAudio.h"

#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/ReplacingFile.h"
#include "platform/system/UniqueFd.h"

#include <libopenmpt/libopenmpt.hpp>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <vector>

namespace moduleaudio {

namespace {

// The errno of a failed call; EIO when the call left none.
int LastError()
{
    return errno != 0 ? errno : EIO;
}

// libopenmpt's notes about a module are of no use to the report: they go
// nowhere.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

// count bytes of an open file from start as a seekable stream, read as
// they are asked for.
class FileRange : public std::streambuf {
public:
    FileRange(int fd, std::int64_t start, std::int64_t count) : fd_(fd), start_(start), count_(count) {}

protected:
    int_type underflow() override
    {
        const std::int64_t at = position_ + (gptr() - eback());
        position_ = at;
        setg(buffer_, buffer_, buffer_);
        const std::int64_t wanted = std::min<std::int64_t>(sizeof buffer_, count_ - at);
        if (wanted <= 0)
            return traits_type::eof();
        const std::int64_t got = platform::ReadAt(fd_, buffer_, wanted, start_ + at);
        if (got <= 0)
            return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode) override
    {
        const std::int64_t here = position_ + (gptr() - eback());
        const std::int64_t base = way == std::ios_base::beg ? 0 : way == std::ios_base::cur ? here : count_;
        return seekpos(base + offset, std::ios_base::in);
    }
    pos_type seekpos(pos_type to, std::ios_base::openmode) override
    {
        const std::int64_t target = to;
        if (target < 0 || target > count_)
            return pos_type(off_type(-1));
        // libopenmpt's format probes seek back and forth in the first bytes:
        // a place within the piece read stays there.
        if (target >= position_ && target < position_ + (egptr() - eback())) {
            setg(eback(), eback() + (target - position_), egptr());
            return to;
        }
        position_ = target;
        setg(buffer_, buffer_, buffer_);
        return to;
    }

private:
    int fd_;
    std::int64_t start_;
    std::int64_t count_;
    std::int64_t position_ = 0;  // of eback() in the range
    char buffer_[64 * 1024];
};

// A module loaded by libopenmpt from its file, with the stream and the log
// it keeps using.
class Loaded {
public:
    explicit Loaded(const ModuleSource& source)
    {
        // Only a regular file is read: a FIFO or device under the module's
        // name is refused without blocking.
        platform::FileStatus status;
        fd_ = platform::OpenRegularFile(source.path, O_RDONLY, 0666, &status);
        if (!fd_.IsOpen()) {
            err_ = LastError();
            return;
        }
        const std::int64_t available = std::max<std::int64_t>(0, status.size - source.start);
        range_ = std::make_unique<FileRange>(fd_.Get(), source.start,
                                             source.count < 0 ? available : std::min(source.count, available));
        stream_ = std::make_unique<std::istream>(range_.get());
        try {
            module_ = std::make_unique<openmpt::module>(*stream_, log_);
        } catch (const std::exception&) {
            module_.reset();
        }
    }
    openmpt::module& operator*() const { return *module_; }
    openmpt::module* operator->() const { return module_.get(); }
    explicit operator bool() const { return module_ != nullptr; }
    // The errno when the file could not be opened; 0 when it was.
    int OpenError() const { return err_; }

private:
    platform::UniqueFd fd_;
    int err_ = 0;
    std::unique_ptr<FileRange> range_;
    std::unique_ptr<std::istream> stream_;
    Discard discard_;
    std::ostream log_ {&discard_};
    std::unique_ptr<openmpt::module> module_;
};

ModuleFacts FactsOf(openmpt::module& module)
{
    ModuleFacts facts;
    facts.title = module.get_metadata("title");
    facts.tracker = module.get_metadata("tracker");
    facts.channels = module.get_num_channels();
    facts.patterns = module.get_num_patterns();
    facts.orders = module.get_num_orders();
    facts.instruments = module.get_num_instruments();
    facts.samples = module.get_num_samples();
    facts.duration = module.get_duration_seconds();
    return facts;
}

int SoundFileFormat(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::Ogg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::Opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::Wav: break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

Rendered Outcome(Rendered result, Rendered::Outcome outcome, int err = 0)
{
    result.outcome = outcome;
    result.err = err;
    return result;
}

// Renders the play-through into the open sound file; Written, Failed or
// Stopped.
Rendered::Outcome Play(openmpt::module& module, SNDFILE* sound, int rate, const std::atomic<bool>& stop, int& err)
{
    const int blockFrames = RenderBlockFrames(rate);
    std::vector<float> block(static_cast<std::size_t>(blockFrames) * 2);
    for (;;) {
        if (stop.load(std::memory_order_relaxed))
            return Rendered::Stopped;
        const std::size_t frames = module.read_interleaved_stereo(rate, blockFrames, block.data());
        if (frames == 0)
            return Rendered::Written;
        errno = 0;
        if (sf_writef_float(sound, block.data(), static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames)) {
            err = LastError();
            return Rendered::Failed;
        }
    }
}

}  // namespace

std::optional<ModuleFacts> ReadFacts(const ModuleSource& module)
{
    Loaded loaded(module);
    if (!loaded)
        return std::nullopt;
    try {
        return FactsOf(*loaded);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<AudioFormat> AudioFormatNamed(const std::string& name)
{
    for (const AudioFormat format : {AudioFormat::Flac, AudioFormat::Ogg, AudioFormat::Opus, AudioFormat::Wav})
        if ("." + name == ExtensionOf(format))
            return format;
    return std::nullopt;
}

std::string ExtensionOf(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Flac: return ".flac";
    case AudioFormat::Ogg: return ".ogg";
    case AudioFormat::Opus: return ".opus";
    case AudioFormat::Wav: break;
    }
    return ".wav";
}

bool TakesRate(AudioFormat format, int rate)
{
    if (format != AudioFormat::Opus)
        return true;
    for (const int opusRate : {8000, 12000, 16000, 24000, 48000})
        if (rate == opusRate)
            return true;
    return false;
}

Rendered RenderModule(const ModuleSource& module, const std::string& target, const RenderSettings& settings,
                      const std::atomic<bool>& stop)
{
    Rendered result;
    Loaded loaded(module);
    if (loaded.OpenError() != 0)
        return Outcome(std::move(result), Rendered::Failed, loaded.OpenError());
    if (!loaded)
        return Outcome(std::move(result), Rendered::Unplayable);
    try {
        result.facts = FactsOf(*loaded);
        loaded->set_position_seconds(0);
    } catch (const std::exception&) {
        return Outcome(std::move(result), Rendered::Unplayable);
    }

    platform::ReplacingFile file;
    if (!file.CreateForRewrite(target))
        return Outcome(std::move(result), Rendered::Failed, LastError());
    SF_INFO info {};
    info.samplerate = settings.rate;
    info.channels = 2;
    info.format = SoundFileFormat(settings.format);
    errno = 0;
    SNDFILE* sound = sf_open_fd(file.Fd(), SFM_WRITE, &info, SF_FALSE);
    if (!sound)
        return Outcome(std::move(result), Rendered::Failed, LastError());
    // Peaks above full scale are cut, not wrapped round.
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    int err = 0;
    Rendered::Outcome played = Rendered::Unplayable;
    try {
        played = Play(*loaded, sound, settings.rate, stop, err);
    } catch (const std::exception&) {
        played = Rendered::Unplayable;
    }
    errno = 0;
    const int closed = sf_close(sound);
    if (played == Rendered::Written && closed != 0) {
        played = Rendered::Failed;
        err = LastError();
    }
    if (played == Rendered::Written) {
        try {
            result.bytes = platform::StatusOf(file.Fd()).size;
        } catch (const platform::Exception& e) {
            played = Rendered::Failed;
            err = e.Errno();
        }
    }
    if (played == Rendered::Written && !file.Commit()) {
        played = Rendered::Failed;
        err = LastError();
    }
    if (played != Rendered::Written)
        return Outcome(std::move(result), played, err);  // the temporary file goes with file
    return Outcome(std::move(result), Rendered::Written);
}

}  // namespace moduleaudio
