// SPDX-License-Identifier: GPL-3.0-or-later
// The hourglass cursor for the length of a scope, restored on every path.
#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>

namespace platform {

class WaitCursor {
public:
    explicit WaitCursor(QWidget* widget) : widget_(widget)
    {
        if (widget_) {
            hadCursor_ = widget_->testAttribute(Qt::WA_SetCursor);
            saved_ = widget_->cursor();
            widget_->setCursor(Qt::WaitCursor);
        }
    }
    ~WaitCursor()
    {
        if (!widget_)
            return;
        if (hadCursor_)
            widget_->setCursor(saved_);
        else
            widget_->unsetCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QPointer<QWidget> widget_;
    QCursor saved_;
    bool hadCursor_ = false;
};

}  // namespace platform
