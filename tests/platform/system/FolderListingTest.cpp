// SPDX-License-Identifier: GPL-3.0-or-later
// Listing a folder and making one: entry types, the two ways in, and the
// errors a caller is told.
#include "platform/system/FolderListing.h"
#include "platform/system/HeldFolder.h"

#include "TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::map<std::string, EntryType> Entries(FolderListing& listing)
{
    std::map<std::string, EntryType> found;
    FolderEntry entry;
    while (listing.Next(entry))
        found[entry.name] = entry.type;
    return found;
}

}  // namespace

TEST(FolderListing, ListsEveryEntryWithItsTypeByPathOrThroughAHeldFolder)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    ASSERT_EQ(::mkdir((dir / "d").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("d", (dir / "l").c_str()), 0);
    FolderListing byPath(dir.Path());
    const std::map<std::string, EntryType> entries = Entries(byPath);
    EXPECT_EQ(byPath.Error(), 0);
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.at(".."), EntryType::Folder);
    // A file system that does not say leaves the type Unknown.
    for (const auto& [name, type] : {std::pair {"f", EntryType::Other}, {"d", EntryType::Folder}, {"l", EntryType::Link}})
        EXPECT_TRUE(entries.at(name) == type || entries.at(name) == EntryType::Unknown) << name;

    HeldFolder held;
    ASSERT_TRUE(held.Open(dir.Path()));
    FolderListing throughHeld(held.Fd());
    EXPECT_EQ(Entries(throughHeld), entries);
}

TEST(FolderListing, WhatIsNoFolderFailsAtOnceWithItsErrno)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    for (const auto& [name, error] : {std::pair {"f", ENOTDIR}, {"fifo", ENOTDIR}, {"missing", ENOENT}}) {
        FolderListing listing(dir / name);
        FolderEntry entry;
        EXPECT_FALSE(listing.IsOpen()) << name;
        EXPECT_FALSE(listing.Next(entry)) << name;
        EXPECT_EQ(listing.Error(), error) << name;
        EXPECT_EQ(listing.Fd(), -1) << name;
    }
}

TEST(HeldFolder, OpenOrCreateMakesOnlyTheLastFolder)
{
    TempDir dir;
    WriteFile(dir / "f", "x");
    HeldFolder folder;
    EXPECT_TRUE(folder.OpenOrCreate(dir / "new"));
    EXPECT_TRUE(folder.OpenOrCreate(dir / "new"));
    for (const auto& [name, error] : {std::pair {"f", ENOTDIR}, {"missing/new", ENOENT}}) {
        errno = 0;
        EXPECT_FALSE(folder.OpenOrCreate(dir / name)) << name;
        EXPECT_EQ(errno, error) << name;
    }
}
