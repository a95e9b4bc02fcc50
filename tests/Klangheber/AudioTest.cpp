// SPDX-License-Identifier: GPL-3.0-or-later
// The music side of the command line: libopenmpt's facts of each module in
// the report, and audio files rendered beside the modules.
#include "CommandLineRun.h"
#include "ModuleAudio/ModuleAudio.h"
#include "fixtures/OpenMpt.h"

#include <QProcess>
#include <chrono>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <thread>

using namespace testsupport;

namespace {

// The bundled demo packages: an it, an s3m and an xm module, and a package
// without one.
void CopyDemos(const TempDir& dir)
{
    for (const char* name : {"Impulsgeber", "Schreihals", "Weitklang", "Stille"})
        WriteFile(dir / (std::string(name) + ".umx"), ReadFile(std::string(KH_DEMO_DIR "/") + name + ".umx"));
}

// The JSON lines of the modules written.
std::vector<QJsonObject> ModuleLines(const Result& r)
{
    std::vector<QJsonObject> modules;
    for (const QString& line : r.out) {
        const QJsonObject json = ParseJsonLine(line);
        if (json["result"].toString() == "module")
            modules.push_back(json);
    }
    return modules;
}

// A package whose module carries the signature the scan looks for but
// nothing libopenmpt takes for a module.
void PutUnreadablePackage(const std::string& path)
{
    fixtures::Bytes module = fixtures::MakeModule(fixtures::ModuleKind::ImpulseTracker);
    std::fill(module.begin() + 4, module.end(), 0xFF);
    WriteFile(path, fixtures::WrapInPackage(module).bytes);
}

}  // namespace

