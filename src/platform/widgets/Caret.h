// SPDX-License-Identifier: GPL-3.0-or-later
// TCaret: the text caret the grid base draws over its cells.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QTimer>

class QPainter;
class QWidget;

namespace platform {

// A text caret: a bitmap XOR-drawn over its widget, blinking at the desktop's
// cursor flash time. Like the Windows caret it starts hidden after Create,
// and Show/Hide nest (Hide twice needs Show twice). The owner's paint event
// calls Paint after drawing its content.
class TCaret {
public:
    explicit TCaret(QWidget* widget);
    ~TCaret();
    TCaret(const TCaret&) = delete;
    TCaret& operator=(const TCaret&) = delete;

    // Replaces any existing caret with the given shape (its pixels are
    // XOR-ed onto the widget: white inverts, black leaves unchanged).
    void Create(const QImage& shape);
    void Destroy();
    void Show();
    void Hide();
    void SetPos(const QPoint& pos);

    bool IsCreated() const { return created_; }
    // Created and not hidden; the blink phase decides whether it is drawn now.
    bool IsShown() const { return created_ && hideLevel_ == 0; }
    // The caret is drawn in the current blink phase.
    bool IsDrawn() const { return IsShown() && blinkOn_; }
    QPoint Pos() const { return pos_; }
    QRect Rect() const { return {pos_, shape_.size()}; }
    const QImage& Shape() const { return shape_; }

    void Paint(QPainter& painter) const;

private:
    void Restart();
    void Blink();
    void UpdateArea() const;

    QWidget* widget_;
    QTimer timer_;
    QImage shape_;
    QPoint pos_;
    bool created_ = false;
    int hideLevel_ = 1;
    bool blinkOn_ = false;
};

}  // namespace platform
