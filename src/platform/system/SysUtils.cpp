#include "platform/system/SysUtils.h"

#include "platform/system/Exceptions.h"

namespace platform {

std::int32_t StrToInt(const std::string& text)
{
    auto fail = [&text]() -> std::int32_t {
        throw EConvertError("'" + text + "' ist kein gültiger Integerwert");
    };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return fail();
        value = value * 10 + (c - '0');
        if (value > 2147483648LL)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return fail();
    return static_cast<std::int32_t>(value);
}

}  // namespace platform
