// SPDX-License-Identifier: GPL-3.0-or-later
// The window's frame: menus Datei, Bearbeiten, Suchen, Lesezeichen and
// Hilfe, the status bar, dropped files, the end without a question on a
// termination signal, and the title, menu and status texts that follow the
// editor's state.
#include "KlangheberHex/HexWindow.h"

#include "KlangheberHex/FileNames.h"
#include "KlangheberHex/FindDialog.h"
#include "KlangheberHex/ValuePanel.h"
#include "hexeditor/hexeditor.h"
#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace hexwindow {

namespace {

QString Hex(std::int64_t value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper();
}

// The first local file among dropped URLs, or an empty string.
std::string DroppedFile(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            return UrlPathBytes(url);
    return {};
}

// The status fields' full texts, kept on the labels for FitStatusFields.
const char kFullText[] = "fullText";
// Room around a field's text: the label's frame and the bar's spacing.
constexpr int kFieldPadding = 16;

}  // namespace

QString Number(std::int64_t value)
{
    return QLocale(QLocale::German).toString(static_cast<qlonglong>(value));
}

QString Quoted(const QString& path)
{
    return QStringLiteral("„%1“").arg(ShownPath(path));
}

HexWindow::HexWindow(QWidget* parent)
    : QMainWindow(parent), editor_(new THexEditor(this)), findDialog_(new FindDialog(this))
{
    setObjectName(QStringLiteral("HexWindow"));
    setAcceptDrops(true);
    editor_->setObjectName(QStringLiteral("HexEditor"));
    editor_->SetAllowInsertMode(true);
    editor_->NewFile(kUntitled);
    setCentralWidget(editor_);
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { platform::Guard([&] { ShowContextMenu(pos); }); });
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
    CreateHelpMenu();
}

