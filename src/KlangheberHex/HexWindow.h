// SPDX-License-Identifier: GPL-3.0-or-later
// Klangheber Hex's main window: one THexEditor with the menus Datei,
// Bearbeiten, Suchen, Ansicht, Lesezeichen and Hilfe and a context menu, a
// status bar, the recent files and remembered window and view settings
// (QSettings), opening files dropped on it, and a question before changes
// are lost. File names are kept as FileNames.h describes, so that names
// that are not UTF-8 open and save as well.
#pragma once

#include "KlangheberHex/HexInput.h"
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
// Copying as hex text or as a C array takes at most this many bytes.
constexpr std::int32_t kMaxTextCopyBytes = 8 * 1024 * 1024;

// Where the window keeps its settings: QSettings(kSettingsOrganization,
// kSettingsApplication), ~/.config/Klangheber/klangheber-hex.conf.
inline constexpr char kSettingsOrganization[] = "Klangheber";
inline constexpr char kSettingsApplication[] = "klangheber-hex";

// The editor's name for a document that was never saved.
inline constexpr char kUntitled[] = "Untitled";

// A number as the window shows it: German digit grouping ("209.715.100").
QString Number(std::int64_t value);
// A file name (as FileNames.h keeps it) in German quotes, for messages.
QString Quoted(const QString& path);

// Names shown for the editor's translations (ttAnsi ... ttEBCDIC) in the
// status bar.
QString TranslationName(int translation);

class HexWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HexWindow(QWidget* parent = nullptr);
    ~HexWindow() override;

    THexEditor& Editor() { return *editor_; }

    // Opens a file (its name as bytes, any bytes) without asking about the
    // current document; shows a message and returns false when it cannot be
    // opened.
    bool OpenFile(const std::string& path);
    // The same for a name as FileNames.h keeps it.
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
    void CreateHelpMenu();
    void CreateStatusBar();
    // A menu entry whose handler runs inside platform::Guard.
    QAction* AddAction(QMenu* menu, const QString& text, const QKeySequence& shortcut,
                       std::function<void()> handler);
    void ShowError(const QString& text);
    void ShowInfo(const QString& text);

    // Documents (HexWindowFile.cpp).
    void Open();
    void NewDocument();
    void Reload();
    bool Save();
    bool SaveAs();
    // Saves under an absolute name: refused for a file the user may not
    // write; a backup that cannot be made offers to save without one; a
    // failure names its cause.
    bool SaveTo(const std::string& path);
    bool WriteDocument(const std::string& path);
    bool AskSaveWithoutBackup(const std::string& path);
    // Runs a load or a save of the file under the hourglass. Success makes
    // it the newest recent file. False when the step failed or raised (an
    // exception has been shown already; threw tells).
    bool RunFileStep(const std::string& absolute, bool& threw, const std::function<bool(const std::string&)>& step);
    // Asks about unsaved changes, then opens the file.
    void AskAndOpen(const std::string& path);
    void RebuildRecentMenu();
    bool IsUntitled() const;
    std::string DocumentBytes() const;
    QString DocumentPath() const;
    QString StartFolder() const;
    // Why the document's file may not be written (WriteRefusal), looked at
    // anew; empty for a new document.
    void RefreshWriteRefusal();

    // State shown in title, menus and status bar (HexWindow.cpp).
    void UpdateState();
    void UpdateTitle();
    void UpdateStatus();
    void UpdateActions();
    // Shows the status fields that fit, the most important first: a field
    // with a number is shown whole or not at all, a field of words is cut
    // with "…".
    void FitStatusFields();

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
    // The selected bytes, at most limit of them (false with a message when
    // there are more, or none).
    bool ReadSelection(Bytes& bytes, std::int32_t limit, const QString& tooLarge);
    void CopyAsText(const std::function<QString(const Bytes&)>& format);
    void DeleteSelected();
    void ShowContextMenu(const QPoint& pos);
    void ShowAbout();
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
    QString writeRefusal_;

    QMenu* recentMenu_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* cutAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* copyHexAction_ = nullptr;
    QAction* copyCArrayAction_ = nullptr;
    QAction* pasteAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* selectAllAction_ = nullptr;
    QAction* goToAction_ = nullptr;
    QAction* insertAction_ = nullptr;
    QActionGroup* translationGroup_ = nullptr;
    QActionGroup* bytesPerLineGroup_ = nullptr;
    QActionGroup* offsetGroup_ = nullptr;
    QActionGroup* bytesPerColumnGroup_ = nullptr;

    QLabel* caretLabel_ = nullptr;
    QLabel* selectionLabel_ = nullptr;
    QLabel* lengthLabel_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QLabel* modifiedLabel_ = nullptr;
    QLabel* readOnlyLabel_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QLabel* translationLabel_ = nullptr;
};

}  // namespace hexwindow
