// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrowseDr/BrowseDr.h"
#include "BrowseDr/CriticalErrorsOff.h"

#include "platform/system/FileUtils.h"
#include "platform/widgets/Application.h"

#include <QFile>
#include <QFontMetrics>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cctype>
#include <cstring>

using namespace platform;

namespace {

// Folder ids per root: the NT column, then the column for other platforms.
constexpr int kFolderIds[25][2] = {
    {CSIDL_DESKTOP, CSIDL_DESKTOP},
    {CSIDL_INTERNET, CSIDL_INTERNET},
    {CSIDL_PROGRAMS, CSIDL_PROGRAMS},
    {CSIDL_CONTROLS, CSIDL_CONTROLS},
    {CSIDL_PRINTERS, CSIDL_PRINTERS},
    {CSIDL_PERSONAL, CSIDL_PERSONAL},
    {CSIDL_FAVORITES, CSIDL_FAVORITES},
    {CSIDL_STARTUP, CSIDL_STARTUP},
    {CSIDL_RECENT, CSIDL_RECENT},
    {CSIDL_SENDTO, CSIDL_SENDTO},
    {CSIDL_BITBUCKET, CSIDL_BITBUCKET},
    {CSIDL_STARTMENU, CSIDL_STARTMENU},
    {CSIDL_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY},
    {CSIDL_DRIVES, CSIDL_DRIVES},
    {CSIDL_NETWORK, CSIDL_NETWORK},
    {CSIDL_NETHOOD, CSIDL_NETHOOD},
    {CSIDL_FONTS, CSIDL_FONTS},
    {CSIDL_TEMPLATES, CSIDL_TEMPLATES},
    {CSIDL_COMMON_STARTMENU, CSIDL_STARTMENU},
    {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS},
    {CSIDL_COMMON_STARTUP, CSIDL_STARTUP},
    {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY},
    {CSIDL_APPDATA, CSIDL_APPDATA},
    {CSIDL_PRINTHOOD, CSIDL_PRINTHOOD},
    {0xFEFE, 0xFEFE},
};

// BIF_ bits per flag, in flag order.
constexpr UINT kBrowseFlagBits[11] = {
    BIF_RETURNONLYFSDIRS,  BIF_DONTGOBELOWDOMAIN, BIF_RETURNFSANCESTORS, BIF_BROWSEFORCOMPUTER,
    BIF_BROWSEFORPRINTER,  BIF_BROWSEINCLUDEFILES, BIF_EDITBOX,          BIF_BROWSEINCLUDEURLS,
    BIF_NEWDIALOGSTYLE,    BIF_SHAREABLE,          BIF_USENEWUI,
};

// Parses a path with the desktop folder: the list on success, else null.
// A path longer than the shell's 260 characters is not parsed at all, rather
// than parsed cut short (which could name a different folder).
LPITEMIDLIST ParsePath(IShellFolder* desktop, HWND owner, const std::string& path)
{
    const std::u16string name = PathToWide(path);
    if (name.size() > MAX_PATH)
        return nullptr;
    ULONG eaten = 0;
    ULONG attributes = 0;
    LPITEMIDLIST list = nullptr;
    if (!SUCCEEDED(desktop->ParseDisplayName(owner, nullptr, name.c_str(), &eaten, &list, &attributes)))
        return nullptr;
    return list;
}


struct StatusSearch {
    HWND found = nullptr;
};

BOOL FindStatusProc(HWND wnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<StatusSearch*>(lParam);
    if (GetWindowLong(wnd, GWL_ID) == kBrowseStatusId) {
        search->found = wnd;
        return 0;
    }
    return 1;
}

BOOL RevealProc(HWND wnd, LPARAM)
{
    if (!IsWindowVisible(wnd)) {
        ShowWindow(wnd, SW_SHOW);
        EnableWindow(wnd, 1);
        SendMessage(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("foo"));
    }
    return 1;
}

}  // namespace

// ---- Unit routines -------------------------------------------------------------

int RootToFolderID(TRootID root, DWORD platformId)
{
    if (root > idDesktopExpanded)
        return CSIDL_DESKTOP;
    return kFolderIds[root][platformId == VER_PLATFORM_WIN32_NT ? 0 : 1];
}

