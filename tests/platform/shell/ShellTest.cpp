// SPDX-License-Identifier: GPL-3.0-or-later
// The shell layer on its own: item lists, path conversion, special folders,
// the desktop folder, icons, version and COM counting.
#include "FailingShellAllocator.h"
#include "ShellFixture.h"
#include "platform/shell/Places.h"

#include <cstdlib>
#include <cstring>

using namespace platform;

using ShellTest = ShellFixture;

namespace {
bool IsDirectoryForTest(const char* path)
{
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

TEST_F(ShellTest, PathFromItemListNeedsRoomInTheBuffer)
{
    char buffer[MAX_PATH];
    const std::string fits = "/" + std::string(258, 'a');  // 259 bytes + NUL
    LPITEMIDLIST item = ILCreateFromPath(fits);
    EXPECT_TRUE(SHGetPathFromIDListA(item, buffer));
    EXPECT_EQ(std::string(buffer), fits);
    ShellAllocator().Free(item);

    item = ILCreateFromPath(fits + "b");
    std::strcpy(buffer, "old");
    EXPECT_FALSE(SHGetPathFromIDListA(item, buffer));
    EXPECT_EQ(buffer[0], '\0');
    ShellAllocator().Free(item);

    item = ILCreateVirtual("::{net}", "Netzwerk");
    EXPECT_FALSE(SHGetPathFromIDListA(item, buffer));
    EXPECT_EQ(ILDisplayName(item), "Netzwerk");
    ShellAllocator().Free(item);
    EXPECT_FALSE(SHGetPathFromIDListA(nullptr, buffer));
}

TEST_F(ShellTest, AllocatorCountsAndRefusesForeignBlocks)
{
    void* a = ShellAllocator().Alloc(10);
    EXPECT_EQ(testsupport::Allocator().LiveBlocks(), 1u);
    const std::size_t errors = testsupport::Allocator().FreeErrors();
    int local = 0;
    ShellAllocator().Free(&local);
    EXPECT_EQ(testsupport::Allocator().FreeErrors(), errors + 1);
    ShellAllocator().Free(a);
    ShellAllocator().Free(a);
    EXPECT_EQ(testsupport::Allocator().FreeErrors(), errors + 2);
    EXPECT_EQ(testsupport::Allocator().LiveBlocks(), 0u);
    // The deliberate errors are not the fixture's business.
    freeErrors_ = testsupport::Allocator().FreeErrors();
}

TEST_F(ShellTest, AGateRefusesBlocksUntilItIsTakenAway)
{
    void* served = nullptr;
    {
        testsupport::FailingShellAllocator dry(1);
        served = ShellAllocator().Alloc(4);
        EXPECT_NE(served, nullptr);
        EXPECT_EQ(ShellAllocator().Alloc(4), nullptr);
        EXPECT_EQ(ILCreateFromPath("/"), nullptr);
        EXPECT_EQ(testsupport::Allocator().LiveBlocks(), 1u) << "a refusal is no block";
    }
    void* again = ShellAllocator().Alloc(4);
    EXPECT_NE(again, nullptr) << "the gate left with its owner";
    ShellAllocator().Free(again);
    ShellAllocator().Free(served);
}

TEST_F(ShellTest, SpecialFoldersMapOntoThisSystem)
{
    LPITEMIDLIST item = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &item), S_OK);
    EXPECT_EQ(ILParsingName(item), "/");
    ShellAllocator().Free(item);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &item), S_OK);
    EXPECT_EQ(ILParsingName(item), "/");
    ShellAllocator().Free(item);

    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", (temp.Path() + "/").c_str(), 1);
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &item), S_OK);
    ::setenv("HOME", oldHome.c_str(), 1);
    EXPECT_EQ(ILParsingName(item) + "/", temp.Path());
    ShellAllocator().Free(item);

    if (IsDirectoryForTest("/usr/share/fonts")) {
        ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FONTS, &item), S_OK);
        EXPECT_EQ(ILParsingName(item), "/usr/share/fonts");
        ShellAllocator().Free(item);
    }
    for (int id : {CSIDL_INTERNET, CSIDL_PRINTERS, CSIDL_NETWORK, 0xFEFE}) {
        item = reinterpret_cast<LPITEMIDLIST>(1);
        EXPECT_FALSE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, id, &item))) << id;
        EXPECT_EQ(item, nullptr);
    }
}

