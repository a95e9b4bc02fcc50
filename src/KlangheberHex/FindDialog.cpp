// SPDX-License-Identifier: GPL-3.0-or-later
#include "KlangheberHex/FindDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace hexwindow {

FindDialog::FindDialog(QWidget* parent) : QDialog(parent), fields_(this)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Suchen"));
    fields_.TextEdit()->setObjectName(QStringLiteral("findText"));

    auto* form = new QFormLayout;
    fields_.AddSearchRow(form);
    fields_.AddOptionRows(form);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Suchen"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FindDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

bool FindDialog::Ask()
{
    fields_.Show(request_);
    fields_.FocusText();
    return exec() == QDialog::Accepted;
}

void FindDialog::TryAccept()
{
    const SearchRequest request = fields_.Request();
    const std::optional<SearchPattern> pattern = MakeSearchPattern(request);
    if (!pattern) {
        const QString why = request.hex ? QStringLiteral("„%1“ sind keine Hex-Bytes (Paare aus 0-9 und A-F, "
                                                         "getrennt durch Leerzeichen).")
                                              .arg(request.text)
                                        : QStringLiteral("Bitte einen Suchtext eingeben.");
        QMessageBox::warning(this, windowTitle(), why);
        fields_.TextEdit()->setFocus();
        return;
    }
    request_ = request;
    pattern_ = *pattern;
    accept();
}

}  // namespace hexwindow
