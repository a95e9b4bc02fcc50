// SPDX-License-Identifier: GPL-3.0-or-later
// The folder picker with its protected members open to the tests.
#pragma once

#include "BrowseDr/BrowseDr.h"

namespace testsupport {

class BrowseDirectoryDlgProbe : public TzebBrowseDirectoryDlg {
public:
    using TzebBrowseDirectoryDlg::TzebBrowseDirectoryDlg;

    using TzebBrowseDirectoryDlg::Caption;
    using TzebBrowseDirectoryDlg::Center;
    using TzebBrowseDirectoryDlg::EnableOKButton;
    using TzebBrowseDirectoryDlg::FitStatusText;
    using TzebBrowseDirectoryDlg::ImageIndex;
    using TzebBrowseDirectoryDlg::ReturnedName;
    using TzebBrowseDirectoryDlg::SelectionPIDL;
    using TzebBrowseDirectoryDlg::SetCaption;
    using TzebBrowseDirectoryDlg::SetDesigning;
    using TzebBrowseDirectoryDlg::SetEnableOKButton;
    using TzebBrowseDirectoryDlg::SetFitStatusText;
    using TzebBrowseDirectoryDlg::SetOptions;
    using TzebBrowseDirectoryDlg::SetRoot;
    using TzebBrowseDirectoryDlg::SetSelection;
    using TzebBrowseDirectoryDlg::SetVersion;
    using TzebBrowseDirectoryDlg::ShowSelectionInStatus;
};

}  // namespace testsupport
