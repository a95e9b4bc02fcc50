// SPDX-License-Identifier: GPL-3.0-or-later
// The fields the search and the replace dialog share: the text to look for,
// whether it is text or hex bytes, and whether case matters (for text only).
#pragma once

#include "KlangheberHex/HexInput.h"

class QCheckBox;
class QFormLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace hexwindow {

class SearchFields {
public:
    // The fields, owned by dialog.
    explicit SearchFields(QWidget* dialog);

    // The row "Suchen nach:", and the rows of the options beneath it.
    void AddSearchRow(QFormLayout* form) const;
    void AddOptionRows(QFormLayout* form) const;

    QLineEdit* TextEdit() const { return text_; }
    SearchRequest Request() const;
    // Shows request in the fields.
    void Show(const SearchRequest& request);
    // Selects the text to look for and gives it the focus.
    void FocusText();

private:
    void UpdateCaseBox();

    QLineEdit* text_;
    QRadioButton* textMode_;
    QRadioButton* hexMode_;
    QCheckBox* matchCase_;
};

}  // namespace hexwindow
