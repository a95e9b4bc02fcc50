// SPDX-License-Identifier: GPL-3.0-or-later
// The replace dialog: what to look for and what to put in its place, both
// text or both hex bytes, and whether case matters (as in the search).
// "Ersetzen" replaces the selected hit and selects the next one, the dialog
// staying open; "Alle ersetzen" closes it for the window to replace every
// hit.
#pragma once

#include "KlangheberHex/HexInput.h"
#include "KlangheberHex/SearchFields.h"

#include <QDialog>

class QLineEdit;

namespace hexwindow {

struct ReplaceRequest {
    SearchRequest search;
    QString replacement;
};

class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    // The result of Ask when every hit is to be replaced.
    static constexpr int kReplaceAll = 2;

    explicit ReplaceDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with the last request; kReplaceAll, or
    // Rejected when it was closed.
    int Ask();
    // What the fields hold now.
    ReplaceRequest Request() const;

signals:
    // "Ersetzen" was pressed.
    void replaceNext();

private:
    SearchFields fields_;
    QLineEdit* replaceEdit_;
};

}  // namespace hexwindow
