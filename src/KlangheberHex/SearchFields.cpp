// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/SearchFields.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace hexwindow {

SearchFields::SearchFields(QWidget* dialog)
    : text_(new QLineEdit(dialog)),
      textMode_(new QRadioButton(QStringLiteral("&Text"), dialog)),
      hexMode_(new QRadioButton(QStringLiteral("&Hex-Bytes (z. B. 4D 5A 90 00)"), dialog)),
      matchCase_(new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung beachten"), dialog))
{
    text_->setMinimumWidth(320);
    textMode_->setChecked(true);
    QObject::connect(hexMode_, &QRadioButton::toggled, dialog, [this] { UpdateCaseBox(); });
    UpdateCaseBox();
}

void SearchFields::AddSearchRow(QFormLayout* form) const
{
    form->addRow(QStringLiteral("&Suchen nach:"), text_);
}

void SearchFields::AddOptionRows(QFormLayout* form) const
{
    auto* modes = new QHBoxLayout;
    modes->addWidget(textMode_);
    modes->addWidget(hexMode_);
    modes->addStretch();
    form->addRow(QString(), modes);
    form->addRow(QString(), matchCase_);
}

SearchRequest SearchFields::Request() const
{
    return {text_->text(), hexMode_->isChecked(), matchCase_->isChecked()};
}

void SearchFields::Show(const SearchRequest& request)
{
    text_->setText(request.text);
    hexMode_->setChecked(request.hex);
    textMode_->setChecked(!request.hex);
    matchCase_->setChecked(request.matchCase);
}

void SearchFields::FocusText()
{
    text_->selectAll();
    text_->setFocus();
}

void SearchFields::UpdateCaseBox()
{
    matchCase_->setEnabled(!hexMode_->isChecked());
}

}  // namespace hexwindow
