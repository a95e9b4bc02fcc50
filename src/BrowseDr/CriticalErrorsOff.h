// SPDX-License-Identifier: GPL-3.0-or-later
// A scope in which the system shows no critical-error boxes for missing
// media; the previous error mode comes back on every path.
#pragma once

#include "platform/shell/Shell.h"

// Sets SEM_FAILCRITICALERRORS for a scope and restores the previous mode,
// also when an exception passes.
class CriticalErrorsOff {
public:
    CriticalErrorsOff() : previous_(platform::SetErrorMode(platform::SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsOff() { platform::SetErrorMode(previous_); }
    CriticalErrorsOff(const CriticalErrorsOff&) = delete;
    CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

private:
    platform::UINT previous_;
};
