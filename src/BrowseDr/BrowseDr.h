// SPDX-License-Identifier: GPL-3.0-or-later
// TzebBrowseDirectoryDlg: a non-visual component around the shell's modal
// browse-for-folder dialog. The owner sets the properties, calls Execute and,
// on true, reads the chosen folder from Selection or SelectionFullPath. While
// the dialog is open the component centres it, sets the initial selection,
// keeps the status line (optionally fitted to the status control's width),
// enables or disables OK, sets the caption and forwards selection changes and
// rejected edit-box entries to its events.
#pragma once

#include "platform/shell/Shell.h"
#include "platform/widgets/Events.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

// Top of the folder tree.
enum TRootID : std::uint8_t {
    idDesktop,
    idInternet,
    idPrograms,
    idControlPanel,
    idPrinters,
    idPersonal,
    idFavorites,
    idStartup,
    idRecent,
    idSendTo,
    idRecycleBin,
    idStartMenu,
    idDesktopDirectory,
    idDrives,
    idNetwork,
    idNetHood,
    idFonts,
    idTemplates,
    idCommonStartMenu,
    idCommonPrograms,
    idCommonStartup,
    idCommonDesktopDirectory,
    idAppData,
    idPrintHood,
    idDesktopExpanded,
};

enum TBrowseFlag : std::uint8_t {
    bfDirectoriesOnly,
    bfDomainOnly,
    bfAncestors,
    bfComputers,
    bfPrinters,
    bfIncludeFiles,
    bfEditBox,
    bfIncludeURLs,
    bfNewDialogStyle,
    bfShareable,
    bfUseNewUI,
};

// A set of TBrowseFlag, member n at bit n.
class TBrowseFlags {
public:
    constexpr TBrowseFlags() = default;
    constexpr TBrowseFlags(std::initializer_list<TBrowseFlag> flags)
    {
        for (TBrowseFlag f : flags)
            bits_ |= Bit(f);
    }
    static constexpr TBrowseFlags FromBits(std::uint16_t bits)
    {
        TBrowseFlags set;
        set.bits_ = bits & 0x07FF;
        return set;
    }
    constexpr bool Contains(TBrowseFlag f) const { return (bits_ & Bit(f)) != 0; }
    constexpr void Include(TBrowseFlag f) { bits_ |= Bit(f); }
    constexpr bool Empty() const { return bits_ == 0; }
    friend constexpr bool operator==(TBrowseFlags, TBrowseFlags) = default;

private:
    static constexpr std::uint16_t Bit(TBrowseFlag f) { return static_cast<std::uint16_t>(1u << f); }
    std::uint16_t bits_ = 0;
};

class TzebBrowseDirectoryDlg;


// NewSelPIDL belongs to the dialog and is valid only during the call.
using TBDSelChangedEvent =
    std::function<void(TzebBrowseDirectoryDlg* sender, std::string newSel, platform::LPCITEMIDLIST newSelPIDL)>;
// Cancel is False on entry; True dismisses the dialog.
using TBDValidateFailedEvent = std::function<void(TzebBrowseDirectoryDlg* sender, std::string path, bool& cancel)>;

class TzebBrowseDirectoryDlg : public QObject {
public:
    // The owner is the component's owner (a form, usually); a widget owner
    // also owns the dialog window.
    explicit TzebBrowseDirectoryDlg(QObject* owner = nullptr);
    ~TzebBrowseDirectoryDlg() override;

    // The dialog window exists (BFFM_INITIALIZED).
    virtual void DoInitialized(platform::HWND wnd);
    // The tree's selection changed (BFFM_SELCHANGED).
    virtual void DoSelChanged(platform::HWND wnd, platform::LPITEMIDLIST pidl);
    // The edit box holds a name the shell cannot resolve (BFFM_VALIDATEFAILEDA).
    virtual void DoValidateFailed(const std::string& path, bool& cancel);
    // Shows the dialog modally; true when the user chose an item with OK.
    virtual bool Execute();

    // The full path of the chosen item (its parsing name), falling back to
    // the name the dialog returned and then to Selection.
    std::string SelectionFullPath() const;

