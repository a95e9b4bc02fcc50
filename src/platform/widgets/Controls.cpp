// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Controls.h"

#include "platform/widgets/Application.h"

namespace platform {

TButton::TButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    connect(this, &QPushButton::clicked, this, [this] { Guard([this] { Click(); }); });
}

void TButton::Click()
{
    if (OnClick)
        OnClick();
}

TTimer::TTimer(QObject* parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, [this] {
        Guard([this] {
            if (OnTimer)
                OnTimer();
        });
    });
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

void TTimer::SetInterval(int ms)
{
    timer_.setInterval(ms);
}

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this))
{
    setSizeGripEnabled(false);
    label_->setTextFormat(Qt::PlainText);
    addPermanentWidget(label_, 1);
}

QString TStatusBar::SimpleText() const
{
    return label_->text();
}

void TStatusBar::SetSimpleText(const QString& text)
{
    label_->setText(text);
    if (OnTextChanged)
        OnTextChanged(text);
}

}  // namespace platform