int RootToFolderID(TRootID root)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return RootToFolderID(root, version.dwPlatformId);
}

UINT OptionsToBrowseFlags(TBrowseFlags options)
{
    UINT flags = 0;
    for (int f = bfDirectoriesOnly; f <= bfUseNewUI; ++f)
        if (options.Contains(static_cast<TBrowseFlag>(f)))
            flags |= kBrowseFlagBits[f];
    return flags;
}

int SystemIconIndex(const std::string& path)
{
    SHFILEINFOA info{};
    SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX);
    return info.iIcon;
}


bool BrowseForFolder(IMalloc* shellMalloc, TRootID root, TBrowseFlags options, const std::string& title,
                     QWidget* ownerControl, bool statusText, BFFCALLBACK callback, LPARAM data, std::string& path,
                     LPITEMIDLIST& selected, std::string& returnedName, std::int32_t& imageIndex)
{
    path.clear();
    selected = nullptr;
    HWND owner = ownerControl ? HandleOf(ownerControl) : nullptr;

    auto* buffer = static_cast<char*>(shellMalloc->Alloc(MAX_PATH));
    if (!buffer)
        return false;
    buffer[0] = '\0';
    CoInitialize(nullptr);
    LPITEMIDLIST rootList = nullptr;
    struct Cleanup {
        IMalloc* malloc;
        LPITEMIDLIST& rootList;
        char* buffer;
        ~Cleanup()
        {
            malloc->Free(rootList);
            malloc->Free(buffer);
            CoUninitialize();
        }
    } cleanup{shellMalloc, rootList, buffer};

    // A failure leaves the root null, which the dialog takes as the desktop.
    SHGetSpecialFolderLocation(owner, RootToFolderID(root), &rootList);

    BROWSEINFOA info;
    info.hwndOwner = owner;
    info.pidlRoot = rootList;
    info.pszDisplayName = buffer;
    info.lpszTitle = title.c_str();
    info.ulFlags = OptionsToBrowseFlags(options);
    if (options.Contains(bfEditBox))
        info.ulFlags |= BIF_VALIDATE;
    if (statusText)
        info.ulFlags |= BIF_STATUSTEXT;
    info.lpfn = callback;
    info.lParam = data;
    info.iImage = -1;

    {
        CriticalErrorsOff errorMode;
        selected = SHBrowseForFolderA(&info);
    }

    bool result = false;
    if (selected) {
        if (options.Contains(bfComputers)) {
            path = std::string("//") + buffer;
            if (SHGetPathFromIDListA(selected, buffer))
                path = buffer;
            result = true;
        } else {
            result = SHGetPathFromIDListA(selected, buffer) != 0;
            path = buffer;
        }
        imageIndex = result && info.iImage == -1 ? SystemIconIndex(path) : info.iImage;
    }
    if (!result)
        result = selected != nullptr;
    if (result)
        returnedName = buffer;
    return result;
}

int BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data)
{
    auto* dialog = reinterpret_cast<TzebBrowseDirectoryDlg*>(data);
    if (!dialog)
        return 0;
    switch (msg) {
    case BFFM_INITIALIZED:
        dialog->DoInitialized(wnd);
        return 0;
    case BFFM_SELCHANGED:
        dialog->DoSelChanged(wnd, reinterpret_cast<LPITEMIDLIST>(lParam));
        return 0;
    case BFFM_VALIDATEFAILEDA: {
        bool cancel = false;
        const char* text = reinterpret_cast<const char*>(lParam);
        dialog->DoValidateFailed(text ? text : "", cancel);
        return cancel ? 0 : 1;
    }
    default:
        return 0;
    }
}

// ---- The component -------------------------------------------------------------

TzebBrowseDirectoryDlg::TzebBrowseDirectoryDlg(QObject* owner) : QObject(owner)
{
    if (owner) {
        if (auto* widget = qobject_cast<QWidget*>(owner))
            ownerWindow_ = widget;
        else
            ownerWindow_ = Application().MainForm();
    }
    SHGetMalloc(&shellMalloc_);
}

TzebBrowseDirectoryDlg::~TzebBrowseDirectoryDlg()
{
    if (selectionPIDL_)
        shellMalloc_->Free(selectionPIDL_);
    shellMalloc_->Release();
}

