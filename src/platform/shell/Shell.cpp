// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/shell/Shell.h"

#include "platform/system/FileUtils.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unordered_set>

namespace platform {

// ---- Allocator ---------------------------------------------------------------

namespace {
// Blocks the allocator handed out and has not taken back.
std::unordered_set<void*>& LiveSet()
{
    static std::unordered_set<void*> set;
    return set;
}
}  // namespace

void* IMalloc::Alloc(std::size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        return nullptr;
    LiveSet().insert(block);
    ++live_;
    return block;
}

void IMalloc::Free(void* block)
{
    if (!block)
        return;
    if (LiveSet().erase(block) == 0) {
        ++freeErrors_;
        return;
    }
    --live_;
    std::free(block);
}

ULONG IMalloc::AddRef()
{
    return ++refs_;
}

ULONG IMalloc::Release()
{
    if (refs_ > 0)
        --refs_;
    return refs_;
}

HRESULT SHGetMalloc(IMalloc** malloc)
{
    if (!malloc)
        return E_INVALIDARG;
    *malloc = &ShellAllocator();
    (*malloc)->AddRef();
    return S_OK;
}

// ---- Item id lists -------------------------------------------------------------
//
// Block layout: a 32-bit magic, 32-bit flags, the parsing name with its NUL,
// then the display name with its NUL (empty for file-system items).

namespace {
constexpr std::uint32_t kItemMagic = 0x4C444950;  // "PIDL"
constexpr std::uint32_t kItemVirtual = 1;

struct ItemHeader {
    std::uint32_t magic;
    std::uint32_t flags;
};
static_assert(sizeof(ItemHeader) == kItemNameOffset);

LPITEMIDLIST MakeItem(const std::string& parsingName, const std::string& displayName, std::uint32_t flags)
{
    const std::size_t size = sizeof(ItemHeader) + parsingName.size() + 1 + displayName.size() + 1;
    auto* block = static_cast<char*>(ShellAllocator().Alloc(size));
    if (!block)
        return nullptr;
    const ItemHeader header{kItemMagic, flags};
    std::memcpy(block, &header, sizeof header);
    char* text = block + sizeof header;
    std::memcpy(text, parsingName.c_str(), parsingName.size() + 1);
    std::memcpy(text + parsingName.size() + 1, displayName.c_str(), displayName.size() + 1);
    return reinterpret_cast<LPITEMIDLIST>(block);
}

const ItemHeader* HeaderOf(LPCITEMIDLIST list)
{
    if (!list)
        return nullptr;
    const auto* header = reinterpret_cast<const ItemHeader*>(list);
    return header->magic == kItemMagic ? header : nullptr;
}

const char* NameOf(LPCITEMIDLIST list)
{
    return reinterpret_cast<const char*>(list) + sizeof(ItemHeader);
}


std::string Utf16ToBytes(const char16_t* text)
{
    return WideToPath(text);
}
}  // namespace

std::u16string PathToWide(const std::string& path)
{
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(path.data());
    const std::size_t n = path.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        std::size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (c < 0x80) {
            length = 1;
            code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
            least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
            least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
            least = 0x10000;
        }
        bool valid = length > 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF are not
        // valid UTF-8 either.
        if (valid && length > 1 && (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF))
            valid = false;
        if (!valid) {
            out += static_cast<char16_t>(0xDC00 + c);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

std::string WideToPath(const char16_t* text)
{
    std::string out;
    if (!text)
        return out;
    auto put = [&out](char32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    };
    for (const char16_t* q = text; *q; ++q) {
        const char16_t u = *q;
        if (u >= 0xD800 && u <= 0xDBFF && q[1] >= 0xDC00 && q[1] <= 0xDFFF) {
            put(0x10000 + ((static_cast<char32_t>(u - 0xD800) << 10) | (q[1] - 0xDC00)));
            ++q;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);  // a byte that was not UTF-8
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';  // any other lone surrogate names no byte
        } else {
            put(u);
        }
    }
    return out;
}

LPITEMIDLIST ILCreateFromPath(const std::string& path)
{
    return MakeItem(path, std::string(), 0);
}

LPITEMIDLIST ILCreateVirtual(const std::string& parsingName, const std::string& displayName)
{
    return MakeItem(parsingName, displayName, kItemVirtual);
}

std::string ILParsingName(LPCITEMIDLIST list)
{
    return HeaderOf(list) ? std::string(NameOf(list)) : std::string();
}

std::string ILDisplayName(LPCITEMIDLIST list)
{
    const ItemHeader* header = HeaderOf(list);
    if (!header)
        return {};
    const char* parsing = NameOf(list);
    if (header->flags & kItemVirtual)
        return std::string(parsing + std::strlen(parsing) + 1);
    std::string path = parsing;
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path == "/")
        return path;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ILIsFileSystem(LPCITEMIDLIST list)
{
    const ItemHeader* header = HeaderOf(list);
    return header && !(header->flags & kItemVirtual);
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path)
{
    if (!path)
        return 0;
    path[0] = '\0';
    if (!ILIsFileSystem(list))
        return 0;
    const char* name = NameOf(list);
    const std::size_t length = std::strlen(name);
    if (length + 1 > static_cast<std::size_t>(MAX_PATH))
        return 0;
    std::memcpy(path, name, length + 1);
    return 1;
}

// ---- Special folders -------------------------------------------------------------

std::string SpecialFolderPath(int csidl)
{
    auto standard = [](QStandardPaths::StandardLocation location, const char* below = "") {
        const QString base = QStandardPaths::writableLocation(location);
        if (base.isEmpty())
            return std::string();
        return QFile::encodeName(base).toStdString() + below;
    };
    std::string path;
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DRIVES:
        path = "/";
        break;
    case CSIDL_PERSONAL:
        if (const char* home = std::getenv("HOME"); home && *home)
            path = home;
        else
            path = QFile::encodeName(QDir::homePath()).toStdString();
        break;
    case CSIDL_DESKTOPDIRECTORY:
        path = standard(QStandardPaths::DesktopLocation);
        break;
    case CSIDL_FONTS:
        path = "/usr/share/fonts";
        break;
    case CSIDL_TEMPLATES:
        path = standard(QStandardPaths::TemplatesLocation);
        break;
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU:
        path = standard(QStandardPaths::ApplicationsLocation);
        break;
    case CSIDL_COMMON_PROGRAMS:
    case CSIDL_COMMON_STARTMENU:
        path = "/usr/share/applications";
        break;
    case CSIDL_STARTUP:
        path = standard(QStandardPaths::GenericConfigLocation, "/autostart");
        break;
    case CSIDL_COMMON_STARTUP:
        path = "/etc/xdg/autostart";
        break;
    case CSIDL_APPDATA:
        path = standard(QStandardPaths::GenericConfigLocation);
        break;
    case CSIDL_BITBUCKET:
        path = standard(QStandardPaths::GenericDataLocation, "/Trash/files");
        break;
    default:
        // Internet, control panel, printers, favourites, recent, send-to,
        // network, common desktop and the rest have nothing to stand for.
        return {};
    }
    path = CleanPath(path);
    return DirectoryExists(path) ? path : std::string();
}

HRESULT SHGetSpecialFolderLocation(HWND /*owner*/, int csidl, LPITEMIDLIST* list)
{
    if (!list)
        return E_INVALIDARG;
    *list = nullptr;
    const std::string path = SpecialFolderPath(csidl);
    if (path.empty())
        return E_INVALIDARG;
    *list = ILCreateFromPath(path);
    return *list ? S_OK : E_OUTOFMEMORY;
}

// ---- Desktop folder --------------------------------------------------------------

HRESULT IShellFolder::ParseDisplayName(HWND /*owner*/, void* /*bindContext*/, const char16_t* name, ULONG* eaten,
                                       LPITEMIDLIST* list, ULONG* attributes)
{
    if (!list)
        return E_INVALIDARG;
    *list = nullptr;
    if (!name)
        return E_INVALIDARG;
    const std::string path = Utf16ToBytes(name);
    if (path.empty() || path[0] != '/' || !PathExists(path))
        return E_FAIL;
    *list = ILCreateFromPath(CleanPath(path));
    if (!*list)
        return E_OUTOFMEMORY;
    if (eaten)
        *eaten = static_cast<ULONG>(std::char_traits<char16_t>::length(name));
    if (attributes)
        *attributes = 0;
    return S_OK;
}

HRESULT IShellFolder::GetDisplayNameOf(LPCITEMIDLIST list, DWORD flags, STRRET* name)
{
    if (!name || !HeaderOf(list))
        return E_INVALIDARG;
    const bool parsing = (flags & SHGDN_FORPARSING) != 0;
    const std::string text = parsing ? ILParsingName(list) : ILDisplayName(list);
    UINT kind = nameKind_;
    // The offset form can only point at the parsing name inside the block,
    // and the inline form only holds what fits.
    if (kind == STRRET_OFFSET && !parsing)
        kind = STRRET_CSTR;
    if (kind == STRRET_CSTR && text.size() + 1 > sizeof name->cStr)
        kind = STRRET_WSTR;
    name->uType = kind;
    switch (kind) {
    case STRRET_OFFSET:
        name->uOffset = kItemNameOffset;
        return S_OK;
    case STRRET_CSTR:
        std::memcpy(name->cStr, text.c_str(), text.size() + 1);
        return S_OK;
    default: {
        const std::u16string wide = PathToWide(text);
        const std::size_t bytes = (wide.size() + 1) * sizeof(char16_t);
        auto* buffer = static_cast<char16_t*>(ShellAllocator().Alloc(bytes));
        if (!buffer)
            return E_OUTOFMEMORY;
        std::memcpy(buffer, wide.c_str(), bytes);
        name->uType = STRRET_WSTR;
        name->pOleStr = buffer;
        return S_OK;
    }
    }
}

ULONG IShellFolder::AddRef()
{
    return ++refs_;
}

ULONG IShellFolder::Release()
{
    if (refs_ > 0)
        --refs_;
    return refs_;
}

HRESULT SHGetDesktopFolder(IShellFolder** folder)
{
    if (!folder)
        return E_INVALIDARG;
    *folder = &DesktopFolder();
    (*folder)->AddRef();
    return S_OK;
}

// ---- File information ------------------------------------------------------------

std::uintptr_t SHGetFileInfoA(const char* path, DWORD /*attributes*/, SHFILEINFOA* info, UINT size, UINT flags)
{
    if (!path || !info || size < sizeof(SHFILEINFOA) || !(flags & SHGFI_SYSICONINDEX))
        return 0;
    struct stat st;
    if (::stat(path, &st) != 0)
        return 0;
    if (!S_ISDIR(st.st_mode))
        info->iIcon = kIconFile;
    else
        info->iIcon = CleanPath(path) == "/" ? kIconRoot : kIconFolder;
    // The "system image list" handle: any non-zero value.
    return 1;
}

// ---- System ----------------------------------------------------------------------

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return 0;
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = '\0';
    return 1;
}

namespace {
int comCount = 0;
UINT errorMode = 0;
}  // namespace

HRESULT CoInitialize(void* /*reserved*/)
{
    return ++comCount == 1 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (comCount > 0)
        --comCount;
}

int ComInitCount()
{
    return comCount;
}

UINT SetErrorMode(UINT mode)
{
    const UINT previous = errorMode;
    errorMode = mode;
    return previous;
}

DWORD GetLogicalDrives()
{
    return 0;
}

// ---- Browse for folder -------------------------------------------------------------

LPITEMIDLIST SHBrowseForFolderA(BROWSEINFOA* info)
{
    if (!info)
        return nullptr;
    return ShellBrowseDialog().Run(*info);
}

}  // namespace platform
