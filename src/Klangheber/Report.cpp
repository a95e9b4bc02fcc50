// SPDX-License-Identifier: GPL-3.0-or-later
#include "Klangheber/Report.h"

#include "platform/system/SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace klangheber {

namespace {

std::string HexByte(const char* prefix, unsigned char byte)
{
    char text[16];
    std::snprintf(text, sizeof text, "%s%02x", prefix, byte);
    return text;
}

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Seconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    std::string result = text;
    for (char& c : result)
        if (c == '.')
            c = ',';
    return result;
}

// bytes in megabytes (10^6) with one decimal and a decimal comma.
std::string Megabytes(std::int64_t bytes)
{
    return Seconds(static_cast<double>(bytes) / 1e6) + " MB";
}

}  // namespace

std::string PlayingTime(double seconds)
{
    const long long total = std::llround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string Printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        const std::size_t length = platform::Utf8SequenceAt(text, at);
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (byte < 0x20 || byte == 0x7F || length == 0)
            out += HexByte("\\x", byte);
        else
            out.append(text, at, length);
        at += length == 0 ? 1 : length;
    }
    return out;
}

std::string JsonString(const std::string& bytes)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = platform::Utf8SequenceAt(bytes, at);
        if (length == 0) {
            out += HexByte("\\udc", byte);
            ++at;
            continue;
        }
        if (byte == '"' || byte == '\\')
            out += std::string("\\") + static_cast<char>(byte);
        else if (byte < 0x20 || byte == 0x7F)
            out += HexByte("\\u00", byte);
        else
            out.append(bytes, at, length);
        at += length;
    }
    return out + "\"";
}

int Tally::Modules() const
{
    return std::accumulate(modules.begin(), modules.end(), 0);
}

std::string SummaryText(const Tally& tally, double seconds, bool scanOnly)
{
    // A walk cut short knows only some of the packages: the counts are the
    // least there are.
    const std::string atLeast = tally.walkComplete ? "" : "mindestens ";
    std::string text = (tally.interrupted ? "Lauf abgebrochen: " : "") + atLeast +
                       Plural(tally.packages, "Paket", "Pakete") + ": " + Plural(tally.Modules(), "Modul", "Module") +
                       (scanOnly ? " gefunden" : " geschrieben");
    if (tally.Modules() > 0) {
        std::string kinds;
        for (const umx::ModuleKind& kind : umx::kModuleKinds)
            if (const int count = tally.modules[umx::IndexOf(kind)]; count > 0)
                kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " " + kind.name;
        text += " (" + kinds + ")";
    }
    if (tally.music)
        text += ", " + PlayingTime(tally.musicSeconds) + " Musik";
    if (tally.rendering)
        text += ", " + Plural(tally.audioFiles, "Audiodatei", "Audiodateien") + " (" + Megabytes(tally.audioBytes) + ")";
    text += ", " + std::to_string(tally.none) + " ohne Modul, " + std::to_string(tally.errors) + " Fehler";
    if (tally.Unprocessed() > 0 || !tally.walkComplete)
        text += ", " + atLeast + std::to_string(tally.Unprocessed()) + " nicht bearbeitet";
    if (tally.unreadFolders > 0)
        text += ", " + std::to_string(tally.unreadFolders) + " Ordner nicht lesbar";
    return text + ", " + Seconds(seconds) + " s";
}

std::string SummaryJson(const Tally& tally, double seconds, bool scanOnly)
{
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    char music[32];
    std::snprintf(music, sizeof music, "%.3f", tally.musicSeconds);
    std::string json = "{\"summary\":" + JsonString(SummaryText(tally, seconds, scanOnly)) +
                       ",\"packages\":" + std::to_string(tally.packages) +
                       ",\"modules\":" + std::to_string(tally.Modules());
    for (const umx::ModuleKind& kind : umx::kModuleKinds)
        json += ",\"" + std::string(kind.name) + "\":" + std::to_string(tally.modules[umx::IndexOf(kind)]);
    return json + ",\"none\":" + std::to_string(tally.none) +
           ",\"errors\":" + std::to_string(tally.errors) + ",\"unprocessed\":" +
           std::to_string(tally.Unprocessed()) + ",\"unreadable_folders\":" + std::to_string(tally.unreadFolders) +
           ",\"interrupted\":" + (tally.interrupted ? "true" : "false") +
           ",\"walk_complete\":" + (tally.walkComplete ? "true" : "false") + ",\"seconds\":" + time +
           ",\"music_seconds\":" + music + ",\"audio_files\":" + std::to_string(tally.audioFiles) +
           ",\"audio_bytes\":" + std::to_string(tally.audioBytes) + "}";
}

}  // namespace klangheber
