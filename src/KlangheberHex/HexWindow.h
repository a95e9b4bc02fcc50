// Klangheber Hex's main window: one THexEditor with the menus Datei,
// Bearbeiten, Suchen, Ansicht and Lesezeichen, a status bar, the recent
// files and remembered window and view settings (QSettings), opening files
// dropped on it, and a question before changes are lost.
#pragma once

#include "KlangheberHex/RecentFiles.h"

#include <QMainWindow>
#include <QKeySequence>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMenu;
class THexEditor;

namespace hexwindow {

class FindDialog;
class ReplaceDialog;
struct SearchPattern;
class ValuePanel;

// Files from 2 GiB on are beyond the editor.
constexpr std::int64_t kMaxFileSize = 0x7FFFFFFF;
// Copying more than this to the clipboard is refused (the hex text for
// other programs is three times as long).
constexpr std::int32_t kMaxClipboardBytes = 64 * 1024 * 1024;

// Where the window keeps its settings: QSettings(kSettingsOrganization,
// kSettingsApplication), ~/.config/Klangheber/klangheber-hex.conf.
inline constexpr char kSettingsOrganization[] = "Klangheber";
inline constexpr char kSettingsApplication[] = "klangheber-hex";

// Names shown for the editor's translations (ttAnsi ... ttEBCDIC) in the
// status bar.
QString TranslationName(int translation);

class HexWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HexWindow(QWidget* parent = nullptr);
    ~HexWindow() override;

    THexEditor& Editor() { return *editor_; }

    // Opens a file without asking about the current document; shows a
    // message and returns false when it cannot be opened.
    bool OpenFile(const QString& path);
    // Asks whether to save a changed document; false when the user cancels
    // (or the save fails), so the document must stay.
    bool MaySwitchDocument();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction (HexWindow.cpp).
    void CreateMenus();
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateSearchMenu();
    void CreateBookmarkMenu();
    void CreateStatusBar();
    // A menu entry whose handler runs inside platform::Guard.
    QAction* AddAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                       std::function<void()> handler);
    void ShowError(const QString& text);
    void ShowInfo(const QString& text);

    // Documents (HexWindow.cpp).
    void Open();
    bool Save();
    bool SaveAs();
    bool SaveTo(const QString& path);
    // Runs a load or a save of the file under the hourglass. Success makes
    // it the newest recent file; a failure shows the message (with %1 for
    // the file).
    bool RunFileStep(const QString& absolute, const QString& failure,
                     const std::function<bool(const std::string&)>& step);
    // Asks about unsaved changes, then opens the file.
    void AskAndOpen(const QString& path);
    void RebuildRecentMenu();
    bool IsUntitled() const;
    QString DocumentPath() const;
    QString StartFolder() const;

    // State shown in title, menus and status bar (HexWindow.cpp).
    void UpdateState();
    void UpdateTitle();
    void UpdateStatus();
    void UpdateActions();

    // Editing, search, go to and bookmarks (HexWindowEdit.cpp).
    void Undo();
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();
    void ToggleInsertMode();
    void Find();
    void FindNext();
    // Searches the Find dialog's pattern from a position on (backwards: the
    // last hit starting there or before) and selects the hit.
    void RunSearch(std::int32_t from, bool backwards = false);
    void GoToOffset();
    void SendKeyToEditor(int key, Qt::KeyboardModifiers modifiers);
    bool CopySelection();
    void SelectBytes(std::int32_t first, std::int32_t count);

    // Redo, find previous, replace and the value panel (HexWindowTools.cpp).
    void Redo();
    void FindPrevious();
    // Selects the hit of a pattern nearest from a position on in one
    // direction; at the end of the file asks whether to go on from the other
    // end. False when there is none (after saying so).
    bool SearchAndSelect(const SearchPattern& pattern, const QString& text, std::int32_t from, bool backwards);
    bool AskYesNo(const QString& text);
    void Replace();
    void ReplaceNext();
    void ReplaceEverything();
    // The replace dialog and the value panel.
    void CreateToolWindows();

    // View and settings (HexWindowView.cpp).
    void CreateViewMenu();
    void ChooseOtherBytesPerLine();
    void ApplyPalette();
    void LoadSettings();
    void SaveViewSettings();
    void SaveRecentFiles();
    void SyncViewActions();

    THexEditor* editor_;
    FindDialog* findDialog_;
    ReplaceDialog* replaceDialog_ = nullptr;
    ValuePanel* valuePanel_ = nullptr;
    QDockWidget* valueDock_ = nullptr;
    bool searched_ = false;
    bool forwardingKey_ = false;
    RecentFiles recent_;

    QMenu* recentMenu_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* cutAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* insertAction_ = nullptr;
    QActionGroup* translationGroup_ = nullptr;
    QActionGroup* bytesPerLineGroup_ = nullptr;
    QActionGroup* offsetGroup_ = nullptr;
    QActionGroup* bytesPerColumnGroup_ = nullptr;

    QLabel* caretLabel_ = nullptr;
    QLabel* selectionLabel_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QLabel* modifiedLabel_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QLabel* translationLabel_ = nullptr;
};

}  // namespace hexwindow
