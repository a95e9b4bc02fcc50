// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/HexInput.h"

#include "platform/system/CodePages.h"
#include "platform/system/SysUtils.h"

#include <QMimeData>
#include <QStringList>

namespace hexwindow {

namespace {

int HexDigit(QChar c)
{
    return platform::HexDigitValue(c.unicode());
}

// Digits in the base, all of them, as one value; nothing for other
// characters, no digits at all, or a value beyond 2^62.
std::optional<std::int64_t> ParseDigits(QStringView digits, int base)
{
    constexpr std::int64_t kLimit = std::int64_t{1} << 62;
    if (digits.isEmpty())
        return std::nullopt;
    std::int64_t value = 0;
    for (QChar c : digits) {
        const int d = HexDigit(c);
        if (d < 0 || d >= base || value > (kLimit - d) / base)
            return std::nullopt;
        value = value * base + d;
    }
    return value;
}

QStringView WithoutHexPrefix(QStringView token)
{
    if (token.startsWith(u"0x", Qt::CaseInsensitive))
        return token.mid(2);
    if (token.startsWith(u'$'))
        return token.mid(1);
    return token;
}

bool AppendHexRun(QStringView digits, Bytes& out)
{
    if (digits.isEmpty() || (digits.size() > 1 && digits.size() % 2 != 0))
        return false;
    if (digits.size() == 1) {
        const int d = HexDigit(digits[0]);
        if (d < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(d));
        return true;
    }
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = HexDigit(digits[i]);
        const int low = HexDigit(digits[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ParseOffset(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QStringView digits = WithoutHexPrefix(trimmed);
    return ParseDigits(digits, digits.size() == trimmed.size() ? 10 : 16);
}

std::optional<Bytes> ParseHexBytes(const QString& text)
{
    QString spaced = text;
    spaced.replace(u',', u' ');
    Bytes bytes;
    for (const QString& group : spaced.simplified().split(u' ', Qt::SkipEmptyParts))
        if (!AppendHexRun(WithoutHexPrefix(group), bytes))
            return std::nullopt;
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

std::optional<Bytes> ParseHexPairs(const QString& text)
{
    Bytes bytes;
    for (const QString& pair : text.simplified().split(u' ', Qt::SkipEmptyParts)) {
        if (pair.size() != 2 || !AppendHexRun(pair, bytes))
            return std::nullopt;
    }
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

QString FormatHexBytes(const Bytes& bytes)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()) * 3);
    for (std::uint8_t b : bytes) {
        if (!text.isEmpty())
            text += u' ';
        text += QChar(kDigits[b >> 4]);
        text += QChar(kDigits[b & 0x0F]);
    }
    return text;
}

QString FormatCArray(const Bytes& bytes)
{
    constexpr std::size_t kPerLine = 12;
    QString text = QStringLiteral("const unsigned char data[%1] = {\n").arg(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += i % kPerLine == 0 ? QStringLiteral("    ") : QStringLiteral(" ");
        text += QStringLiteral("0x%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper().replace(u'X', u'x');
        if (i + 1 < bytes.size())
            text += u',';
        if (i % kPerLine == kPerLine - 1 || i + 1 == bytes.size())
            text += u'\n';
    }
    return text + QStringLiteral("};\n");
}

// Hex text as the hex pane takes it: ParseHexBytes, also over several lines
// and inside the braces of a C array.
static std::optional<Bytes> ParseHexText(const QString& text)
{
    QString body = text;
    const qsizetype open = body.indexOf(u'{');
    if (open >= 0 && body.indexOf(u'}', open) > open)
        body = body.mid(open + 1, body.indexOf(u'}', open) - open - 1);
    return ParseHexBytes(body);
}

Bytes TextToAnsi(const QString& text)
{
    Bytes bytes;
    for (char32_t ch : text.toUcs4()) {
        std::uint8_t b = '?';
        if (!platform::UnicodeToAnsi(ch, b))
            b = '?';
        bytes.push_back(b);
    }
    return bytes;
}

QMimeData* MakeClipboardData(const Bytes& bytes)
{
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kBytesMimeType),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    mime->setText(FormatHexBytes(bytes));
    return mime;
}

Bytes PastedBytes(const QMimeData& mime, bool hexPane)
{
    const QString bytesType = QString::fromLatin1(kBytesMimeType);
    if (mime.hasFormat(bytesType)) {
        const QByteArray data = mime.data(bytesType);
        return Bytes(data.begin(), data.end());
    }
    if (!mime.hasText())
        return {};
    const QString text = mime.text();
    if (std::optional<Bytes> hex = hexPane ? ParseHexText(text) : ParseHexPairs(text))
        return *hex;
    return TextToAnsi(text);
}

QString UndoStepName(const std::string& description)
{
    static const struct {
        const char* description;
        const char* name;
    } kNames[] = {
        {"Byte changed", "Byte geändert"},         {"Byte(s) removed", "Bytes entfernt"},
        {"Insert buffer", "Bytes eingefügt"},      {"Replace selection", "Auswahl ersetzt"},
        {"Append buffer", "Bytes angehängt"},      {"Insert nibble", "Halbbyte eingefügt"},
        {"Delete nibble", "Halbbyte entfernt"},    {"Convert", "Bytes umgewandelt"},
    };
    for (const auto& entry : kNames)
        if (description == entry.description)
            return QString::fromUtf8(entry.name);
    return QStringLiteral("Änderung");
}

std::optional<SearchPattern> MakeSearchPattern(const SearchRequest& request)
{
    SearchPattern pattern;
    if (request.hex) {
        std::optional<Bytes> bytes = ParseHexBytes(request.text);
        if (!bytes)
            return std::nullopt;
        pattern.bytes = std::move(*bytes);
        return pattern;
    }
    if (request.text.isEmpty())
        return std::nullopt;
    pattern.bytes = TextToAnsi(request.text);
    pattern.ignoreCase = !request.matchCase;
    pattern.translate = true;
    return pattern;
}

}  // namespace hexwindow
