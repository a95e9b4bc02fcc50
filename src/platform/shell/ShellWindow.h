// SPDX-License-Identifier: GPL-3.0-or-later
// A small window-handle layer for code written against handle-based window
// calls: a handle (HWND) points at a Window, which either wraps a Qt widget
// (WidgetWindow) or is a stand-in that the tests build.
// The free functions keep the names and argument order of the calls the
// folder picker makes, so its logic reads as designed.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

namespace platform {

using BOOL = int;
using UINT = unsigned int;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Messages understood by every window.
constexpr UINT WM_SETTEXT = 0x000C;  // lParam: const char* (NUL-terminated)
constexpr UINT WM_GETTEXT = 0x000D;  // wParam: buffer size, lParam: char* buffer
constexpr UINT WM_USER = 0x0400;

constexpr int GWL_ID = -12;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

class Window {
public:
    virtual ~Window() = default;
    // Outer rectangle in screen coordinates.
    virtual QRect ScreenRect() const = 0;
    // Moves a top-level window in screen coordinates, a child within its parent.
    virtual void MoveTo(int x, int y) = 0;
    virtual void Resize(int width, int height) = 0;
    // The window's controls; EnumChildWindows walks them depth-first.
    virtual std::vector<Window*> Children() const = 0;
    virtual int ControlId() const = 0;
    // Visible = not hidden on purpose (a control of a dialog that is not yet
    // on screen still counts as visible).
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual QFont Font() const = 0;
    // Handles a sent message. The base handles WM_SETTEXT and WM_GETTEXT and
    // answers 0 to everything else.
    virtual LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam);
};

using HWND = Window*;
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL GetWindowRect(HWND wnd, RECT* rect);
// SM_CXSCREEN / SM_CYSCREEN: the primary screen's size; 0 otherwise.
int GetSystemMetrics(int index);
BOOL SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// Calls proc for every descendant of parent, depth-first, until it returns FALSE.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL ShowWindow(HWND wnd, int command);
BOOL EnableWindow(HWND wnd, BOOL enable);
BOOL IsWindowVisible(HWND wnd);
// GWL_ID: the control id; 0 for anything else.
long GetWindowLong(HWND wnd, int index);
// The font the window draws its text with (what WM_GETFONT selects).
QFont GetWindowFont(HWND wnd);

// A Window over a Qt widget. It lives as a child object of the widget and
// dies with it; a handle to a destroyed widget answers like an empty window.
class WidgetWindow : public QObject, public Window {
    Q_OBJECT
public:
    WidgetWindow(QWidget* widget, int controlId);

    QWidget* Widget() const { return widget_; }
    // Registers a control of this window (in creation order).
    void AddChild(Window* child) { children_.push_back(child); }
    // Messages beyond WM_SETTEXT/WM_GETTEXT: return true when handled.
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> MessageHook;

    QRect ScreenRect() const override;
    void MoveTo(int x, int y) override;
    void Resize(int width, int height) override;
    std::vector<Window*> Children() const override { return children_; }
    int ControlId() const override { return id_; }
    bool Visible() const override;
    void SetVisible(bool visible) override;
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    QFont Font() const override;
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    QPointer<QWidget> widget_;
    int id_;
    std::vector<Window*> children_;
};

// The handle of a widget, made on first use (null for a null widget).
HWND HandleOf(QWidget* widget, int controlId = 0);
// The widget behind a handle, or null when the handle is not a widget's.
QWidget* WidgetOf(HWND wnd);

}  // namespace platform
