// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Caret.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

namespace platform {

TCaret::TCaret(QWidget* widget) : widget_(widget)
{
    QObject::connect(&timer_, &QTimer::timeout, [this] { Blink(); });
}

TCaret::~TCaret() = default;

void TCaret::Create(const QImage& shape)
{
    Destroy();
    shape_ = shape.convertToFormat(QImage::Format_RGB32);
    created_ = true;
    hideLevel_ = 1;
    blinkOn_ = false;
}

void TCaret::Destroy()
{
    if (!created_)
        return;
    timer_.stop();
    UpdateArea();
    created_ = false;
    hideLevel_ = 1;
    blinkOn_ = false;
}

void TCaret::Show()
{
    if (!created_ || hideLevel_ == 0)
        return;
    if (--hideLevel_ == 0)
        Restart();
}

void TCaret::Hide()
{
    if (!created_)
        return;
    if (hideLevel_++ == 0) {
        timer_.stop();
        blinkOn_ = false;
        UpdateArea();
    }
}

void TCaret::SetPos(const QPoint& pos)
{
    if (created_)
        UpdateArea();
    pos_ = pos;
    if (IsShown())
        Restart();
}

void TCaret::Paint(QPainter& painter) const
{
    if (!IsDrawn() || shape_.isNull())
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(pos_, shape_);
    painter.restore();
}

void TCaret::Restart()
{
    // A moved or newly shown caret is drawn at once and blinks from there.
    blinkOn_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0)
        timer_.start(flash / 2);
    else
        timer_.stop();
    UpdateArea();
}

void TCaret::Blink()
{
    blinkOn_ = !blinkOn_;
    UpdateArea();
}

void TCaret::UpdateArea() const
{
    if (widget_ && !shape_.isNull())
        widget_->update(Rect());
}

}  // namespace platform
