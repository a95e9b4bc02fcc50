// The window's frame: menus Datei, Bearbeiten, Suchen and Lesezeichen, the
// status bar, opening and saving documents, the question before changes are
// lost, dropped files, and the title, menu and status texts that follow the
// editor's state.
#include "KlangheberHex/HexWindow.h"

#include "KlangheberHex/FindDialog.h"
#include "KlangheberHex/ValuePanel.h"
#include "hexeditor/hexeditor.h"
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace hexwindow {

namespace {

// The editor's name for a document that was never saved.
constexpr char kUntitled[] = "Untitled";

// The hourglass over the whole window for a load or a save.
class OverrideWaitCursor {
public:
    OverrideWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~OverrideWaitCursor() { QApplication::restoreOverrideCursor(); }
    OverrideWaitCursor(const OverrideWaitCursor&) = delete;
    OverrideWaitCursor& operator=(const OverrideWaitCursor&) = delete;
};

QString Quoted(const QString& path)
{
    return QStringLiteral("„%1“").arg(QDir::toNativeSeparators(path));
}

QString Hex(std::int64_t value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper();
}

QString Number(std::int64_t value)
{
    return QLocale(QLocale::German).toString(static_cast<qlonglong>(value));
}

// The first local file among dropped URLs, or an empty string.
QString DroppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

}  // namespace

HexWindow::HexWindow(QWidget* parent)
    : QMainWindow(parent), editor_(new THexEditor(this)), findDialog_(new FindDialog(this))
{
    setObjectName(QStringLiteral("HexWindow"));
    setAcceptDrops(true);
    editor_->setObjectName(QStringLiteral("HexEditor"));
    editor_->SetAllowInsertMode(true);
    editor_->NewFile(kUntitled);
    setCentralWidget(editor_);
    // The editor reports its state through the event loop; a shortcut
    // pressed before that report arrives must still find its action enabled
    // or disabled as the editor is now (Qt asks the focus widget before it
    // matches a shortcut).
    editor_->OnStateChanged = [this](THexEditor*) { UpdateState(); };
    editor_->installEventFilter(this);

    CreateToolWindows();
    CreateMenus();
    CreateStatusBar();
    ApplyPalette();
    LoadSettings();
    UpdateState();
    editor_->setFocus();
}

HexWindow::~HexWindow()
{
    editor_->OnStateChanged = nullptr;
}

// ---- Menus and status bar ------------------------------------------------------

QAction* HexWindow::AddAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                              std::function<void()> handler)
{
    QAction* action = menu->addAction(text);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { platform::Guard(handler); });
    return action;
}

void HexWindow::CreateMenus()
{
    CreateFileMenu();
    CreateEditMenu();
    CreateSearchMenu();
    CreateViewMenu();
    CreateBookmarkMenu();
}

