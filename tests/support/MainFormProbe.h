// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with its handlers and queue open to the tests.
#pragma once

#include "MainForm1/MainForm1.h"

namespace testsupport {

class MainFormProbe : public TMainForm {
public:
    using TMainForm::TMainForm;

    using TMainForm::AppendToQueue;
    using TMainForm::QueueEntry;
    using TMainForm::RipClick;
    using TMainForm::Timer1Timer;
};

}  // namespace testsupport
