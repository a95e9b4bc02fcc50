// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting with a measure whose widths the test controls: 10 pixels a byte.
#include "BrowseDr/BrowseDr.h"

#include <gtest/gtest.h>

namespace {

int Measure(const std::string& s)
{
    return static_cast<int>(s.size()) * 10;
}

int Width(const std::string& s)
{
    return Measure(s);
}

}  // namespace

TEST(FitPathTest, DropsFoldersFromTheLeftKeepingDriveAndName)
{
    const std::string path = "C:/Program Files/Common Files/Foo";
    EXPECT_EQ(FitPath(Width(path), Measure, path), path);
    EXPECT_EQ(FitPath(Width(path) - 1, Measure, path), "C:/.../Common Files/Foo");
    EXPECT_EQ(FitPath(Width("C:/.../Common Files/Foo") - 1, Measure, path), "C:/.../Foo");
    EXPECT_EQ(FitPath(Width("C:/.../Foo") - 1, Measure, path), ".../Foo");
    EXPECT_EQ(FitPath(Width(".../Foo") - 1, Measure, path), "Foo");
    EXPECT_EQ(FitPath(0, Measure, path), "Foo");
}

TEST(FitPathTest, NetworkAndRootedPaths)
{
    const std::string unc = "//srv/share/dir/x";
    // The first step only marks the network root; it is never shorter.
    EXPECT_EQ(DropLeadingFolder("//srv/share/dir/"), "/.../srv/share/dir/");
    EXPECT_EQ(FitPath(Width(unc) - 1, Measure, unc), "/.../share/dir/x");

    const std::string rooted = "/usr/share/fonts/truetype/x";
    EXPECT_EQ(FitPath(Width("/.../truetype/x"), Measure, rooted), "/.../truetype/x");
    EXPECT_EQ(FitPath(Width("/.../x") - 1, Measure, rooted), ".../x");
    EXPECT_EQ(FitPath(0, Measure, "/x"), "x");
    EXPECT_EQ(FitPath(0, Measure, "name-only"), "name-only");
}

TEST(FitPathTest, HiddenFolderIsDroppedOneAtATime)
{
    // A folder name beginning with "." is not the "..." placeholder.
    EXPECT_EQ(DropLeadingFolder("/.a/b/"), "/.../b/");
    EXPECT_EQ(DropLeadingFolder("/.../b/"), "/.../");
    EXPECT_EQ(DropLeadingFolder(".../"), "");
    EXPECT_EQ(DropLeadingFolder("/"), "");
}

TEST(FitTextTest, CutsFromTheRight)
{
    const std::string text = "Das ist ein langer Text";
    EXPECT_EQ(FitText(Width(text), Measure, text), text);
    EXPECT_EQ(FitText(Width("Das ist e..."), Measure, text), "Das ist e...");
    EXPECT_EQ(FitText(Width("Das ist e...") - 1, Measure, text), "Das ist ...");
    EXPECT_EQ(FitText(0, Measure, text), "...");
    EXPECT_EQ(FitText(0, Measure, ""), "");
}

TEST(FitTextTest, NeverSplitsAMultiByteCharacter)
{
    // "ö" is two bytes: the cut goes from "Kö..." straight to "K...".
    EXPECT_EQ(FitText(65, Measure, "Kölner"), "Kö...");
    EXPECT_EQ(FitText(55, Measure, "Kölner"), "K...");
}

TEST(FitTest, NoControlLeavesTextAlone)
{
    EXPECT_EQ(FitPath(platform::HWND(nullptr), "/a/b/c"), "/a/b/c");
    EXPECT_EQ(FitText(platform::HWND(nullptr), "abc"), "abc");
}
