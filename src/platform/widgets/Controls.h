// SPDX-License-Identifier: GPL-3.0-or-later
// Thin control classes with the semantics the components rely on: events as
// std::function members (raised only when assigned), a programmatic click
// that runs the handler at once, a timer whose Enabled means running, and a
// status bar with one simple text.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <functional>

namespace platform {

class TButton : public QPushButton {
    Q_OBJECT
public:
    explicit TButton(const QString& caption, QWidget* parent = nullptr);
    std::function<void()> OnClick;
    // Runs the click handler at once, nested in the caller: an exception
    // leaves through the caller, as from any other call.
    void Click();
};

class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(QObject* parent = nullptr);
    std::function<void()> OnTimer;
    bool Enabled() const { return timer_.isActive(); }
    void SetEnabled(bool enabled);
    int Interval() const { return timer_.interval(); }
    void SetInterval(int ms);

private:
    QTimer timer_;
};

class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    QString SimpleText() const;
    void SetSimpleText(const QString& text);
    // Raised after each change of the text.
    std::function<void(const QString&)> OnTextChanged;

private:
    QLabel* label_;
};

}  // namespace platform
