// The menus Bearbeiten, Suchen and Lesezeichen at work: undo, the clipboard,
// selecting everything, the insert mode, search, go to offset and the
// bookmarks. Everything goes through the editor's public commands, so each
// change leaves its undo record.
#include "KlangheberHex/FindDialog.h"
#include "KlangheberHex/HexInput.h"
#include "KlangheberHex/HexWindow.h"
#include "hexeditor/hexeditor.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
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

bool HexWindow::CopySelection()
{
    const std::int32_t length = editor_->SelLength();
    if (length <= 0)
        return false;
    if (length > kMaxClipboardBytes) {
        ShowError(QStringLiteral("Die Auswahl ist zu groß für die Zwischenablage (höchstens 64 MiB)."));
        return false;
    }
    Bytes bytes(static_cast<std::size_t>(length));
    editor_->ReadBuffer(bytes.data(), std::min(editor_->SelStart(), editor_->SelEnd()), length);
    QGuiApplication::clipboard()->setMimeData(MakeClipboardData(bytes));
    return true;
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
    const Bytes bytes = PastedBytes(*mime);
    if (bytes.empty())
        return;
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), kMaxFileSize));
    const std::int32_t size = editor_->DataSize();
    if (editor_->SelLength() > 0) {
        editor_->ReplaceSelection(bytes.data(), count);
    } else if (size == 0) {
        editor_->AppendBuffer(bytes.data(), count);
    } else if (editor_->InsertState()) {
        editor_->InsertBuffer(bytes.data(), count, editor_->CaretPosition());
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