QWidget* TzebBrowseDirectoryDlg::ChooseOwnerControl() const
{
    if (designing_)
        return nullptr;
    if (ownerWindow_)
        return ownerWindow_;
    if (QObject* owner = parent()) {
        if (auto* widget = qobject_cast<QWidget*>(owner))
            return widget;
        return Application().MainForm();
    }
    return nullptr;
}

bool TzebBrowseDirectoryDlg::Execute()
{
    returnedName_.clear();
    QWidget* owner = ChooseOwnerControl();
    std::string path;
    LPITEMIDLIST selected = nullptr;
    bool result;
    {
        struct CloseWindow {
            HWND& window;
            ~CloseWindow() { window = nullptr; }
        } close{dialogWindow_};
        result = BrowseForFolder(shellMalloc_, root_, options_, title_, owner,
                                 !statusText_.empty() || showSelectionInStatus_, BrowseCallback,
                                 reinterpret_cast<LPARAM>(this), path, selected, returnedName_, imageIndex_);
    }
    if (result) {
        selection_ = path;
        SetSelectionPIDL(selected);
    } else {
        selection_.clear();
        SetSelectionPIDL(nullptr);
    }
    return result;
}

void TzebBrowseDirectoryDlg::SetSelectionPIDL(LPITEMIDLIST value)
{
    if (value != selectionPIDL_)
        shellMalloc_->Free(selectionPIDL_);
    selectionPIDL_ = value;
}

std::string TzebBrowseDirectoryDlg::SelectionFullPath() const
{
    std::string result;
    IShellFolder* desktop = nullptr;
    if (selectionPIDL_ && SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        STRRET name{};
        if (SUCCEEDED(desktop->GetDisplayNameOf(selectionPIDL_, SHGDN_FORPARSING, &name))) {
            switch (name.uType) {
            case STRRET_WSTR:
                if (name.pOleStr) {
                    result = WideToPath(name.pOleStr);
                    shellMalloc_->Free(name.pOleStr);
                }
                break;
            case STRRET_OFFSET:
                result = reinterpret_cast<const char*>(selectionPIDL_) + name.uOffset;
                break;
            case STRRET_CSTR:
                result = std::string(name.cStr, strnlen(name.cStr, sizeof name.cStr));
                break;
            default:
                break;
            }
        }
        desktop->Release();
    }
    if (result.empty())
        result = returnedName_;
    if (result.empty())
        result = selection_;
    return result;
}

void TzebBrowseDirectoryDlg::SetOptions(TBrowseFlags value)
{
    if (value == options_)
        return;
    options_ = value;
    if (options_.Contains(bfIncludeURLs)) {
        options_.Include(bfIncludeFiles);
        options_.Include(bfUseNewUI);
    }
    if (options_.Contains(bfShareable))
        options_.Include(bfUseNewUI);
    if (options_.Contains(bfUseNewUI)) {
        options_.Include(bfEditBox);
        options_.Include(bfNewDialogStyle);
    }
}

void TzebBrowseDirectoryDlg::SetSelection(const std::string& value)
{
    if (value == selection_)
        return;
    selection_ = value;
    if (!selection_.empty() && selection_.back() != '/' && IsDirectory(selection_)) {
        selection_ += '/';
    } else if (selection_.empty() && selectionPIDL_) {
        shellMalloc_->Free(selectionPIDL_);
        selectionPIDL_ = nullptr;
    }
    if (showSelectionInStatus_)
        SetStatusText(selection_);
    if (dialogWindow_)
        SendSelection();
}

