// SPDX-License-Identifier: GPL-3.0-or-later
// The search dialog: the text or hex bytes to look for, whether the text
// is hex, and whether case matters. It keeps what was typed for the next
// time it opens and refuses to close on hex input it cannot read.
#pragma once

#include "KlangheberHex/HexInput.h"
#include "KlangheberHex/SearchFields.h"

#include <QDialog>

namespace hexwindow {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the last request; true when the user
    // asked for a search, whose pattern Pattern() then holds.
    bool Ask();
    const SearchRequest& Request() const { return request_; }
    const SearchPattern& Pattern() const { return pattern_; }

private:
    void TryAccept();

    SearchFields fields_;
    SearchRequest request_;
    SearchPattern pattern_;
};

}  // namespace hexwindow
