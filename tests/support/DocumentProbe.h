// SPDX-License-Identifier: GPL-3.0-or-later
// The byte editor's document with its protected members open to the tests.
// The static Of-functions reach the same members of a document the tests did
// not create (an editor's).
#pragma once

#include "hexeditor/core/Document.h"

#include <vector>

namespace testsupport {

class DocumentProbe : public hexcore::Document {
public:
    using Document::CachedSize;
    using Document::ChangedBytes;
    using Document::HasWorkingFile;
    using Document::MoveBlock;
    using Document::SetModified;
    using Document::SizeChanged;
    using Document::Undo;

    static const std::vector<bool>& ChangedBytesOf(const hexcore::Document& document)
    {
        return (document.*&DocumentProbe::ChangedBytes)();
    }
    static bool HasWorkingFileOf(const hexcore::Document& document)
    {
        return (document.*&DocumentProbe::HasWorkingFile)();
    }
};

}  // namespace testsupport