TEST(Audio, JsonCarriesLibopenmptsOwnFactsOfEachDemoModuleAndTheSummaryTheirLength)
{
    TempDir dir;
    CopyDemos(dir);
    const Result r = Klangheber({"--batch", Folder(dir), "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    double total = 0;
    const std::vector<QJsonObject> modules = ModuleLines(r);
    ASSERT_EQ(modules.size(), 3u);
    for (const QJsonObject& json : modules) {
        const auto info = fixtures::LoadWithOpenMpt(ReadFile(BytesOf(json["output"].toString())));
        ASSERT_TRUE(info);
        EXPECT_EQ(BytesOf(json["title"].toString()), info->title);
        EXPECT_EQ(BytesOf(json["tracker"].toString()), info->tracker);
        EXPECT_FALSE(info->tracker.empty());
        EXPECT_EQ(json["channels"].toInt(), info->channels);
        EXPECT_EQ(json["patterns"].toInt(), info->patterns);
        EXPECT_EQ(json["orders"].toInt(), info->orders);
        EXPECT_EQ(json["instruments"].toInt(), info->instruments);
        EXPECT_EQ(json["samples"].toInt(), info->samples);
        EXPECT_NEAR(json["duration"].toDouble(), info->duration, 0.001);
        EXPECT_TRUE(json["note"].isNull());
        total += info->duration;
    }
    const QJsonObject summary = ParseJsonLine(r.out.last());
    EXPECT_NEAR(summary["music_seconds"].toDouble(), total, 0.01);
    const long seconds = std::lround(total);
    EXPECT_TRUE(summary["summary"].toString().contains(
        QStringLiteral("(1 it, 1 s3m, 1 xm), %1:%2 Musik, 1 ohne Modul").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'))))
        << summary["summary"].toString().toStdString();
}

TEST(Audio, RenderedFlacHoldsOnePlayThroughInStereoAtTheRateAsked)
{
    TempDir dir;
    CopyDemos(dir);
    const Result r = Klangheber({"--batch", Folder(dir), "--json", "--render", "flac", "--sample-rate", "44100"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::int64_t bytes = 0;
    for (const QJsonObject& json : ModuleLines(r)) {
        const std::string output = BytesOf(json["output"].toString());
        const std::string audio = BytesOf(json["audio"].toString());
        EXPECT_EQ(audio, output.substr(0, output.rfind('.')) + ".flac");
        SF_INFO info {};
        SNDFILE* sound = sf_open(audio.c_str(), SFM_READ, &info);
        ASSERT_TRUE(sound) << audio;
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.samplerate, 44100);
        const double frames = json["duration"].toDouble() * 44100;
        EXPECT_GE(info.frames, frames - 1) << audio;
        EXPECT_LT(info.frames, frames + moduleaudio::RenderBlockFrames(44100)) << audio;
        std::vector<float> samples(static_cast<std::size_t>(info.frames) * 2);
        EXPECT_EQ(sf_readf_float(sound, samples.data(), info.frames), info.frames);
        sf_close(sound);
        float peak = 0;
        for (const float sample : samples)
            peak = std::max(peak, std::abs(sample));
        EXPECT_GT(peak, 0.01f) << audio << " is silent";
        bytes += static_cast<std::int64_t>(ReadFile(audio).size());
    }
    const QJsonObject summary = ParseJsonLine(r.out.last());
    EXPECT_EQ(summary["audio_files"].toInt(), 3);
    EXPECT_EQ(summary["audio_bytes"].toInteger(), bytes);
    EXPECT_TRUE(summary["summary"].toString().contains(" Musik, 3 Audiodateien ("));
}

TEST(Audio, AModuleLibopenmptRejectsIsWrittenAndNotedButCannotBeRendered)
{
    TempDir dir;
    PutUnreadablePackage(dir / "kaputt.umx");
    const Result written = Klangheber({"--batch", Folder(dir), "--json"});
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    const QJsonObject module = ParseJsonLine(written.out.value(0));
    EXPECT_EQ(module["note"].toString(), "Modul nicht lesbar");
    EXPECT_TRUE(module["title"].isNull() && module["duration"].isNull());
    EXPECT_FALSE(ParseJsonLine(written.out.value(1))["summary"].toString().contains("Musik"));
    const Result listed = Klangheber({"--batch", Folder(dir), "--list"});
    EXPECT_TRUE(listed.out.value(0).endsWith(" Bytes, Modul nicht lesbar")) << listed.out.value(0).toStdString();

    const Result rendered = Klangheber({"--batch", Folder(dir), "--render", "ogg"});
    EXPECT_EQ(rendered.exitCode, 1);
    EXPECT_TRUE(rendered.err.contains(
        Q("klangheber: " + (dir / "kaputt.umx") + ": Modul " + (dir / "kaputt.it") + " kann nicht wiedergegeben werden.\n")))
        << rendered.err.toStdString();
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"kaputt.it", "kaputt.umx"}));
}

TEST(Audio, SigtermWhileRenderingLeavesNoTemporaryAudioFile)
{
    // About forty minutes of music: rendering takes a while.
    TempDir dir;
    fixtures::ModuleOptions options;
    options.patterns = 100;
    options.rows = 200;
    WriteFile(dir / "lang.umx",
              fixtures::WrapInPackage(fixtures::MakeModule(fixtures::ModuleKind::ImpulseTracker, options)).bytes);
    QProcess process;
    process.setProcessEnvironment(WithoutDisplay());
    process.start(KLANGHEBER_EXE, {"--batch", Folder(dir), "--render", "flac", "--jobs", "1"});
    const auto rendering = [&] {
        for (const std::string& name : ListDir(dir.Path()))
            if (name.rfind(".lang.flac.", 0) == 0)
                return true;
        return false;
    };
    for (int i = 0; i < 600 && !rendering(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(rendering());
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string> {"lang.it", "lang.umx"}));
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains("Lauf abgebrochen: 1 Paket: 1 Modul"));
}

TEST(Audio, TheTemporaryAudioFileOfAKilledRunIsRemovedByTheNext)
{
    TempDir dir;
    CopyDemos(dir);
    WriteFile(dir / ".Weitklang.flac.Ab12Cd", std::string("half an audio file"));
    WriteFile(dir / ".Weitklang.flac.keep", std::string("not a temporary file's name"));
    ASSERT_EQ(Klangheber({"--batch", Folder(dir), "--render", "flac"}).exitCode, 0);
    EXPECT_EQ(Files(dir.Path()).count(".Weitklang.flac.Ab12Cd"), 0u);
    EXPECT_EQ(Files(dir.Path()).count(".Weitklang.flac.keep"), 1u);
}

TEST(Audio, OneJobAndFourJobsWriteTheSameBytes)
{
    TempDir one, four;
    CopyDemos(one);
    CopyDemos(four);
    ASSERT_EQ(Klangheber({"--batch", Folder(one), "--render", "flac", "--jobs", "1"}).exitCode, 0);
    ASSERT_EQ(Klangheber({"--batch", Folder(four), "--render", "flac", "-j", "4"}).exitCode, 0);
    const auto flac = Files(one.Path());
    EXPECT_EQ(flac.count("Weitklang.flac"), 1u);
    EXPECT_EQ(flac, Files(four.Path()));
}