void HexWindow::CreateFileMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Datei"));
    AddAction(menu, QStringLiteral("Ö&ffnen…"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { Open(); });
    saveAction_ =
        AddAction(menu, QStringLiteral("&Speichern"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { Save(); });
    saveAsAction_ = AddAction(menu, QStringLiteral("Speichern &unter…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                              [this] { SaveAs(); });
    menu->addSeparator();
    recentMenu_ = menu->addMenu(QStringLiteral("&Zuletzt geöffnet"));
    menu->addSeparator();
    AddAction(menu, QStringLiteral("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
}

void HexWindow::CreateEditMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    undoAction_ =
        AddAction(menu, QStringLiteral("&Rückgängig"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { Undo(); });
    redoAction_ = AddAction(menu, QStringLiteral("&Wiederherstellen"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                            [this] { Redo(); });
    redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    menu->addSeparator();
    cutAction_ =
        AddAction(menu, QStringLiteral("&Ausschneiden"), QKeySequence(Qt::CTRL | Qt::Key_X), [this] { Cut(); });
    copyAction_ = AddAction(menu, QStringLiteral("&Kopieren"), QKeySequence(Qt::CTRL | Qt::Key_C), [this] { Copy(); });
    AddAction(menu, QStringLiteral("&Einfügen"), QKeySequence(Qt::CTRL | Qt::Key_V), [this] { Paste(); });
    menu->addSeparator();
    AddAction(menu, QStringLiteral("Alles &markieren"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] { SelectAll(); });
    menu->addSeparator();
    insertAction_ = AddAction(menu, QStringLiteral("Einfüge&modus"), QKeySequence(Qt::Key_Insert),
                              [this] { ToggleInsertMode(); });
    insertAction_->setCheckable(true);
}

void HexWindow::CreateSearchMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Suchen"));
    AddAction(menu, QStringLiteral("&Suchen…"), QKeySequence(Qt::CTRL | Qt::Key_F), [this] { Find(); });
    AddAction(menu, QStringLiteral("&Weitersuchen"), QKeySequence(Qt::Key_F3), [this] { FindNext(); });
    AddAction(menu, QStringLiteral("&Rückwärts suchen"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
              [this] { FindPrevious(); });
    AddAction(menu, QStringLiteral("&Ersetzen…"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Replace(); });
    menu->addSeparator();
    AddAction(menu, QStringLiteral("&Gehe zu Offset…"), QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GoToOffset(); });
}

void HexWindow::CreateBookmarkMenu()
{
    // The entries send the editor its own bookmark keys (Ctrl+Shift+digit
    // sets, Ctrl+digit goes to), so menu and keyboard do the same. As
    // window shortcuts they also work where the Shift key changes what a
    // digit key types (Shift+3 is "#" on many layouts).
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Lesezeichen"));
    QMenu* set = menu->addMenu(QStringLiteral("Lesezeichen &setzen"));
    QMenu* go = menu->addMenu(QStringLiteral("&Gehe zu Lesezeichen"));
    for (int i = 0; i < 10; ++i) {
        const int key = Qt::Key_0 + i;
        const QString name = QStringLiteral("Lesezeichen &%1").arg(i);
        AddAction(set, name, QKeySequence(Qt::CTRL | Qt::SHIFT | key),
                  [this, key] { SendKeyToEditor(key, Qt::ControlModifier | Qt::ShiftModifier); });
        AddAction(go, name, QKeySequence(Qt::CTRL | key), [this, key] { SendKeyToEditor(key, Qt::ControlModifier); });
    }
}

void HexWindow::CreateStatusBar()
{
    const auto add = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        statusBar()->addWidget(label);
        return label;
    };
    caretLabel_ = add("caretStatus");
    selectionLabel_ = add("selectionStatus");
    sizeLabel_ = add("sizeStatus");
    modifiedLabel_ = add("modifiedStatus");
    modeLabel_ = add("modeStatus");
    translationLabel_ = add("translationStatus");
}

// ---- Documents -------------------------------------------------------------------

bool HexWindow::IsUntitled() const
{
    return editor_->FileName() == kUntitled;
}

QString HexWindow::DocumentPath() const
{
    return QFile::decodeName(QByteArray::fromStdString(editor_->FileName()));
}

QString HexWindow::StartFolder() const
{
    if (!IsUntitled())
        return QFileInfo(DocumentPath()).absolutePath();
    if (!recent_.Files().isEmpty())
        return QFileInfo(recent_.Files().first()).absolutePath();
    return QDir::homePath();
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

void HexWindow::Open()
{
    if (!MaySwitchDocument())
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Datei öffnen"), StartFolder());
    if (!path.isEmpty())
        OpenFile(path);
}

bool HexWindow::OpenFile(const QString& path)
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    if (!info.exists()) {
        recent_.Remove(absolute);
        SaveRecentFiles();
        ShowError(QStringLiteral("Die Datei %1 gibt es nicht.").arg(Quoted(absolute)));
        return false;
    }
    if (info.isDir()) {
        ShowError(QStringLiteral("%1 ist ein Ordner, keine Datei.").arg(Quoted(absolute)));
        return false;
    }
    if (info.size() > kMaxFileSize) {
        ShowError(QStringLiteral("Die Datei %1 ist zu groß (%2 Bytes). Klangheber Hex öffnet Dateien bis "
                                 "2 GiB − 1 Byte (%3 Bytes).")
                      .arg(Quoted(absolute), Number(info.size()), Number(kMaxFileSize)));
        return false;
    }
    if (!RunFileStep(absolute, QStringLiteral("Die Datei %1 kann nicht geöffnet werden."),
                     [this](const std::string& name) { return editor_->LoadFromFile(name); }))
        return false;
    editor_->setFocus();
    return true;
}

bool HexWindow::RunFileStep(const QString& absolute, const QString& failure,
                            const std::function<bool(const std::string&)>& step)
{
    bool done = false;
    bool threw = true;
    {
        OverrideWaitCursor wait;
        platform::Guard([&] {
            done = step(QFile::encodeName(absolute).toStdString());
            threw = false;
        });
    }
    UpdateState();
    if (!done) {
        // An exception has been shown by the default handler already.
        if (!threw)
            ShowError(failure.arg(Quoted(absolute)));
        return false;
    }
    recent_.Add(absolute);
    SaveRecentFiles();
    return true;
}

void HexWindow::AskAndOpen(const QString& path)
{
    if (MaySwitchDocument())
        OpenFile(path);
}

bool HexWindow::Save()
{
    if (IsUntitled() || editor_->FileIsReadOnly())
        return SaveAs();
    return SaveTo(DocumentPath());
}

bool HexWindow::SaveAs()
{
    const QString title = !IsUntitled() && editor_->FileIsReadOnly()
                              ? QStringLiteral("Speichern unter (die Datei ist schreibgeschützt)")
                              : QStringLiteral("Speichern unter");
    const QString suggestion = IsUntitled() ? StartFolder() : DocumentPath();
    const QString path = QFileDialog::getSaveFileName(this, title, suggestion);
    return !path.isEmpty() && SaveTo(path);
}

bool HexWindow::SaveTo(const QString& path)
{
    const QString failure = QStringLiteral("Die Datei %1 konnte nicht gespeichert werden.");
    return RunFileStep(QFileInfo(path).absoluteFilePath(), failure,
                       [this](const std::string& name) { return editor_->SaveToFile(name); });
}

void HexWindow::RebuildRecentMenu()
{
    recentMenu_->clear();
    int number = 1;
    for (const QString& path : recent_.Files()) {
        const QString text = QStringLiteral("&%1 %2").arg(number++).arg(QDir::toNativeSeparators(path));
        QAction* action = recentMenu_->addAction(text);
        connect(action, &QAction::triggered, this, [this, path] { platform::Guard([&] { AskAndOpen(path); }); });
    }
    recentMenu_->setEnabled(!recent_.Files().isEmpty());
}

// ---- Window events -----------------------------------------------------------------

void HexWindow::closeEvent(QCloseEvent* event)
{
    bool mayClose = false;
    platform::Guard([&] { mayClose = MaySwitchDocument(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    QSettings(kSettingsOrganization, kSettingsApplication).setValue(QStringLiteral("window/geometry"), saveGeometry());
    event->accept();
}

void HexWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void HexWindow::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The question about unsaved changes is a modal dialog: it waits until
    // the drag has ended.
    QTimer::singleShot(0, this, [this, path] { platform::Guard([&] { AskAndOpen(path); }); });
}

bool HexWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editor_ && event->type() == QEvent::ShortcutOverride) {
        if (forwardingKey_) {
            event->accept();  // the key goes to the editor, not to a shortcut
            return true;
        }
        UpdateActions();
    }
    return QMainWindow::eventFilter(watched, event);
}

void HexWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        ApplyPalette();
    QMainWindow::changeEvent(event);
}

// ---- State shown -------------------------------------------------------------------

void HexWindow::UpdateState()
{
    UpdateTitle();
    UpdateStatus();
    UpdateActions();
    valuePanel_->Refresh();
}

void HexWindow::UpdateTitle()
{
    const QString name = IsUntitled() ? QStringLiteral("Unbenannt") : QFileInfo(DocumentPath()).fileName();
    setWindowTitle(name + QStringLiteral("[*] – Klangheber Hex"));
    setWindowModified(editor_->Modified());
}

void HexWindow::UpdateStatus()
{
    const std::int32_t caret = editor_->CaretPosition();
    caretLabel_->setText(QStringLiteral("Offset %1 (%2)").arg(Hex(caret), Number(caret)));
    const std::int32_t length = editor_->SelLength();
    if (length > 0) {
        const std::int32_t first = std::min(editor_->SelStart(), editor_->SelEnd());
        selectionLabel_->setText(
            QStringLiteral("Auswahl ab %1 (%2), Länge %3").arg(Hex(first), Number(first), Number(length)));
    } else {
        selectionLabel_->setText(QStringLiteral("Keine Auswahl"));
    }
    sizeLabel_->setText(QStringLiteral("Größe %1 Bytes").arg(Number(editor_->DataSize())));
    QString modified = editor_->Modified() ? QStringLiteral("Geändert") : QStringLiteral("Unverändert");
    if (!IsUntitled() && editor_->FileIsReadOnly())
        modified += QStringLiteral(", schreibgeschützt");
    modifiedLabel_->setText(modified);
    const bool inserting = editor_->InsertState() && editor_->AllowInsertMode();
    modeLabel_->setText(inserting ? QStringLiteral("Einfügen") : QStringLiteral("Überschreiben"));
    translationLabel_->setText(TranslationName(editor_->Translation()));
}

void HexWindow::UpdateActions()
{
    undoAction_->setEnabled(editor_->CanUndo());
    undoAction_->setText(editor_->CanUndo() ? QStringLiteral("&Rückgängig: ") + QString::fromStdString(editor_->UndoDescription())
                                            : QStringLiteral("&Rückgängig"));
    redoAction_->setEnabled(editor_->CanRedo());
    redoAction_->setText(editor_->CanRedo() ? QStringLiteral("&Wiederherstellen: ") +
                                                  QString::fromStdString(editor_->RedoDescription())
                                            : QStringLiteral("&Wiederherstellen"));
    const bool selected = editor_->SelLength() > 0;
    cutAction_->setEnabled(selected);
    copyAction_->setEnabled(selected);
    insertAction_->setChecked(editor_->InsertState());
    // A new document without a byte has nothing to save.
    const bool savable = !(IsUntitled() && editor_->DataSize() == 0);
    saveAction_->setEnabled(savable);
    saveAsAction_->setEnabled(savable);
}

}  // namespace hexwindow
