// SPDX-License-Identifier: GPL-3.0-or-later
// Path and text helpers of the folder dialog component: drive-style
// selection paths, the directory test, and fitting a path or a text into a
// control's width by dropping leading folders or trailing characters.
#include "BrowseDr/BrowseDr.h"
#include "BrowseDr/CriticalErrorsOff.h"

#include "platform/system/FileUtils.h"

#include <QFile>
#include <QFontMetrics>
#include <QString>
#include <cctype>

using namespace platform;

namespace {

// Length in bytes of the last UTF-8 character of a non-empty text.
std::size_t LastCharLength(const std::string& s)
{
    std::size_t n = 1;
    while (n < s.size() && n < 4 && (static_cast<unsigned char>(s[s.size() - n]) & 0xC0) == 0x80)
        ++n;
    // A stray continuation byte without its lead byte counts alone.
    if ((static_cast<unsigned char>(s[s.size() - n]) & 0xC0) == 0x80)
        return 1;
    return n;
}

}  // namespace

std::string StripTrailingBackslash(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path.substr(0, path.size() - 1);
    return path;
}

bool IsDirectory(const std::string& path)
{
    CriticalErrorsOff errorMode;
    if (path.size() == 3 && path[1] == ':' && path[2] == '/') {
        const int index = std::toupper(static_cast<unsigned char>(path[0])) - 'A';
        return index >= 0 && index <= 31 && (GetLogicalDrives() & (1u << index)) != 0;
    }
    std::string probe = StripTrailingBackslash(path);
    // The one root "/" is a directory like any other, not an empty name.
    if (probe.empty() && path == "/")
        probe = "/";
    return DirectoryExists(probe);
}

std::string NormalizeSelectionPath(const std::string& s)
{
    if (s.empty())
        return s;
    std::string result = s;
    if (result.size() >= 4 || result.size() < 2 || result[1] != ':') {
        if (result != "/" && result.back() == '/')
            result.pop_back();
    } else if (result.size() == 2) {
        result += '/';
    }
    return result;
}

int MeasureText(const QFont& font, const std::string& s)
{
    return QFontMetrics(font).horizontalAdvance(QFile::decodeName(QByteArray::fromStdString(s)));
}

std::string DropLeadingFolder(const std::string& d)
{
    if (d == "/")
        return {};
    std::string rest = d;
    bool leadingSlash = false;
    if (!rest.empty() && rest[0] == '/') {
        rest.erase(0, 1);
        leadingSlash = true;
    }
    // The placeholder an earlier step put in front. Only the placeholder
    // itself is dropped here: folder names beginning with "." are common.
    if (rest.compare(0, 4, ".../") == 0)
        rest.erase(0, 4);
    const std::size_t slash = rest.find('/');
    if (slash != std::string::npos)
        rest = ".../" + rest.substr(slash + 1);
    else
        rest.clear();
    return leadingSlash ? "/" + rest : rest;
}

std::string FitPath(int width, const TextMeasure& measure, const std::string& s)
{
    std::string result = s;
    const std::size_t split = s.rfind('/');
    std::string dir = split == std::string::npos ? std::string() : s.substr(0, split + 1);
    const std::string name = split == std::string::npos ? s : s.substr(split + 1);
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    while ((!dir.empty() || !drive.empty()) && width < measure(result)) {
        if (dir == "/.../") {
            drive.clear();
            dir = ".../";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            dir = DropLeadingFolder(dir);
        }
        result = drive + dir + name;
    }
    return result;
}

std::string FitText(int width, const TextMeasure& measure, const std::string& s)
{
    std::string result = s;
    std::string work = s;
    while (!work.empty() && width < measure(result)) {
        // Whole characters only: a UTF-8 sequence is never cut in two.
        work.erase(work.size() - LastCharLength(work));
        result = work + "...";
    }
    return result;
}

namespace {

template <class Fit>
std::string FitToControl(HWND control, const std::string& s, Fit fit)
{
    if (!control)
        return s;
    RECT rect;
    if (!GetWindowRect(control, &rect))
        return s;
    const QFont font = GetWindowFont(control);
    return fit(rect.right - rect.left, [&font](const std::string& text) { return MeasureText(font, text); }, s);
}
}  // namespace

std::string FitPath(HWND control, const std::string& s)
{
    return FitToControl(control, s, [](int w, const TextMeasure& m, const std::string& t) { return FitPath(w, m, t); });
}

std::string FitText(HWND control, const std::string& s)
{
    return FitToControl(control, s, [](int w, const TextMeasure& m, const std::string& t) { return FitText(w, m, t); });
}
