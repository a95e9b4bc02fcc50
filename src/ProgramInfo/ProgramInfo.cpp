// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramInfo/ProgramInfo.h"

namespace programinfo {

const char* Version()
{
    return KLANGHEBER_VERSION;
}

const char* LicenceNotice()
{
    return "Copyright (C) 2026 Klangheber Developers\n"
           "Lizenz GPL-3.0-or-later: GNU General Public License, Version 3 oder neuer\n"
           "<https://www.gnu.org/licenses/gpl-3.0.html>\n"
           "Dies ist freie Software: Sie dürfen sie ändern und weitergeben.\n"
           "Es gibt KEINE GARANTIE, soweit gesetzlich zulässig.\n";
}

std::string VersionText(const std::string& program)
{
    return program + " " + Version() + "\n" + LicenceNotice();
}

}  // namespace programinfo
