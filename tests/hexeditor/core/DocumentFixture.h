// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the document core's tests: every test gets its own temporary
// folder as $TMPDIR, so working copies land where the test can watch them.
#pragma once

#include "DocumentProbe.h"
#include "Pattern.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

class DocumentTest : public ::testing::Test {
protected:
    // A document as the editor starts one: constructed, then "Untitled".
    static std::unique_ptr<testsupport::DocumentProbe> NewDocument()
    {
        auto document = std::make_unique<testsupport::DocumentProbe>();
        document->NewFile("Untitled");
        return document;
    }

    // A document loaded from a file of the given bytes.
    std::unique_ptr<testsupport::DocumentProbe> Loaded(const testsupport::Bytes& data, const std::string& name = "doc.bin")
    {
        testsupport::WriteFile(dir_ / name, data);
        auto document = NewDocument();
        EXPECT_TRUE(document->LoadFromFile(dir_ / name));
        return document;
    }

    // The document as it stands in the working copy on disk.
    static testsupport::Bytes Content(const testsupport::DocumentProbe& d)
    {
        return d.HasWorkingFile() ? testsupport::ReadFile(d.WorkingFileName()) : testsupport::Bytes{};
    }

    testsupport::TempDir dir_;
    const std::string tmp_ = dir_ / "tmp/";
    testsupport::ScopedTmpDir scopedTmp_{tmp_};
};
