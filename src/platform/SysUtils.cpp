#include "platform/SysUtils.h"

#include "platform/Exceptions.h"

namespace platform {

std::int32_t StrToInt(const QString& text)
{
    auto fail = [&text]() -> std::int32_t {
        throw EConvertError("'" + text.toStdString() + "' ist kein gültiger Integerwert");
    };
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return fail();
        value = value * 10 + (c - u'0');
        if (value > 2147483648LL)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return fail();
    return static_cast<std::int32_t>(value);
}

QString IntToStr(std::int64_t value)
{
    return QString::number(value);
}

}  // namespace platform
