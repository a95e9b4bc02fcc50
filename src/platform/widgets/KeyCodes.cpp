// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/KeyCodes.h"

#include "platform/system/CodePages.h"

#include <QGuiApplication>
#include <QList>
#include <array>

namespace platform {

namespace {

// Qt keys whose virtual-key code differs from the Qt key value.
struct KeyMapping {
    int qtKey;
    std::uint16_t vk;
};
constexpr std::array<KeyMapping, 24> kKeyTable{{
    {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Tab, VK_TAB},          {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},     {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},         {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},       {Qt::Key_Insert, VK_INSERT},    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Pause, 19},           {Qt::Key_CapsLock, 20},         {Qt::Key_Print, 44},
}};

}  // namespace

std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11KeyCode)
{
    constexpr quint32 kDigitRowOne = 10;  // X11 key codes "1" .. "9", "0": 10 .. 19
    if (!(modifiers & Qt::KeypadModifier) && x11KeyCode >= kDigitRowOne && x11KeyCode < kDigitRowOne + 10)
        return static_cast<std::uint16_t>('0' + (x11KeyCode - kDigitRowOne + 1) % 10);
    for (const KeyMapping& m : kKeyTable)
        if (m.qtKey == qtKey)
            return m.vk;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>((modifiers & Qt::KeypadModifier) ? VK_NUMPAD0 + (qtKey - Qt::Key_0)
                                                                           : qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>(qtKey);  // Qt's letter keys are the upper-case ASCII codes
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
    return 0;
}

std::uint16_t VirtualKeyOf(const QKeyEvent& event)
{
    static const bool positionsKnown = QGuiApplication::platformName() == QLatin1String("xcb") ||
                                       QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return VirtualKeyFromQt(event.key(), event.modifiers(), positionsKnown ? event.nativeScanCode() : 0);
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers)
{
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}

std::vector<std::uint8_t> TypedAnsiBytes(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text)
{
    std::vector<std::uint8_t> bytes;
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool alt = (modifiers & Qt::AltModifier) != 0;
    if (qtKey == Qt::Key_Delete || (alt && !ctrl))
        return bytes;
    for (char32_t ch : text.toUcs4()) {
        if (ctrl && !alt && ch >= 0x20) {
            if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))
                ch &= 0x1F;
            else
                continue;
        }
        std::uint8_t byte = 0;
        if (UnicodeToAnsi(ch, byte))
            bytes.push_back(byte);
    }
    return bytes;
}

}  // namespace platform
