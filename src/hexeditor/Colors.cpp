// SPDX-License-Identifier: GPL-3.0-or-later
// The colour set, the display settings, the bookmarks (markers) and the
// caret's shape and lifetime.
#include "hexeditor/hexeditor.h"

#include "platform/system/Exceptions.h"
#include "platform/widgets/Application.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPalette>

// ---- TColors ---------------------------------------------------------------

TColors::TColors(THexEditor* editor) : editor_(editor) {}

TColor TColors::RgbInverse(TColor color)
{
    const auto v = static_cast<std::uint32_t>(color);
    return platform::RGB(255 - static_cast<int>(v & 0xFF), 255 - static_cast<int>((v >> 8) & 0xFF),
                         255 - static_cast<int>((v >> 16) & 0xFF));
}

void TColors::Set(TColor& field, TColor value)
{
    if (field == value)
        return;
    field = value;
    if (editor_)
        editor_->InvalidateGrid();
}

void TColors::SetOffset(TColor value) { Set(offset_, value); }
void TColors::SetPositionBackground(TColor value) { Set(positionBackground_, value); }
void TColors::SetCursorFrame(TColor value) { Set(cursorFrame_, value); }
void TColors::SetChangedText(TColor value) { Set(changedText_, value); }
void TColors::SetPositionText(TColor value) { Set(positionText_, value); }
void TColors::SetChangedBackground(TColor value) { Set(changedBackground_, value); }

void TColors::SetOddColumn(TColor value)
{
    if (value == oddColumn_)
        return;
    oddColumnInverse_ = RgbInverse(value);
    Set(oddColumn_, value);
}

void TColors::SetEvenColumn(TColor value)
{
    if (value == evenColumn_)
        return;
    evenColumnInverse_ = RgbInverse(value);
    Set(evenColumn_, value);
}

void TColors::SetBackground(TColor value)
{
    if (value == background_)
        return;
    background_ = value;
    if (editor_)
        editor_->ApplyBackground();
}

void TColors::Assign(const TColors& other)
{
    if (&other == this)
        return;
    SetBackground(other.background_);
    SetPositionBackground(other.positionBackground_);
    SetPositionText(other.positionText_);
    SetChangedBackground(other.changedBackground_);
    SetChangedText(other.changedText_);
    SetCursorFrame(other.cursorFrame_);
    SetOffset(other.offset_);
    SetOddColumn(other.oddColumn_);
    SetEvenColumn(other.evenColumn_);
}

// ---- Display settings --------------------------------------------------------

void THexEditor::InitDisplay()
{
    colors_ = std::make_unique<TColors>(this);
    markers_.fill(-1);
    // The control takes its colour from Background, not from its parent.
    ApplyBackground();
}

void THexEditor::ApplyBackground()
{
    const QColor color = platform::ToQColor(platform::ColorToRGB(colors_->Background()));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
    viewport()->repaint();
}

void THexEditor::SetColors(const TColors& colors)
{
    colors_->Assign(colors);
}

void THexEditor::SetFontColor(TColor color)
{
    if (color == fontColor_)
        return;
    fontColor_ = color;
    InvalidateGrid();
}

void THexEditor::SetFocusFrame(bool on)
{
    if (on == focusFrame_)
        return;
    focusFrame_ = on;
    InvalidateGrid();
}

void THexEditor::SetCaretStyle(TCaretStyle style)
{
    if (style == caretStyle_)
        return;
    caretStyle_ = style;
    if (hasFocus()) {
        CreateCaretShape();
        Caret().SetPos(QPoint(-50, -50));
        Caret().Show();
        InvalidateGrid();
    }
}

void THexEditor::SetAutoCaretMode(bool on)
{
    autoCaretMode_ = on;
    if (on)
        SetCaretStyle(InsertModeActive() ? csLeftLine : csFull);
}

// ---- Markers -----------------------------------------------------------------

void THexEditor::SetMarker(int index, std::int32_t row)
{
    // A negative index would write outside the ten markers as well.
    if (index < 0 || index >= kMarkerCount)
        throw platform::Exception("SetMarker : Invalid marker index");
    std::int32_t& marker = markers_[static_cast<std::size_t>(index)];
    if (marker == row)
        return;
    marker = row;
    InvalidateGrid();
}

int THexEditor::MarkerOnRow(std::int32_t row) const
{
    for (int i = 0; i < kMarkerCount; ++i)
        if (markers_[static_cast<std::size_t>(i)] == row)
            return i;
    return -1;
}

std::int32_t THexEditor::MarkerRow(int index) const
{
    if (index < 0 || index >= kMarkerCount)
        return Row();
    const std::int32_t row = markers_[static_cast<std::size_t>(index)];
    return row == -1 ? Row() : row;
}

// ---- Caret -------------------------------------------------------------------

void THexEditor::CreateCaretShape()
{
    Caret().Destroy();
    const int width = std::max(charWidth_, 0);
    const int height = std::max(rowHeight_ - 2, 0);
    caretBitmap_ = QImage(width, height, QImage::Format_RGB32);
    caretBitmap_.fill(Qt::black);
    if (!caretBitmap_.isNull()) {
        // XOR-ed onto a white cell, the complement shows as CursorFrame.
        const TColor fill = static_cast<TColor>(static_cast<std::uint32_t>(colors_->CursorFrame()) ^ 0xFFFFFFu);
        QRect area;
        switch (caretStyle_) {
        case csLeftLine:
            area = QRect(0, 0, 2, height);
            break;
        case csBottomLine:
            area = QRect(0, height - 2, width, 2);
            break;
        case csFull:
        default:
            area = QRect(0, 0, width, height);
            break;
        }
        QPainter painter(&caretBitmap_);
        painter.fillRect(area, platform::ToQColor(fill));
    }
    Caret().Create(caretBitmap_);
}

void THexEditor::PlaceCaretAt(const QPoint& pos)
{
    if (Caret().IsCreated() && Caret().Pos() != pos)
        Caret().SetPos(pos);
}

void THexEditor::focusInEvent(QFocusEvent* event)
{
    platform::TCustomGrid::focusInEvent(event);
    platform::Guard([this] {
        CreateCaretShape();
        Caret().SetPos(QPoint(-50, -50));
        Caret().Show();
        InvalidateGrid();
    });
}

void THexEditor::focusOutEvent(QFocusEvent* event)
{
    platform::TCustomGrid::focusOutEvent(event);
    platform::Guard([this] {
        Caret().Hide();
        Caret().Destroy();
        selecting_ = false;
        InvalidateGrid();
    });
}

void THexEditor::changeEvent(QEvent* event)
{
    platform::TCustomGrid::changeEvent(event);
    if (event->type() != QEvent::FontChange || !testAttribute(Qt::WA_WState_Created))
        return;
    platform::Guard([this] {
        UpdateColumnWidths();
        if (hasFocus()) {
            CreateCaretShape();
            Caret().Show();
        }
    });
}
