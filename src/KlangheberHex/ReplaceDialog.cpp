// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/ReplaceDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace hexwindow {

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(QStringLiteral("Ersetzen"));

    findEdit_ = new QLineEdit(this);
    findEdit_->setMinimumWidth(320);
    replaceEdit_ = new QLineEdit(this);
    textMode_ = new QRadioButton(QStringLiteral("&Text"), this);
    hexMode_ = new QRadioButton(QStringLiteral("&Hex-Bytes (z. B. 4D 5A 90 00)"), this);
    matchCase_ = new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung beachten"), this);
    textMode_->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Suchen nach:"), findEdit_);
    form->addRow(QStringLiteral("Ersetzen &durch:"), replaceEdit_);
    auto* modes = new QHBoxLayout;
    modes->addWidget(textMode_);
    modes->addWidget(hexMode_);
    modes->addStretch();
    form->addRow(QString(), modes);
    form->addRow(QString(), matchCase_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(QStringLiteral("&Ersetzen"), QDialogButtonBox::ActionRole);
    QPushButton* all = buttons->addButton(QStringLiteral("&Alle ersetzen"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &ReplaceDialog::replaceNext);
    connect(all, &QPushButton::clicked, this, [this] { done(kReplaceAll); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(hexMode_, &QRadioButton::toggled, this, &ReplaceDialog::UpdateCaseBox);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    UpdateCaseBox();
}

int ReplaceDialog::Ask()
{
    findEdit_->selectAll();
    findEdit_->setFocus();
    return exec();
}

ReplaceRequest ReplaceDialog::Request() const
{
    return {{findEdit_->text(), hexMode_->isChecked(), matchCase_->isChecked()}, replaceEdit_->text()};
}

void ReplaceDialog::UpdateCaseBox()
{
    matchCase_->setEnabled(!hexMode_->isChecked());
}

}  // namespace hexwindow
