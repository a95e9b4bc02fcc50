// SPDX-License-Identifier: GPL-3.0-or-later
// The shell layer behind the folder picker: the shell's task allocator and
// item id lists, the browse-for-folder dialog with its browse record and
// callback contract, special folders, the desktop folder object, file icons,
// the version query and the COM start/stop calls.
//
// An item id list is an opaque block from the shell allocator that holds one
// absolute path (or, for items outside the file system, a parsing name). The
// allocator counts its live blocks so that tests can prove nothing leaks.
//
// The process's shell objects (the allocator, the desktop folder and the
// folder dialog) are made in ShellObjects.cpp, a file of their own, so that
// another build can link objects of its own in their place.
#pragma once

#include "platform/shell/ShellWindow.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

constexpr int MAX_PATH = 260;

// ---- Allocator and item id lists ------------------------------------------

struct ITEMIDLIST;  // opaque
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// The shell's task allocator. One instance serves the process.
class IMalloc {
public:
    virtual ~IMalloc() = default;
    // A block of at least size bytes, or null when it cannot be had.
    virtual void* Alloc(std::size_t size);
    // Frees a block from Alloc; null is ignored. A pointer that is not a live
    // block is not touched and counted as a free error.
    void Free(void* block);
    ULONG AddRef();
    ULONG Release();

protected:
    // Blocks handed out and not freed, and frees of pointers that were no
    // live block.
    std::size_t LiveBlocks() const { return live_; }
    std::size_t FreeErrors() const { return freeErrors_; }

private:
    std::size_t live_ = 0;
    std::size_t freeErrors_ = 0;
    ULONG refs_ = 0;
};

// Paths are bytes; the shell's wide strings are UTF-16. Valid UTF-8 converts
// as text; every byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC00 + byte and comes back as that byte, so any path survives a
// trip through a wide string unchanged.
std::u16string PathToWide(const std::string& path);
std::string WideToPath(const char16_t* text);

// The process's allocator, which SHGetMalloc hands out.
IMalloc& ShellAllocator();
HRESULT SHGetMalloc(IMalloc** malloc);

// A new item id list for a path (not checked against the disk); null when the
// allocator fails. Free it with the allocator.
LPITEMIDLIST ILCreateFromPath(const std::string& path);
// A new item id list for an item outside the file system (a computer, a
// virtual folder): it has a parsing name and a display name but no path.
LPITEMIDLIST ILCreateVirtual(const std::string& parsingName, const std::string& displayName);
// The parsing name a list holds (its path for file-system items).
std::string ILParsingName(LPCITEMIDLIST list);
// The name shown for an item: the last path component ("/" for the root).
std::string ILDisplayName(LPCITEMIDLIST list);
bool ILIsFileSystem(LPCITEMIDLIST list);
// Offset of the parsing name's text inside the block.
constexpr UINT kItemNameOffset = 8;

// Copies the list's file-system path into a MAX_PATH-byte buffer. False,
// with an empty buffer, for a null list, an item outside the file system or a
// path that does not fit.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);

// ---- Special folders -------------------------------------------------------

constexpr int CSIDL_DESKTOP = 0x00;
constexpr int CSIDL_INTERNET = 0x01;
constexpr int CSIDL_PROGRAMS = 0x02;
constexpr int CSIDL_CONTROLS = 0x03;
constexpr int CSIDL_PRINTERS = 0x04;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_FAVORITES = 0x06;
constexpr int CSIDL_STARTUP = 0x07;
constexpr int CSIDL_RECENT = 0x08;
constexpr int CSIDL_SENDTO = 0x09;
constexpr int CSIDL_BITBUCKET = 0x0A;
constexpr int CSIDL_STARTMENU = 0x0B;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
constexpr int CSIDL_DRIVES = 0x11;
constexpr int CSIDL_NETWORK = 0x12;
constexpr int CSIDL_NETHOOD = 0x13;
constexpr int CSIDL_FONTS = 0x14;
constexpr int CSIDL_TEMPLATES = 0x15;
constexpr int CSIDL_COMMON_STARTMENU = 0x16;
constexpr int CSIDL_COMMON_PROGRAMS = 0x17;
constexpr int CSIDL_COMMON_STARTUP = 0x18;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x19;
constexpr int CSIDL_APPDATA = 0x1A;
constexpr int CSIDL_PRINTHOOD = 0x1B;

// The folder a special-folder id stands for on this system, or empty when it
// has no counterpart or the folder does not exist.
std::string SpecialFolderPath(int csidl);
// An item id list for a special folder; fails (null list) for ids without a
// counterpart.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);

// ---- The desktop folder ----------------------------------------------------

constexpr UINT STRRET_WSTR = 0;
constexpr UINT STRRET_OFFSET = 1;
constexpr UINT STRRET_CSTR = 2;
constexpr DWORD SHGDN_NORMAL = 0;
constexpr DWORD SHGDN_FORPARSING = 0x8000;

// A name handed out by GetDisplayNameOf. A wide string (UTF-16) belongs to
// the receiver, who frees it with the shell allocator.
struct STRRET {
    UINT uType;
    union {
        char16_t* pOleStr;
        UINT uOffset;
        char cStr[MAX_PATH];
    };
};

