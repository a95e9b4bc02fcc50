// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/ReplaceDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace hexwindow {

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent), fields_(this), replaceEdit_(new QLineEdit(this))
{
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(QStringLiteral("Ersetzen"));

    auto* form = new QFormLayout;
    fields_.AddSearchRow(form);
    form->addRow(QStringLiteral("Ersetzen &durch:"), replaceEdit_);
    fields_.AddOptionRows(form);
    setTabOrder(fields_.TextEdit(), replaceEdit_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(QStringLiteral("&Ersetzen"), QDialogButtonBox::ActionRole);
    QPushButton* all = buttons->addButton(QStringLiteral("&Alle ersetzen"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &ReplaceDialog::replaceNext);
    connect(all, &QPushButton::clicked, this, [this] { done(kReplaceAll); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

int ReplaceDialog::Ask()
{
    fields_.FocusText();
    return exec();
}

ReplaceRequest ReplaceDialog::Request() const
{
    return {fields_.Request(), replaceEdit_->text()};
}

}  // namespace hexwindow
