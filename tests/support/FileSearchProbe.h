// SPDX-License-Identifier: GPL-3.0-or-later
// The file search with its protected members open to the tests.
#pragma once

#include "FileFind/FileFind.h"

namespace testsupport {

class FileSearchProbe : public TFileSearch {
public:
    using TFileSearch::RecurseSubFolders;
    using TFileSearch::SetRecurseSubFolders;
    using TFileSearch::SetStop;
    using TFileSearch::SplitMasks;
    using TFileSearch::Stop;
};

}  // namespace testsupport
