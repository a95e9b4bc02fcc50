// SPDX-License-Identifier: GPL-3.0-or-later
// The menu Datei at work: new, open, reload, save and save as, the recent
// files, and the question before changes are lost. A file the user may not
// write (WriteRefusal) is saved only under another name; a backup that
// cannot be made offers to save without one; every failure names its cause.
#include "KlangheberHex/FileNames.h"
#include "KlangheberHex/HexWindow.h"
#include "hexeditor/hexeditor.h"
#include "platform/system/Exceptions.h"
#include "platform/system/FileIo.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>

namespace hexwindow {

namespace {

// The hourglass over the whole window for a load or a save.
class OverrideWaitCursor {
public:
    OverrideWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~OverrideWaitCursor() { QApplication::restoreOverrideCursor(); }
    OverrideWaitCursor(const OverrideWaitCursor&) = delete;
    OverrideWaitCursor& operator=(const OverrideWaitCursor&) = delete;
};

// A folder for the file dialog to start in.
QString DialogFolder(const std::string& file)
{
    return ShownPath(PathText(platform::ExtractFilePath(file)));
}

// A warning whose only way on is the button action (role); Abbrechen is the
// default, so Enter or Escape changes nothing. True when action was chosen.
bool ConfirmWarning(QWidget* parent, const QString& text, const QString& detail, const QString& action,
                    QMessageBox::ButtonRole role, const QString& cancelLabel)
{
    QMessageBox box(QMessageBox::Warning, platform::Application().Title(), text, QMessageBox::NoButton, parent);
    box.setInformativeText(detail);
    QPushButton* chosen = box.addButton(action, role);
    QPushButton* cancel = box.addButton(cancelLabel, QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == chosen;
}

}  // namespace

bool HexWindow::IsUntitled() const
{
    return editor_->FileName() == kUntitled;
}

std::string HexWindow::DocumentBytes() const
{
    return editor_->FileName();
}

QString HexWindow::DocumentPath() const
{
    return PathText(editor_->FileName());
}

QString HexWindow::StartFolder() const
{
    if (!IsUntitled())
        return DialogFolder(DocumentBytes());
    if (!recent_.Files().isEmpty())
        return DialogFolder(PathBytes(recent_.Files().first()));
    return QDir::homePath();
}

void HexWindow::RefreshWriteRefusal()
{
    writeRefusal_ = IsUntitled() ? QString() : WriteRefusal(DocumentBytes());
}

void HexWindow::ShowError(const QString& text)
{
    platform::Application().Sink().ShowError(platform::Application().Title(), text);
}

void HexWindow::ShowInfo(const QString& text)
{
    platform::Application().Sink().ShowMessage(platform::Application().Title(), text);
}

bool HexWindow::MaySwitchDocument()
{
    if (!editor_->Modified())
        return true;
    const QString name = IsUntitled() ? QStringLiteral("Das neue Dokument") : QStringLiteral("Die Datei ") +
                                                                                  Quoted(DocumentPath());
    QMessageBox box(QMessageBox::Warning, platform::Application().Title(), name + QStringLiteral(" wurde geändert."),
                    QMessageBox::NoButton, this);
    box.setInformativeText(QStringLiteral("Sollen die Änderungen gespeichert werden?"));
    QPushButton* save = box.addButton(QStringLiteral("Speichern"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Verwerfen"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Save();
    return box.clickedButton() == discard;
}

void HexWindow::NewDocument()
{
    if (!MaySwitchDocument())
        return;
    editor_->NewFile(kUntitled);
    writeRefusal_.clear();
    UpdateState();
}

void HexWindow::Open()
{
    if (!MaySwitchDocument())
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Datei öffnen"), StartFolder());
    if (!path.isEmpty())
        OpenFile(DialogPathBytes(path));
}

void HexWindow::Reload()
{
    if (IsUntitled())
        return;
    if (editor_->Modified() &&
        !ConfirmWarning(this, QStringLiteral("Die Datei %1 wurde geändert.").arg(Quoted(DocumentPath())),
                        QStringLiteral("Neu laden verwirft die Änderungen."), QStringLiteral("Neu laden"),
                        QMessageBox::DestructiveRole, QStringLiteral("Abbrechen")))
        return;
    // The caret stays on its offset where the file still reaches it.
    const std::int32_t caret = editor_->CaretPosition();
    if (OpenFile(DocumentBytes()) && caret < editor_->DataSize())
        editor_->SetSelStart(caret);
    UpdateState();
}

bool HexWindow::OpenFile(const QString& path)
{
    return OpenFile(PathBytes(path));
}

bool HexWindow::OpenFile(const std::string& path)
{
    const std::string absolute = AbsolutePath(path);
    const QString shown = Quoted(PathText(absolute));
    platform::FileStatus status;
    try {
        status = platform::StatusIn(platform::kCurrentFolder, absolute);
    } catch (const platform::Exception& e) {
        const int error = e.Errno();
        if (error == ENOENT) {
            recent_.Remove(PathText(absolute));
            SaveRecentFiles();
            ShowError(QStringLiteral("Die Datei %1 gibt es nicht.").arg(shown));
        } else {
            ShowError(QStringLiteral("Die Datei %1 kann nicht geöffnet werden: %2.").arg(shown, ErrnoText(error)));
        }
        return false;
    }
    if (status.directory) {
        ShowError(QStringLiteral("%1 ist ein Ordner, keine Datei.").arg(shown));
        return false;
    }
    if (status.size > kMaxFileSize) {
        ShowError(QStringLiteral("Die Datei %1 ist zu groß (%2 Bytes). Klangheber Hex öffnet Dateien bis "
                                 "2 GiB − 1 Byte (%3 Bytes).")
                      .arg(shown, Number(status.size), Number(kMaxFileSize)));
        return false;
    }
    bool threw = false;
    int error = 0;
    const auto load = [this, &error](const std::string& name) {
        errno = 0;
        const bool loaded = editor_->LoadFromFile(name);
        error = errno;
        return loaded;
    };
    if (!RunFileStep(absolute, threw, load)) {
        if (!threw)
            ShowError(QStringLiteral("Die Datei %1 kann nicht geöffnet werden%2.")
                          .arg(shown, error != 0 ? QStringLiteral(": ") + ErrnoText(error) : QString()));
        return false;
    }
    editor_->setFocus();
    return true;
}

bool HexWindow::RunFileStep(const std::string& absolute, bool& threw,
                            const std::function<bool(const std::string&)>& step)
{
    bool done = false;
    threw = true;
    {
        OverrideWaitCursor wait;
        platform::Guard([&] {
            done = step(absolute);
            threw = false;
        });
    }
    // A failed load may have left a new, empty document.
    RefreshWriteRefusal();
    UpdateState();
    if (!done)
        return false;
    recent_.Add(PathText(absolute));
    SaveRecentFiles();
    return true;
}

void HexWindow::AskAndOpen(const std::string& path)
{
    if (MaySwitchDocument())
        OpenFile(path);
}

bool HexWindow::Save()
{
    if (IsUntitled())
        return SaveAs();
    RefreshWriteRefusal();
    UpdateStatus();
    if (!writeRefusal_.isEmpty())
        return SaveAs();
    return SaveTo(DocumentBytes());
}

bool HexWindow::SaveAs()
{
    const QString title = !IsUntitled() && !writeRefusal_.isEmpty()
                              ? QStringLiteral("Speichern unter (die Datei ist schreibgeschützt)")
                              : QStringLiteral("Speichern unter");
    const QString suggestion = IsUntitled() ? StartFolder() : ShownPath(DocumentPath());
    const QString path = QFileDialog::getSaveFileName(this, title, suggestion);
    return !path.isEmpty() && SaveTo(AbsolutePath(DialogPathBytes(path)));
}

bool HexWindow::SaveTo(const std::string& path)
{
    const QString refusal = WriteRefusal(path);
    if (!refusal.isEmpty()) {
        ShowError(QStringLiteral("Die Datei %1 wird nicht überschrieben (%2). „Speichern unter“ speichert unter "
                                 "einem anderen Namen.")
                      .arg(Quoted(PathText(path)), refusal));
        return false;
    }
    return WriteDocument(path);
}

bool HexWindow::WriteDocument(const std::string& path)
{
    bool threw = false;
    const auto save = [this](const std::string& name) { return editor_->SaveToFile(name); };
    if (RunFileStep(path, threw, save))
        return true;
    if (threw)
        return false;
    if (editor_->LastSaveFailure().backup) {
        if (!AskSaveWithoutBackup(path))
            return false;
        editor_->SetCreateBackup(false);
        const bool saved = RunFileStep(path, threw, save);
        editor_->SetCreateBackup(true);
        if (saved || threw)
            return saved;
    }
    ShowError(QStringLiteral("Die Datei %1 konnte nicht gespeichert werden: %2.")
                  .arg(Quoted(PathText(path)), ErrnoText(editor_->LastSaveFailure().error)));
    return false;
}

bool HexWindow::AskSaveWithoutBackup(const std::string& path)
{
    const std::string backup = hexcore::Document::BackupName(path, editor_->BackupExtension());
    return ConfirmWarning(this,
                          QStringLiteral("Die Sicherungskopie %1 kann nicht angelegt werden: %2.")
                              .arg(Quoted(PathText(backup)), ErrnoText(editor_->LastSaveFailure().error)),
                          QStringLiteral("Soll die Datei ohne Sicherungskopie gespeichert werden?"),
                          QStringLiteral("&Ohne Sicherungskopie speichern"), QMessageBox::AcceptRole,
                          QStringLiteral("&Abbrechen"));
}

void HexWindow::RebuildRecentMenu()
{
    recentMenu_->clear();
    int number = 1;
    for (const QString& path : recent_.Files()) {
        const QString text = QStringLiteral("&%1 %2").arg(number++).arg(ShownPath(path));
        QAction* action = recentMenu_->addAction(text);
        connect(action, &QAction::triggered, this,
                [this, path] { platform::Guard([&] { AskAndOpen(PathBytes(path)); }); });
    }
    recentMenu_->setEnabled(!recent_.Files().isEmpty());
}

}  // namespace hexwindow
