// SPDX-License-Identifier: GPL-3.0-or-later
// The menus Bearbeiten, Suchen, Lesezeichen and Hilfe at work: undo, the
// clipboard (also as hex text and as a C array), deleting, selecting
// everything, the insert mode, search, go to offset, the bookmarks, the
// editor's context menu and the about box. Everything goes through the editor's public commands, so each
// change leaves its undo record.
#include "KlangheberHex/FindDialog.h"
#include "KlangheberHex/HexInput.h"
#include "KlangheberHex/HexWindow.h"
#include "ProgramInfo/ProgramInfo.h"
#include "hexeditor/hexeditor.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <algorithm>
#include <array>
#include <utility>

namespace hexwindow {

void HexWindow::Undo()
{
    editor_->Undo();
    UpdateState();
}

// Selects count bytes from first. SelEnd counts gaps between bytes while
// insert mode is on, which would leave the last byte out, so the selection
// is made with insert mode off; what it selects stays the same afterwards.
void HexWindow::SelectBytes(std::int32_t first, std::int32_t count)
{
    const bool allowInsert = editor_->AllowInsertMode();
    editor_->SetAllowInsertMode(false);
    editor_->SetSelStart(first);
    editor_->SetSelEnd(first + count - 1);
    editor_->SetAllowInsertMode(allowInsert);
}

bool HexWindow::ReadSelection(Bytes& bytes, std::int32_t limit, const QString& tooLarge)
{
    const std::int32_t length = editor_->SelLength();
    if (length <= 0)
        return false;
    if (length > limit) {
        ShowError(tooLarge);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(length));
    editor_->ReadBuffer(bytes.data(), std::min(editor_->SelStart(), editor_->SelEnd()), length);
    return true;
}

bool HexWindow::CopySelection()
{
    Bytes bytes;
    if (!ReadSelection(bytes, kMaxClipboardBytes,
                       QStringLiteral("Die Auswahl ist zu groß für die Zwischenablage (höchstens 64 MiB).")))
        return false;
    QGuiApplication::clipboard()->setMimeData(MakeClipboardData(bytes));
    return true;
}

void HexWindow::CopyAsText(const std::function<QString(const Bytes&)>& format)
{
    Bytes bytes;
    if (ReadSelection(bytes, kMaxTextCopyBytes,
                      QStringLiteral("Die Auswahl ist zu groß, um sie als Text zu kopieren (höchstens 8 MiB).")))
        QGuiApplication::clipboard()->setText(format(bytes));
}

void HexWindow::DeleteSelected()
{
    if (editor_->SelLength() > 0)
        editor_->DeleteSelection();
    UpdateState();
}

void HexWindow::ShowContextMenu(const QPoint& pos)
{
    UpdateActions();
    QMenu menu(this);
    menu.addActions({cutAction_, copyAction_, pasteAction_, deleteAction_});
    menu.addSeparator();
    menu.addAction(selectAllAction_);
    menu.addSeparator();
    menu.addAction(goToAction_);
    menu.exec(editor_->viewport()->mapToGlobal(pos));
}

void HexWindow::ShowAbout()
{
    QMessageBox::about(this, QStringLiteral("Über Klangheber Hex"),
                       QStringLiteral("<p><b>Klangheber Hex %1</b></p><p>Der Byte-Editor von Klangheber: jede Datei "
                                      "bis 2 GiB − 1 Byte als Hex-Ziffern und Zeichen ansehen und bearbeiten.</p><p>%2</p>")
                           .arg(QCoreApplication::applicationVersion().toHtmlEscaped(),
                                QString::fromUtf8(programinfo::LicenceNotice()).toHtmlEscaped().replace(
                                    QLatin1Char('\n'), QStringLiteral("<br>"))));
}

void HexWindow::Copy()
{
    CopySelection();
}

void HexWindow::Cut()
{
    if (CopySelection())
        editor_->DeleteSelection();
    UpdateState();
}

void HexWindow::Paste()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return;
    const Bytes bytes = PastedBytes(*mime, !editor_->InCharPane());
    if (bytes.empty())
        return;
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), kMaxFileSize));
    const std::int32_t size = editor_->DataSize();
    if (editor_->SelLength() > 0) {
        editor_->ReplaceSelection(bytes.data(), count);
    } else if (size == 0) {
        editor_->AppendBuffer(bytes.data(), count);
    } else if (editor_->InsertModeActive()) {
        editor_->InsertBuffer(bytes.data(), count, editor_->InsertionPoint());
    } else {
        // Overwriting: the bytes from the caret on are replaced, and the
        // document grows where the pasted bytes reach past its end.
        const std::int32_t caret = editor_->CaretPosition();
        SelectBytes(caret, std::min(count, size - caret));
        editor_->ReplaceSelection(bytes.data(), count);
    }
    UpdateState();
}

void HexWindow::SelectAll()
{
    const std::int32_t size = editor_->DataSize();
    if (size > 0)
        SelectBytes(0, size);
    UpdateState();
}

void HexWindow::SendKeyToEditor(int key, Qt::KeyboardModifiers modifiers)
{
    // Qt offers a key press to the shortcuts first; the key must reach the
    // editor instead of triggering the menu entry that sends it again.
    forwardingKey_ = true;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(editor_, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(editor_, &release);
    forwardingKey_ = false;
    UpdateState();
}

void HexWindow::ToggleInsertMode()
{
    // The editor's own Insert key: it also clears the change marks and
    // changes the caret's shape.
    SendKeyToEditor(Qt::Key_Insert, Qt::NoModifier);
}

void HexWindow::Find()
{
    if (!findDialog_->Ask())
        return;
    searched_ = true;
    RunSearch(editor_->CaretPosition());
}

void HexWindow::FindNext()
{
    if (!searched_) {
        Find();
        return;
    }
    RunSearch(editor_->CaretPosition() + 1);
}

void HexWindow::GoToOffset()
{
    const std::int32_t size = editor_->DataSize();
    if (size <= 0) {
        ShowInfo(QStringLiteral("Das Dokument ist leer."));
        return;
    }
    bool ok = false;
    const QString prompt = QStringLiteral("Offset (0 bis %1 oder 0x%2; hexadezimal mit 0x oder $, sonst dezimal):")
                               .arg(size - 1)
                               .arg(QString::number(size - 1, 16).toUpper());
    const QString text = QInputDialog::getText(this, QStringLiteral("Gehe zu Offset"), prompt, QLineEdit::Normal,
                                               QString(), &ok);
    if (!ok)
        return;
    const std::optional<std::int64_t> offset = ParseOffset(text);
    if (!offset) {
        ShowError(QStringLiteral("„%1“ ist kein Offset: hexadezimal mit 0x oder $ davor (0x1F, $1F), "
                                 "sonst dezimal (31).")
                      .arg(text));
        return;
    }
    if (*offset >= size) {
        ShowError(QStringLiteral("Offset %1 liegt hinter dem Ende des Dokuments (letzter Offset %2).")
                      .arg(text.trimmed())
                      .arg(size - 1));
        return;
    }
    editor_->SetSelStart(static_cast<std::int32_t>(*offset));
    UpdateState();
}

}  // namespace hexwindow
