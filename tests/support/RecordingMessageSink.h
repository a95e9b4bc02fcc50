// SPDX-License-Identifier: GPL-3.0-or-later
// A message sink that keeps every box for later inspection instead of
// showing it. No test may block on a modal window.
#pragma once

#include "platform/widgets/MessageSink.h"

#include <vector>

namespace testsupport {

class RecordingMessageSink : public platform::MessageSink {
public:
    struct Box {
        bool error;
        QString title;
        QString text;
    };
    void ShowError(const QString& title, const QString& text) override { boxes.push_back({true, title, text}); }
    void ShowMessage(const QString& title, const QString& text) override { boxes.push_back({false, title, text}); }
    std::vector<Box> boxes;
};

}  // namespace testsupport
