// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell/ShellWindow.h"

#include <QAbstractButton>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <cstring>

namespace platform {

LRESULT Window::Message(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SETTEXT:
        SetText(lParam ? reinterpret_cast<const char*>(lParam) : "");
        return 1;
    case WM_GETTEXT: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        const std::string text = Text();
        const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    default:
        return 0;
    }
}

LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return wnd ? wnd->Message(msg, wParam, lParam) : 0;
}

BOOL GetWindowRect(HWND wnd, RECT* rect)
{
    if (!wnd || !rect)
        return 0;
    const QRect r = wnd->ScreenRect();
    rect->left = r.left();
    rect->top = r.top();
    rect->right = r.left() + r.width();
    rect->bottom = r.top() + r.height();
    return 1;
}

int GetSystemMetrics(int index)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 0;
    switch (index) {
    case SM_CXSCREEN:
        return screen->geometry().width();
    case SM_CYSCREEN:
        return screen->geometry().height();
    default:
        return 0;
    }
}

BOOL SetWindowPos(HWND wnd, HWND /*insertAfter*/, int x, int y, int cx, int cy, UINT flags)
{
    if (!wnd)
        return 0;
    // Z-order and activation have no meaning for these windows.
    if (!(flags & SWP_NOMOVE))
        wnd->MoveTo(x, y);
    if (!(flags & SWP_NOSIZE))
        wnd->Resize(cx, cy);
    return 1;
}

namespace {
bool EnumDescendants(HWND parent, WNDENUMPROC proc, LPARAM lParam)
{
    for (Window* child : parent->Children()) {
        if (!proc(child, lParam))
            return false;
        if (!EnumDescendants(child, proc, lParam))
            return false;
    }
    return true;
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam)
{
    if (!parent || !proc)
        return 0;
    EnumDescendants(parent, proc, lParam);
    return 1;
}

BOOL ShowWindow(HWND wnd, int command)
{
    if (!wnd)
        return 0;
    const bool wasVisible = wnd->Visible();
    wnd->SetVisible(command != SW_HIDE);
    return wasVisible ? 1 : 0;
}

BOOL EnableWindow(HWND wnd, BOOL enable)
{
    if (!wnd)
        return 0;
    const bool wasDisabled = !wnd->Enabled();
    wnd->SetEnabled(enable != 0);
    return wasDisabled ? 1 : 0;
}

BOOL IsWindowVisible(HWND wnd)
{
    return wnd && wnd->Visible() ? 1 : 0;
}

long GetWindowLong(HWND wnd, int index)
{
    if (!wnd || index != GWL_ID)
        return 0;
    return wnd->ControlId();
}

QFont GetWindowFont(HWND wnd)
{
    return wnd ? wnd->Font() : QFont();
}

// ---- WidgetWindow ---------------------------------------------------------

WidgetWindow::WidgetWindow(QWidget* widget, int controlId) : QObject(widget), widget_(widget), id_(controlId)
{
    setObjectName(QStringLiteral("platform_window_handle"));
}

QRect WidgetWindow::ScreenRect() const
{
    if (!widget_)
        return {};
    if (widget_->isWindow())
        return widget_->frameGeometry();
    return QRect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
}

void WidgetWindow::MoveTo(int x, int y)
{
    if (widget_)
        widget_->move(x, y);
}

void WidgetWindow::Resize(int width, int height)
{
    if (widget_)
        widget_->resize(width, height);
}

bool WidgetWindow::Visible() const
{
    return widget_ && !widget_->isHidden();
}

void WidgetWindow::SetVisible(bool visible)
{
    if (widget_)
        widget_->setVisible(visible);
}

bool WidgetWindow::Enabled() const
{
    return widget_ && widget_->isEnabled();
}

void WidgetWindow::SetEnabled(bool enabled)
{
    if (widget_)
        widget_->setEnabled(enabled);
}

std::string WidgetWindow::Text() const
{
    if (!widget_)
        return {};
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget_))
        text = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget_))
        text = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget_))
        text = edit->text();
    else
        text = widget_->windowTitle();
    return QFile::encodeName(text).toStdString();
}

void WidgetWindow::SetText(const std::string& text)
{
    if (!widget_)
        return;
    const QString value = QFile::decodeName(QByteArray::fromStdString(text));
    if (auto* label = qobject_cast<QLabel*>(widget_))
        label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget_))
        button->setText(value);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget_))
        edit->setText(value);
    else
        widget_->setWindowTitle(value);
}

QFont WidgetWindow::Font() const
{
    return widget_ ? widget_->font() : QFont();
}

LRESULT WidgetWindow::Message(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (MessageHook && MessageHook(msg, wParam, lParam, result))
        return result;
    return Window::Message(msg, wParam, lParam);
}

HWND HandleOf(QWidget* widget, int controlId)
{
    if (!widget)
        return nullptr;
    if (auto* existing = widget->findChild<WidgetWindow*>(QStringLiteral("platform_window_handle"),
                                                         Qt::FindDirectChildrenOnly))
        return existing;
    return new WidgetWindow(widget, controlId);
}

QWidget* WidgetOf(HWND wnd)
{
    auto* window = dynamic_cast<WidgetWindow*>(wnd);
    return window ? window->Widget() : nullptr;
}

}  // namespace platform
