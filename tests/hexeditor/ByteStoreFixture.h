// Shared by the byte-store tests: every test gets its own temporary folder as
// $TMPDIR, so working copies land where the test can watch them.
#pragma once

#include "Pattern.h"
#include "TempDir.h"
#include "hexeditor/hexeditor.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Sets what the editing commands would set, without depending on them.
struct ByteStoreTestAccess {
    static void SetModified(THexEditor& e, bool on) { e.document_.SetModified(on); }
    static void MarkChanged(THexEditor& e, std::int32_t position) { e.document_.MarkChanged(position); }
};

class ByteStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("TMPDIR")) {
            hadTmpDir_ = true;
            oldTmpDir_ = old;
        }
        tmp_ = dir_ / "tmp/";
        ::mkdir(tmp_.c_str(), 0700);
        ::setenv("TMPDIR", tmp_.c_str(), 1);
        testsupport::Boxes().boxes.clear();
    }
    void TearDown() override
    {
        if (hadTmpDir_)
            ::setenv("TMPDIR", oldTmpDir_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

    // An editor as a form creates it: constructed, then its stored
    // properties read.
    static std::unique_ptr<THexEditor> NewEditor()
    {
        auto editor = std::make_unique<THexEditor>();
        editor->PropertiesLoaded();
        return editor;
    }

    // The document as it stands in the working copy on disk.
    static testsupport::Bytes Content(THexEditor& e)
    {
        testsupport::Bytes data;
        if (!e.HasWorkingFile())
            return data;
        const int fd = ::open(e.WorkingFileName().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            ADD_FAILURE() << "cannot read the working copy";
            return data;
        }
        data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        data.resize(done);
        return data;
    }

    testsupport::TempDir dir_;
    std::string tmp_;
    bool hadTmpDir_ = false;
    std::string oldTmpDir_;
};
