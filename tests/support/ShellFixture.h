// SPDX-License-Identifier: GPL-3.0-or-later
// Common fixture: a scripted dialog installed in place of the Qt dialog, a
// temporary folder, and the checks that every shell block was given back and
// COM was stopped as often as it was started.
#pragma once

#include "ScriptedBrowseDialog.h"
#include "TempDir.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(testsupport::Allocator().LiveBlocks(), 0u);
        freeErrors_ = testsupport::Allocator().FreeErrors();
    }
    void TearDown() override
    {
        EXPECT_EQ(testsupport::Allocator().LiveBlocks(), 0u) << "a shell block leaked";
        EXPECT_EQ(testsupport::Allocator().FreeErrors(), freeErrors_) << "a block was freed twice";
        EXPECT_EQ(platform::ComInitCount(), 0);
    }
    std::string MakeDir(const std::string& relative)
    {
        const std::string path = temp / relative;
        ::mkdir(path.c_str(), 0755);
        return path;
    }

    testsupport::TempDir temp;
    testsupport::ScriptedBrowseDialog script;
    testsupport::BrowseDialogOverride installed{&script};
    std::size_t freeErrors_ = 0;
};