TEST_F(ShellTest, DesktopFolderParsesExistingPathsOnly)
{
    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    const std::string dir = MakeDir("p");
    const std::u16string name = QString::fromStdString(dir + "//").toStdU16String();
    LPITEMIDLIST item = nullptr;
    ULONG eaten = 0;
    ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, name.c_str(), &eaten, &item, nullptr), S_OK);
    EXPECT_EQ(ILParsingName(item), dir);
    EXPECT_EQ(eaten, name.size());

    STRRET normal{};
    testsupport::Desktop().SetNameKind(STRRET_CSTR);
    ASSERT_EQ(desktop->GetDisplayNameOf(item, SHGDN_NORMAL, &normal), S_OK);
    EXPECT_STREQ(normal.cStr, "p");
    testsupport::Desktop().SetNameKind(STRRET_WSTR);
    ShellAllocator().Free(item);

    const std::u16string missing = QString::fromStdString(dir + "/missing").toStdU16String();
    item = nullptr;
    EXPECT_FALSE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, missing.c_str(), nullptr, &item, nullptr)));
    EXPECT_EQ(item, nullptr);
    const std::u16string relative = u"p";
    EXPECT_FALSE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, relative.c_str(), nullptr, &item, nullptr)));
    desktop->Release();
}

TEST_F(ShellTest, IconsVersionAndComCounting)
{
    SHFILEINFOA info{};
    EXPECT_NE(SHGetFileInfoA(temp.Path().c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX), 0u);
    EXPECT_EQ(info.iIcon, kIconFolder);
    EXPECT_NE(SHGetFileInfoA("/", 0, &info, sizeof info, SHGFI_SYSICONINDEX), 0u);
    EXPECT_EQ(info.iIcon, kIconRoot);
    EXPECT_EQ(SHGetFileInfoA((temp / "missing").c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX), 0u);

    OSVERSIONINFOA version{};
    EXPECT_FALSE(GetVersionExA(&version));
    version.dwOSVersionInfoSize = 148;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);

    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(ComInitCount(), 2);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(GetLogicalDrives(), 0u);
}

TEST(ShellWide, AnyPathSurvivesTheTripThroughAWideString)
{
    // Valid UTF-8 becomes UTF-16 text, surrogate pairs included.
    EXPECT_EQ(PathToWide("/M\xC3\xBCsik/\xF0\x9F\x8E\xB5"), u"/M\u00FCsik/\U0001F3B5");
    // Bytes that are no UTF-8 (stray, cut, overlong, encoded surrogates)
    // each come back as themselves.
    const std::string awkward[] = {"/\xFF\xFE", "/M\xFCller", "/cut\xC3", "/over\xC0\xAF", "/sur\xED\xA0\x80",
                                   "/high\xF5\x80\x80\x80", "/\xC3\xBC\xBC"};
    for (const std::string& path : awkward) {
        const std::u16string wide = PathToWide(path);
        EXPECT_EQ(WideToPath(wide.c_str()), path);
    }
    EXPECT_EQ(PathToWide("/\xFF"), u"/\xDCFF");
    // Every byte value, in a path of its own.
    for (int b = 1; b < 256; ++b) {
        const std::string path = "/a" + std::string(1, static_cast<char>(b)) + "z";
        EXPECT_EQ(WideToPath(PathToWide(path).c_str()), path) << b;
    }
}

TEST_F(ShellTest, FolderWithBytesThatAreNoUtf8IsChosenUnchanged)
{
    const std::string folder = temp.Path() + "\xFF\xFE M\xFCller";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    IShellFolder* desktop = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop)));
    const std::u16string wide = PathToWide(folder);
    LPITEMIDLIST list = nullptr;
    ASSERT_TRUE(SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, wide.c_str(), nullptr, &list, nullptr)));
    EXPECT_EQ(ILParsingName(list), folder);
    STRRET name {};
    testsupport::Desktop().SetNameKind(STRRET_WSTR);
    ASSERT_TRUE(SUCCEEDED(desktop->GetDisplayNameOf(list, SHGDN_FORPARSING, &name)));
    ASSERT_EQ(name.uType, STRRET_WSTR);
    EXPECT_EQ(WideToPath(name.pOleStr), folder);
    ShellAllocator().Free(name.pOleStr);
    ShellAllocator().Free(list);
    desktop->Release();
}

TEST(Places, RemovableMediaAreTheMountsBelowMediaAndRunMedia)
{
    const std::vector<std::string> mounts = {"/",          "/media",         "/media/stick", "/media/anna/USB STICK",
                                             "/mediathek", "/run/media/anna/CD", "/run/user/1000", "/mnt/platte"};
    EXPECT_EQ(RemovableMediaFolders(mounts),
              (std::vector<std::string>{"/media/stick", "/media/anna/USB STICK", "/run/media/anna/CD"}));
}