    // ---- Published properties ----
    std::string Version() const { return "TzebBrowseDirectoryDlg v2.62"; }
    const std::string& Selection() const { return selection_; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value) { title_ = value; }
    TRootID Root() const { return root_; }
    TBrowseFlags Options() const { return options_; }
    const std::string& StatusText() const { return statusText_; }
    void SetStatusText(const std::string& value);
    void SetShowSelectionInStatus(bool value) { showSelectionInStatus_ = value; }

    TBDSelChangedEvent OnSelChanged;
    // Raised when the dialog window has been initialised.
    TNotifyEvent OnCreate;
    TBDValidateFailedEvent OnValidateFailed;

protected:
    // The published properties the programs leave at their defaults.
    void SetVersion(const std::string&) {}
    void SetSelection(const std::string& value);
    void SetRoot(TRootID value) { root_ = value; }
    void SetOptions(TBrowseFlags value);
    bool Center() const { return center_; }
    void SetCenter(bool value) { center_ = value; }
    bool FitStatusText() const { return fitStatusText_; }
    void SetFitStatusText(bool value);
    bool EnableOKButton() const { return enableOKButton_; }
    void SetEnableOKButton(bool value);
    std::int32_t ImageIndex() const { return imageIndex_; }
    std::string Caption() const;
    void SetCaption(const std::string& value);
    bool ShowSelectionInStatus() const { return showSelectionInStatus_; }

    // ---- State after Execute ----
    platform::LPCITEMIDLIST SelectionPIDL() const { return selectionPIDL_; }
    const std::string& ReturnedName() const { return returnedName_; }
    // Design-time state: no owner window is used for the dialog.
    void SetDesigning(bool value) { designing_ = value; }

private:
    void SetSelectionPIDL(platform::LPITEMIDLIST value);
    void SendSelection();
    std::string FittedStatusText() const;
    platform::HWND FindStatusControl() const;
    void RevealHiddenControls();
    QWidget* ChooseOwnerControl() const;

    platform::HWND dialogWindow_ = nullptr;
    QPointer<QWidget> ownerWindow_;
    platform::IMalloc* shellMalloc_ = nullptr;
    platform::LPITEMIDLIST selectionPIDL_ = nullptr;
    std::string returnedName_;
    std::string caption_;

    std::string selection_;
    std::string title_;
    TRootID root_ = idDesktop;
    TBrowseFlags options_;
    bool center_ = true;
    std::string statusText_;
    bool fitStatusText_ = true;
    bool enableOKButton_ = true;
    std::int32_t imageIndex_ = -1;
    bool showSelectionInStatus_ = false;
    bool designing_ = false;
};

// ---- Unit routines ----

// The shell special-folder id for a root: the first column of the table on
// the NT family (platform id 2), the second on any other platform.
int RootToFolderID(TRootID root);
int RootToFolderID(TRootID root, platform::DWORD platformId);
// The shell's BIF_ bits for a flag set.
platform::UINT OptionsToBrowseFlags(TBrowseFlags options);

// Shows the shell dialog and converts its answer. Returns whether an item was
// chosen; path, selected (the returned list, the caller's), returnedName and
// imageIndex describe it.
bool BrowseForFolder(platform::IMalloc* shellMalloc, TRootID root, TBrowseFlags options, const std::string& title,
                     QWidget* ownerControl, bool statusText, platform::BFFCALLBACK callback, platform::LPARAM data,
                     std::string& path, platform::LPITEMIDLIST& selected, std::string& returnedName,
                     std::int32_t& imageIndex);
int BrowseCallback(platform::HWND wnd, platform::UINT msg, platform::LPARAM lParam, platform::LPARAM data);

int SystemIconIndex(const std::string& path);
bool IsDirectory(const std::string& path);
std::string StripTrailingBackslash(const std::string& path);
std::string NormalizeSelectionPath(const std::string& s);

// Width of a text in pixels in a font.
int MeasureText(const QFont& font, const std::string& s);
using TextMeasure = std::function<int(const std::string&)>;
std::string DropLeadingFolder(const std::string& d);
// Shortens a path from the left, keeping the file name, until it fits the
// control's width measured in the control's font.
std::string FitPath(platform::HWND control, const std::string& s);
std::string FitPath(int width, const TextMeasure& measure, const std::string& s);
// Cuts a text from the right, ending it with "...", until it fits.
std::string FitText(platform::HWND control, const std::string& s);
std::string FitText(int width, const TextMeasure& measure, const std::string& s);
