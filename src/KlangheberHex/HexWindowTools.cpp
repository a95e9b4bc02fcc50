// SPDX-License-Identifier: GPL-3.0-or-later
// Redo, searching backwards and round the end of the file, replacing, and
// the panel of values at the caret, as the window offers them.
#include "KlangheberHex/FindDialog.h"
#include "KlangheberHex/HexWindow.h"
#include "KlangheberHex/Replace.h"
#include "KlangheberHex/ReplaceDialog.h"
#include "KlangheberHex/ValuePanel.h"
#include "hexeditor/hexeditor.h"
#include "platform/widgets/Application.h"

#include <QAction>
#include <QDockWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace hexwindow {

void HexWindow::Redo()
{
    editor_->Redo();
    UpdateState();
}

void HexWindow::FindPrevious()
{
    if (!searched_) {
        Find();
        return;
    }
    RunSearch(editor_->CaretPosition() - 1, true);
}

void HexWindow::RunSearch(std::int32_t from, bool backwards)
{
    SearchAndSelect(findDialog_->Pattern(), findDialog_->Request().text, from, backwards);
}

bool HexWindow::SearchAndSelect(const SearchPattern& pattern, const QString& text, std::int32_t from, bool backwards)
{
    const auto count = static_cast<std::int32_t>(pattern.bytes.size());
    const std::int32_t size = editor_->DataSize();
    // Find changes its pattern in place (translation, case), so each search
    // gets a copy.
    const auto search = [&](std::int32_t start, std::int32_t end) {
        Bytes copy = pattern.bytes;
        if (backwards)
            return editor_->FindBackward(copy.data(), count, start, end, pattern.ignoreCase, pattern.translate);
        return editor_->Find(copy.data(), count, start, end, pattern.ignoreCase, pattern.translate);
    };
    std::int32_t found = -1;
    if (backwards && from >= 0)
        found = search(0, from + count - 1);
    else if (!backwards && from < size)
        found = search(from, size - 1);
    // Round the end only when the search did not cover the whole file.
    const bool partial = backwards ? from < size - 1 : from > 0;
    if (found < 0 && partial && size > 0) {
        const QString question =
            backwards ? QStringLiteral("„%1“ wurde bis zum Dateianfang nicht gefunden. Am Dateiende weitersuchen?")
                      : QStringLiteral("„%1“ wurde bis zum Dateiende nicht gefunden. Am Dateianfang weitersuchen?");
        if (!AskYesNo(question.arg(text)))
            return false;
        found = search(0, size - 1);
    }
    if (found < 0) {
        ShowInfo(QStringLiteral("„%1“ wurde nicht gefunden.").arg(text));
        return false;
    }
    hexwindow::SelectBytes(*editor_, found, count);
    UpdateState();
    return true;
}

bool HexWindow::AskYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, platform::Application().Title(), text, QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void HexWindow::Replace()
{
    if (replaceDialog_->Ask() == ReplaceDialog::kReplaceAll)
        ReplaceEverything();
    editor_->setFocus();
}

namespace {

// The request as a pattern and its replacement; nothing (after saying why)
// when either cannot be read.
std::optional<Replacement> MakeReplacement(const ReplaceRequest& request, TTranslationType translation,
                                           const std::function<void(const QString&)>& complain)
{
    const std::optional<SearchPattern> pattern = MakeSearchPattern(request.search);
    const std::optional<Bytes> bytes = ReplacementBytes(request.replacement, request.search.hex, translation);
    if (!pattern || !bytes) {
        const QString bad = !pattern ? request.search.text : request.replacement;
        complain(request.search.hex ? QStringLiteral("„%1“ sind keine Hex-Bytes (Paare aus 0-9 und A-F, getrennt "
                                                     "durch Leerzeichen).")
                                          .arg(bad)
                                    : QStringLiteral("Bitte einen Suchtext eingeben."));
        return std::nullopt;
    }
    return Replacement{*pattern, *bytes};
}

}  // namespace

void HexWindow::ReplaceNext()
{
    const ReplaceRequest request = replaceDialog_->Request();
    const std::optional<Replacement> replacement =
        MakeReplacement(request, editor_->Translation(), [this](const QString& why) { ShowError(why); });
    if (!replacement)
        return;
    std::int32_t from = editor_->CaretPosition();
    if (SelectionIsHit(*editor_, replacement->pattern)) {
        from = std::min(editor_->SelStart(), editor_->SelEnd());
        editor_->ReplaceSelection(replacement->bytes.data(), static_cast<std::int32_t>(replacement->bytes.size()));
        from += static_cast<std::int32_t>(replacement->bytes.size());
    }
    SearchAndSelect(replacement->pattern, request.search.text, from, false);
}

void HexWindow::ReplaceEverything()
{
    const ReplaceRequest request = replaceDialog_->Request();
    const std::optional<Replacement> replacement =
        MakeReplacement(request, editor_->Translation(), [this](const QString& why) { ShowError(why); });
    if (!replacement)
        return;
    const std::optional<std::int32_t> count = ReplaceAll(*editor_, *replacement);
    UpdateState();
    if (!count)
        ShowError(QStringLiteral("Die Treffer liegen zu weit auseinander: Alle ersetzen ändert höchstens 256 MiB "
                                 "auf einmal."));
    else if (*count == 0)
        ShowInfo(QStringLiteral("„%1“ wurde nicht gefunden.").arg(request.search.text));
    else
        ShowInfo(QStringLiteral("%1 Treffer ersetzt.").arg(*count));
}

void HexWindow::CreateToolWindows()
{
    // The replace dialog, and the value panel in a dock below the editor
    // (hidden until the View menu shows it).
    replaceDialog_ = new ReplaceDialog(this);
    connect(replaceDialog_, &ReplaceDialog::replaceNext, this, [this] { platform::Guard([this] { ReplaceNext(); }); });

    valuePanel_ = new ValuePanel(*editor_, this);
    valueDock_ = new QDockWidget(QStringLiteral("Werte am Cursor"), this);
    valueDock_->setObjectName(QStringLiteral("ValueDock"));
    valueDock_->setWidget(valuePanel_);
    valueDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::BottomDockWidgetArea, valueDock_);
    valueDock_->hide();
    QAction* toggle = valueDock_->toggleViewAction();
    toggle->setText(QStringLiteral("&Werte am Cursor"));
    // Remembered when the user shows or hides it (menu or the dock's close
    // button), once the dock has followed; not while the window itself is
    // hidden or not yet shown.
    connect(toggle, &QAction::toggled, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                SaveViewSettings();
        });
    });
    connect(valuePanel_, &ValuePanel::ByteOrderChanged, this, [this] { SaveViewSettings(); });
    connect(valuePanel_, &ValuePanel::ValueWritten, this, [this] { UpdateState(); });
}

}  // namespace hexwindow
