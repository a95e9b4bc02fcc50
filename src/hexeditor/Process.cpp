// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexeditor/Process.h"

#include "hexeditor/core/WorkingCopy.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/TerminationSignals.h"

namespace hexeditor {

void PrepareProcess()
{
    platform::WatchTerminationSignals();
    hexcore::WorkingCopy::RemoveAbandoned(platform::GetTempPath());
}

int ExitStatus(int status)
{
    const int sig = platform::Application().TerminationSignal();
    return sig != 0 ? 128 + sig : status;
}

}  // namespace hexeditor
