// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/FindDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace hexwindow {

FindDialog::FindDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Suchen"));

    textEdit_ = new QLineEdit(this);
    textEdit_->setObjectName(QStringLiteral("findText"));
    textEdit_->setMinimumWidth(320);
    textMode_ = new QRadioButton(QStringLiteral("&Text"), this);
    hexMode_ = new QRadioButton(QStringLiteral("&Hex-Bytes (z. B. 4D 5A 90 00)"), this);
    matchCase_ = new QCheckBox(QStringLiteral("&Groß-/Kleinschreibung beachten"), this);
    textMode_->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Suchen nach:"), textEdit_);
    auto* modes = new QHBoxLayout;
    modes->addWidget(textMode_);
    modes->addWidget(hexMode_);
    modes->addStretch();
    form->addRow(QString(), modes);
    form->addRow(QString(), matchCase_);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Suchen"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FindDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(hexMode_, &QRadioButton::toggled, this, &FindDialog::UpdateCaseBox);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    UpdateCaseBox();
}

bool FindDialog::Ask()
{
    textEdit_->setText(request_.text);
    hexMode_->setChecked(request_.hex);
    textMode_->setChecked(!request_.hex);
    matchCase_->setChecked(request_.matchCase);
    textEdit_->selectAll();
    textEdit_->setFocus();
    return exec() == QDialog::Accepted;
}

void FindDialog::TryAccept()
{
    SearchRequest request{textEdit_->text(), hexMode_->isChecked(), matchCase_->isChecked()};
    const std::optional<SearchPattern> pattern = MakeSearchPattern(request);
    if (!pattern) {
        const QString why = request.hex ? QStringLiteral("„%1“ sind keine Hex-Bytes (Paare aus 0-9 und A-F, "
                                                         "getrennt durch Leerzeichen).")
                                              .arg(request.text)
                                        : QStringLiteral("Bitte einen Suchtext eingeben.");
        QMessageBox::warning(this, windowTitle(), why);
        textEdit_->setFocus();
        return;
    }
    request_ = request;
    pattern_ = *pattern;
    accept();
}

void FindDialog::UpdateCaseBox()
{
    matchCase_->setEnabled(!hexMode_->isChecked());
}

}  // namespace hexwindow
