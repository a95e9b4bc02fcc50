#include "Klangheber/Report.h"

#include <cstdio>

namespace klangheber {

namespace {

std::string HexByte(const char* prefix, unsigned char byte)
{
    char text[16];
    std::snprintf(text, sizeof text, "%s%02x", prefix, byte);
    return text;
}

// The length of the valid UTF-8 sequence at bytes[at], 0 when none starts
// there (overlong forms, surrogates and values past U+10FFFF are invalid).
std::size_t Utf8SequenceAt(const std::string& bytes, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
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

}  // namespace

std::string Printable(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (byte < 0x20 || byte == 0x7F)
            out += HexByte("\\x", byte);
        else
            out += c;
    }
    return out;
}

std::string JsonString(const std::string& bytes)
{
    std::string out = "\"";
    for (std::size_t at = 0; at < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = Utf8SequenceAt(bytes, at);
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

void Tally::AddModule(const std::string& extension)
{
    if (extension == ".it")
        ++it;
    else if (extension == ".s3m")
        ++s3m;
    else if (extension == ".mod")
        ++mod;
    else
        ++xm;
}

std::string SummaryText(const Tally& tally, double seconds, bool scanOnly)
{
    std::string text = Plural(tally.packages, "Paket", "Pakete") + ": " +
                       Plural(tally.Modules(), "Modul", "Module") + (scanOnly ? " gefunden" : " geschrieben");
    if (tally.Modules() > 0) {
        std::string kinds;
        for (const auto& [count, name] :
             {std::pair {tally.it, "it"}, {tally.s3m, "s3m"}, {tally.xm, "xm"}, {tally.mod, "mod"}})
            if (count > 0)
                kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " " + name;
        text += " (" + kinds + ")";
    }
    text += ", " + std::to_string(tally.none) + " ohne Modul, " + std::to_string(tally.errors) + " Fehler";
    if (tally.Unprocessed() > 0)
        text += ", " + std::to_string(tally.Unprocessed()) + " nicht bearbeitet";
    return text + ", " + Seconds(seconds) + " s";
}

std::string SummaryJson(const Tally& tally, double seconds, bool scanOnly)
{
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    return "{\"summary\":" + JsonString(SummaryText(tally, seconds, scanOnly)) +
           ",\"packages\":" + std::to_string(tally.packages) + ",\"modules\":" + std::to_string(tally.Modules()) +
           ",\"it\":" + std::to_string(tally.it) + ",\"s3m\":" + std::to_string(tally.s3m) +
           ",\"xm\":" + std::to_string(tally.xm) + ",\"mod\":" + std::to_string(tally.mod) +
           ",\"none\":" + std::to_string(tally.none) +
           ",\"errors\":" + std::to_string(tally.errors) + ",\"unprocessed\":" +
           std::to_string(tally.Unprocessed()) + ",\"seconds\":" + time + "}";
}

}  // namespace klangheber