void TzebBrowseDirectoryDlg::SendSelection()
{
    if (selection_.empty() && selectionPIDL_) {
        auto* buffer = static_cast<char*>(shellMalloc_->Alloc(MAX_PATH));
        if (buffer && SHGetPathFromIDListA(selectionPIDL_, buffer))
            selection_ = buffer;
        else
            selection_.clear();
        shellMalloc_->Free(buffer);
        SendMessage(dialogWindow_, BFFM_SETSELECTIONA, 0, reinterpret_cast<LPARAM>(selectionPIDL_));
        return;
    }
    IShellFolder* desktop = nullptr;
    if (!SUCCEEDED(SHGetDesktopFolder(&desktop)))
        return;
    LPITEMIDLIST parsed = ParsePath(desktop, dialogWindow_, selection_);
    desktop->Release();
    if (selection_.compare(0, 2, "//") == 0) {
        // A network path is only sent as an item list.
        if (parsed) {
            SetSelectionPIDL(parsed);
            SendMessage(dialogWindow_, BFFM_SETSELECTIONA, 0, reinterpret_cast<LPARAM>(selectionPIDL_));
        }
        return;
    }
    if (parsed)
        SetSelectionPIDL(parsed);
    const std::string normalized = NormalizeSelectionPath(selection_);
    SendMessage(dialogWindow_, BFFM_SETSELECTIONA, 1, reinterpret_cast<LPARAM>(normalized.c_str()));
}

void TzebBrowseDirectoryDlg::SetStatusText(const std::string& value)
{
    if (value == statusText_)
        return;
    statusText_ = value;
    if (dialogWindow_) {
        const std::string text = FittedStatusText();
        SendMessage(dialogWindow_, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void TzebBrowseDirectoryDlg::SetFitStatusText(bool value)
{
    if (value == fitStatusText_)
        return;
    fitStatusText_ = value;
    if (dialogWindow_) {
        const std::string text = FittedStatusText();
        SendMessage(dialogWindow_, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void TzebBrowseDirectoryDlg::SetEnableOKButton(bool value)
{
    enableOKButton_ = value;
    if (dialogWindow_)
        SendMessage(dialogWindow_, BFFM_ENABLEOK, 0, value ? 1 : 0);
}

std::string TzebBrowseDirectoryDlg::Caption() const
{
    if (!dialogWindow_)
        return caption_;
    char buffer[256] = {};
    SendMessage(dialogWindow_, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return std::string(buffer, strnlen(buffer, sizeof buffer - 1));
}

void TzebBrowseDirectoryDlg::SetCaption(const std::string& value)
{
    caption_ = value;
    if (dialogWindow_)
        SendMessage(dialogWindow_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption_.c_str()));
}

HWND TzebBrowseDirectoryDlg::FindStatusControl() const
{
    if (!dialogWindow_)
        return nullptr;
    StatusSearch search;
    EnumChildWindows(dialogWindow_, FindStatusProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TzebBrowseDirectoryDlg::FittedStatusText() const
{
    if (!fitStatusText_)
        return statusText_;
    HWND control = FindStatusControl();
    if (!control || statusText_.empty())
        return statusText_;
    if (IsDirectory(statusText_))
        return FitPath(control, statusText_);
    return FitText(control, statusText_);
}

void TzebBrowseDirectoryDlg::RevealHiddenControls()
{
    if (dialogWindow_)
        EnumChildWindows(dialogWindow_, RevealProc, 0);
}

void TzebBrowseDirectoryDlg::DoInitialized(HWND wnd)
{
    dialogWindow_ = wnd;
    if (center_) {
        RECT rect;
        GetWindowRect(wnd, &rect);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
        SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (options_.Contains(bfNewDialogStyle) || options_.Contains(bfUseNewUI))
        RevealHiddenControls();
    SendMessage(wnd, BFFM_ENABLEOK, 0, enableOKButton_ ? 1 : 0);
    if (!statusText_.empty()) {
        const std::string text = FittedStatusText();
        SendMessage(wnd, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (!selection_.empty() || selectionPIDL_)
        SendSelection();
    if (!caption_.empty())
        SendMessage(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption_.c_str()));
    if (OnCreate)
        OnCreate(this);
}

void TzebBrowseDirectoryDlg::DoSelChanged(HWND, LPITEMIDLIST pidl)
{
    if (!showSelectionInStatus_ && !OnSelChanged)
        return;
    char buffer[MAX_PATH + 1] = {};
    SHGetPathFromIDListA(pidl, buffer);
    const std::string path(buffer);
    if (showSelectionInStatus_)
        SetStatusText(path);
    if (OnSelChanged)
        OnSelChanged(this, path, pidl);
}

void TzebBrowseDirectoryDlg::DoValidateFailed(const std::string& path, bool& cancel)
{
    if (OnValidateFailed)
        OnValidateFailed(this, path, cancel);
}