void HexWindow::CreateFileMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Datei"));
    AddAction(menu, QStringLiteral("&Neu"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewDocument(); });
    AddAction(menu, QStringLiteral("Ö&ffnen…"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { Open(); });
    reloadAction_ = AddAction(menu, QStringLiteral("Neu &laden"), QKeySequence(Qt::Key_F5), [this] { Reload(); });
    saveAction_ =
        AddAction(menu, QStringLiteral("&Speichern"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { Save(); });
    saveAsAction_ = AddAction(menu, QStringLiteral("Speichern &unter…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                              [this] { SaveAs(); });
    AddAction(menu, QStringLiteral("Schl&ießen"), QKeySequence(Qt::CTRL | Qt::Key_W), [this] { NewDocument(); });
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
    copyHexAction_ = AddAction(menu, QStringLiteral("Kopieren als &Hex-Text"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                               [this] { CopyAsText(FormatHexBytes); });
    copyCArrayAction_ = AddAction(menu, QStringLiteral("Kopieren als &C-Array"), {}, [this] { CopyAsText(FormatCArray); });
    pasteAction_ = AddAction(menu, QStringLiteral("&Einfügen"), QKeySequence(Qt::CTRL | Qt::Key_V), [this] { Paste(); });
    deleteAction_ = AddAction(menu, QStringLiteral("&Löschen"), {}, [this] { DeleteSelected(); });
    menu->addSeparator();
    selectAllAction_ =
        AddAction(menu, QStringLiteral("Alles &auswählen"), QKeySequence(Qt::CTRL | Qt::Key_A), [this] { SelectAll(); });
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
    goToAction_ =
        AddAction(menu, QStringLiteral("&Gehe zu Offset…"), QKeySequence(Qt::CTRL | Qt::Key_G), [this] { GoToOffset(); });
}

void HexWindow::CreateHelpMenu()
{
    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    AddAction(menu, QStringLiteral("Ü&ber Klangheber Hex…"), {}, [this] { ShowAbout(); });
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
        // FitStatusFields decides what fits; the fields never hold the
        // window wider than it is.
        label->setMinimumWidth(1);
        statusBar()->addWidget(label);
        return label;
    };
    // In the order of their importance: the last ones give way first.
    caretLabel_ = add("caretStatus");
    selectionLabel_ = add("selectionStatus");
    lengthLabel_ = add("lengthStatus");
    sizeLabel_ = add("sizeStatus");
    readOnlyLabel_ = add("readOnlyStatus");
    modifiedLabel_ = add("modifiedStatus");
    modeLabel_ = add("modeStatus");
    translationLabel_ = add("translationStatus");
    statusBar()->installEventFilter(this);
}

// ---- Window events -----------------------------------------------------------------

void HexWindow::closeEvent(QCloseEvent* event)
{
    // A termination signal ends the program without a question, as the
    // converter ends; the editor removes its working copy.
    bool mayClose = platform::Application().TerminationSignal() != 0;
    if (!mayClose)
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
    if (!DroppedFile(event->mimeData()).empty())
        event->acceptProposedAction();
}

void HexWindow::dropEvent(QDropEvent* event)
{
    const std::string path = DroppedFile(event->mimeData());
    if (path.empty())
        return;
    event->acceptProposedAction();
    // The question about unsaved changes is a modal dialog: it waits until
    // the drag has ended.
    QTimer::singleShot(0, this, [this, path] { platform::Guard([&] { AskAndOpen(path); }); });
}

bool HexWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statusBar() && event->type() == QEvent::Resize)
        FitStatusFields();
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
    const QString name =
        IsUntitled() ? QStringLiteral("Unbenannt") : ShownPath(PathText(platform::ExtractFileName(DocumentBytes())));
    setWindowTitle(name + QStringLiteral("[*] – Klangheber Hex"));
    setWindowModified(editor_->Modified());
}

void HexWindow::UpdateStatus()
{
    const std::int32_t caret = editor_->InsertionPoint();
    caretLabel_->setProperty(kFullText, QStringLiteral("Offset %1 (%2)").arg(Hex(caret), Number(caret)));
    const std::int32_t length = editor_->SelLength();
    if (length > 0) {
        const std::int32_t first = std::min(editor_->SelStart(), editor_->SelEnd());
        selectionLabel_->setProperty(kFullText, QStringLiteral("Auswahl ab %1 (%2)").arg(Hex(first), Number(first)));
        lengthLabel_->setProperty(kFullText, QStringLiteral("Länge %1").arg(Number(length)));
    } else {
        selectionLabel_->setProperty(kFullText, QStringLiteral("Keine Auswahl"));
        lengthLabel_->setProperty(kFullText, QString());
    }
    sizeLabel_->setProperty(kFullText, QStringLiteral("Größe %1 Bytes").arg(Number(editor_->DataSize())));
    readOnlyLabel_->setProperty(
        kFullText, writeRefusal_.isEmpty() ? QString() : writeRefusal_ + QStringLiteral(", nur „Speichern unter“"));
    modifiedLabel_->setProperty(kFullText,
                                editor_->Modified() ? QStringLiteral("Geändert") : QStringLiteral("Unverändert"));
    const bool inserting = editor_->InsertState() && editor_->AllowInsertMode();
    modeLabel_->setProperty(kFullText, inserting ? QStringLiteral("Einfügen") : QStringLiteral("Überschreiben"));
    translationLabel_->setProperty(kFullText, TranslationName(editor_->Translation()));
    FitStatusFields();
}

void HexWindow::FitStatusFields()
{
    const QLabel* withNumbers[] = {caretLabel_, selectionLabel_, lengthLabel_, sizeLabel_};
    int room = statusBar()->contentsRect().width() - 2 * kFieldPadding;  // the size grip
    for (QLabel* label : {caretLabel_, selectionLabel_, lengthLabel_, sizeLabel_, readOnlyLabel_, modifiedLabel_,
                          modeLabel_, translationLabel_}) {
        const QString text = label->property(kFullText).toString();
        if (text.isEmpty()) {
            label->setVisible(false);
            continue;
        }
        const QFontMetrics metrics = label->fontMetrics();
        const int needed = metrics.horizontalAdvance(text) + kFieldPadding;
        const bool numbers = std::find(std::begin(withNumbers), std::end(withNumbers), label) != std::end(withNumbers);
        QString shown = text;
        if (needed > room) {
            const int left = room - kFieldPadding;
            shown = numbers || left < metrics.horizontalAdvance(QStringLiteral("Wo…"))
                        ? QString()
                        : metrics.elidedText(text, Qt::ElideRight, left);
        }
        room = shown == text ? room - needed : 0;
        label->setText(shown);
        label->setVisible(!shown.isEmpty());
    }
}

void HexWindow::UpdateActions()
{
    undoAction_->setEnabled(editor_->CanUndo());
    undoAction_->setText(editor_->CanUndo() ? QStringLiteral("&Rückgängig: ") + UndoStepName(editor_->UndoDescription())
                                            : QStringLiteral("&Rückgängig"));
    redoAction_->setEnabled(editor_->CanRedo());
    redoAction_->setText(editor_->CanRedo() ? QStringLiteral("&Wiederherstellen: ") +
                                                  UndoStepName(editor_->RedoDescription())
                                            : QStringLiteral("&Wiederherstellen"));
    const bool selected = editor_->SelLength() > 0;
    for (QAction* action : {cutAction_, copyAction_, copyHexAction_, copyCArrayAction_, deleteAction_})
        action->setEnabled(selected);
    insertAction_->setChecked(editor_->InsertState());
    reloadAction_->setEnabled(!IsUntitled());
    // A new document without a byte has nothing to save.
    const bool savable = !(IsUntitled() && editor_->DataSize() == 0);
    saveAction_->setEnabled(savable);
    saveAsAction_->setEnabled(savable);
}

}  // namespace hexwindow