class IShellFolder {
public:
    // Parses an absolute path; fails for one that does not exist. Repeated
    // and trailing "/" are dropped from the stored path.
    HRESULT ParseDisplayName(HWND owner, void* bindContext, const char16_t* name, ULONG* eaten,
                             LPITEMIDLIST* list, ULONG* attributes);
    // SHGDN_FORPARSING: the parsing name; otherwise the display name.
    HRESULT GetDisplayNameOf(LPCITEMIDLIST list, DWORD flags, STRRET* name);
    ULONG AddRef();
    ULONG Release();

protected:
    // Which STRRET kind GetDisplayNameOf hands out (STRRET_WSTR by default).
    void SetNameKind(UINT kind) { nameKind_ = kind; }

private:
    UINT nameKind_ = STRRET_WSTR;
    ULONG refs_ = 0;
};

// The process's desktop folder, which SHGetDesktopFolder hands out.
IShellFolder& DesktopFolder();
HRESULT SHGetDesktopFolder(IShellFolder** folder);

// ---- File information --------------------------------------------------------

constexpr UINT SHGFI_SYSICONINDEX = 0x4000;

struct SHFILEINFOA {
    std::uint32_t hIcon;
    int iIcon;
    DWORD dwAttributes;
    char szDisplayName[MAX_PATH];
    char szTypeName[80];
};
static_assert(sizeof(SHFILEINFOA) == 352, "the file-info record is 352 bytes");

// Icon indexes SHGetFileInfoA reports: stable per kind of item.
constexpr int kIconFile = 0;
constexpr int kIconFolder = 3;
constexpr int kIconRoot = 8;

// With SHGFI_SYSICONINDEX: sets iIcon for the path and returns non-zero;
// returns 0 for a path that does not exist.
std::uintptr_t SHGetFileInfoA(const char* path, DWORD attributes, SHFILEINFOA* info, UINT size, UINT flags);

// ---- System ----------------------------------------------------------------

constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");

// Reports the NT family (platform id 2); false unless the size field is 148.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Counted no-ops: S_OK for the first start, S_FALSE for nested ones.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
int ComInitCount();

constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
// Nothing to suppress here; the mode is only kept so it can be restored.
UINT SetErrorMode(UINT mode);
// There are no drive letters: no bit is set.
DWORD GetLogicalDrives();

// ---- Browse for folder ---------------------------------------------------------

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_STATUSTEXT = 0x0004;
constexpr UINT BIF_RETURNFSANCESTORS = 0x0008;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_VALIDATE = 0x0020;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BIF_USENEWUI = 0x0050;
constexpr UINT BIF_BROWSEINCLUDEURLS = 0x0080;
constexpr UINT BIF_BROWSEFORCOMPUTER = 0x1000;
constexpr UINT BIF_BROWSEFORPRINTER = 0x2000;
constexpr UINT BIF_BROWSEINCLUDEFILES = 0x4000;
constexpr UINT BIF_SHAREABLE = 0x8000;

// Callback messages.
constexpr UINT BFFM_INITIALIZED = 1;      // the dialog window exists
constexpr UINT BFFM_SELCHANGED = 2;       // lParam: the new item (the dialog's)
constexpr UINT BFFM_VALIDATEFAILEDA = 3;  // lParam: the typed text; return 0 to dismiss
// Messages the dialog obeys.
constexpr UINT BFFM_SETSTATUSTEXTA = WM_USER + 100;  // lParam: const char*
constexpr UINT BFFM_ENABLEOK = WM_USER + 101;        // lParam: non-zero enables OK
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;   // wParam 1: lParam is a path; 0: an item list

// Control ids of the dialog.
constexpr int kBrowseTreeId = 0x3741;
constexpr int kBrowseTitleId = 0x3742;
constexpr int kBrowseStatusId = 0x3743;  // 14147
constexpr int kBrowseEditId = 0x3744;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

using BFFCALLBACK = int (*)(HWND wnd, UINT msg, LPARAM lParam, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner = nullptr;
    LPCITEMIDLIST pidlRoot = nullptr;  // null: the desktop
    char* pszDisplayName = nullptr;    // MAX_PATH bytes: the chosen item's display name
    const char* lpszTitle = nullptr;
    UINT ulFlags = 0;
    BFFCALLBACK lpfn = nullptr;
    LPARAM lParam = 0;
    int iImage = -1;  // set by the dialog
};

// What SHBrowseForFolderA shows. Run returns the chosen item as a new list
// from the shell allocator (the caller frees it) or null on Cancel, and fills
// the display-name buffer and the image index.
class BrowseDialog {
public:
    virtual ~BrowseDialog() = default;
    virtual LPITEMIDLIST Run(BROWSEINFOA& info) = 0;
};

// The modal Qt dialog: a folder tree from the root on Qt's file-system model
// (files too with BIF_BROWSEINCLUDEFILES), the places (home, desktop,
// removable media, "/") beside it, the title above it when there is one, a
// status line with BIF_STATUSTEXT (hidden in the new dialog style), an edit
// box with BIF_EDITBOX, OK and Cancel. When the callback selects nothing
// during BFFM_INITIALIZED, the dialog opens on the folder this object's last
// dialog was left on (chosen or cancelled), the first time on the home
// folder, expanded.
class QtBrowseDialog : public BrowseDialog {
public:
    LPITEMIDLIST Run(BROWSEINFOA& info) override;

private:
    std::string lastFolder_;
};

// The dialog SHBrowseForFolderA shows: the process's one QtBrowseDialog, so
// that each dialog opens where the last was left.
BrowseDialog& ShellBrowseDialog();
LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info);

}  // namespace platform
