// SPDX-License-Identifier: GPL-3.0-or-later
// Differential test of the document's bytes: thousands of random inserts, appends,
// deletes and byte writes, placed around page edges and around the piece
// edges of the block move, each followed by a comparison with a plain
// in-memory model of the document and its change marks. Now and then an
// edit runs on a full disk (a file-size limit below or around the document's
// size): when it fails, the document must be exactly as before, so a block
// move that stops after some of its pieces must put back what it moved.
#include "DocumentFixture.h"
#include "FileSizeLimit.h"

#include "platform/system/Exceptions.h"

#include <algorithm>
#include <random>

using testsupport::Bytes;
using testsupport::FileSizeLimit;

namespace {

// The line length the page must hold, as a fresh editor lays it out.
constexpr std::int32_t kLine = 16;

class Model {
public:
    explicit Model(unsigned seed) : rng_(seed) {}

    std::int64_t Uniform(std::int64_t low, std::int64_t high)
    {
        return std::uniform_int_distribution<std::int64_t>(low, high)(rng_);
    }

    // A position near an interesting edge of the current document: the page
    // size, the block-move piece size, or a tail of about a piece's length.
    std::int32_t EdgePosition(std::int64_t size)
    {
        std::int64_t p = 0;
        switch (Uniform(0, 5)) {
        case 0: p = Uniform(0, 8) * hexcore::Document::kPageSize; break;
        case 1: p = Uniform(0, 4) * hexcore::Document::kMovePiece; break;
        case 2: p = size - Uniform(0, 4) * hexcore::Document::kMovePiece; break;
        case 3: p = size - Uniform(0, 8) * hexcore::Document::kPageSize; break;
        case 4: p = size; break;
        default: p = Uniform(0, size); break;
        }
        p += Uniform(-3, 3);
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(p, 0, size));
    }

    std::int32_t Count()
    {
        switch (Uniform(0, 9)) {
        case 0: return static_cast<std::int32_t>(hexcore::Document::kPageSize + Uniform(-3, 3));
        case 1: return static_cast<std::int32_t>(hexcore::Document::kMovePiece + Uniform(-3, 3));
        case 2: return static_cast<std::int32_t>(Uniform(0, 20000));
        default: return static_cast<std::int32_t>(Uniform(0, 5));
        }
    }

    Bytes RandomBytes(std::int32_t count)
    {
        Bytes data(static_cast<std::size_t>(count));
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng_());
        return data;
    }

    Bytes data;
    std::vector<bool> marks;

private:
    std::mt19937 rng_;
};

}  // namespace

TEST_F(DocumentTest, RandomEditsMatchAnInMemoryModel)
{
    Model model(20240611);
    model.data = model.RandomBytes(600000);
    testsupport::WriteFile(dir_ / "doc.bin", model.data);
    auto e = NewDocument();
    // Deletions that must keep a copy of more than a page keep it in a file.
    e->SetFileRecordsFrom(hexcore::Document::kPageSize);
    ASSERT_TRUE(e->LoadFromFile(dir_ / "doc.bin"));

    const std::int64_t low = 150000;
    const std::int64_t high = 1200000;
    int failures = 0;
    for (int step = 0; step < 3000; ++step) {
        const std::int64_t size = static_cast<std::int64_t>(model.data.size());
        std::int64_t kind = model.Uniform(0, 9);
        if (size > high && kind < 5)
            kind = 9;  // shrink
        if (size < low && kind >= 7)
            kind = 0;  // grow

        // Often a page is loaded before the edit, so stale pages would show.
        if (model.Uniform(0, 1) && size > 0)
            e->EnsurePage(model.EdgePosition(size - 1), kLine);

        // An edit on the document, on a full disk now and then; false when
        // it failed (the model then stays as it is).
        const bool full = model.Uniform(0, 4) == 0;
        const auto limit = static_cast<rlim_t>(model.Uniform(size / 2, size + hexcore::Document::kMovePiece));
        const auto edit = [&](const auto& change) {
            FileSizeLimit disk;
            if (full)
                disk.Apply(limit);
            try {
                change();
            } catch (const platform::EInOutError& error) {
                EXPECT_EQ(error.ErrorCode(), platform::ioDiskFull);
                ++failures;
                return false;
            }
            return true;
        };

        std::string what;
        if (kind <= 3) {
            const std::int32_t p = model.EdgePosition(size);
            const Bytes bytes = model.RandomBytes(model.Count());
            what = "insert " + std::to_string(bytes.size()) + " at " + std::to_string(p);
            if (edit([&] { e->InsertBytes(bytes.data(), static_cast<std::int32_t>(bytes.size()), p); })) {
                if (size == 0)
                    model.marks.clear();
                model.data.insert(model.data.begin() + p, bytes.begin(), bytes.end());
            }
        } else if (kind == 4) {
            const Bytes bytes = model.RandomBytes(model.Count());
            what = "append " + std::to_string(bytes.size());
            if (edit([&] { e->AppendBytes(bytes.data(), static_cast<std::int32_t>(bytes.size())); })) {
                if (size == 0)
                    model.marks.clear();
                model.data.insert(model.data.end(), bytes.begin(), bytes.end());
            }
        } else if (kind <= 6) {
            if (size == 0)
                continue;
            // A byte written the way the editing commands write it: working
            // copy, page, change mark.
            const std::int32_t p = std::min<std::int32_t>(model.EdgePosition(size), static_cast<std::int32_t>(size - 1));
            const auto value = static_cast<std::uint8_t>(model.Uniform(0, 255));
            what = "write at " + std::to_string(p);
            if (edit([&] {
                    e->WriteByte(p, value);
                    e->UpdatePage(p, value);
                    e->MarkChanged(p);
                })) {
                model.data[static_cast<std::size_t>(p)] = value;
                if (model.marks.size() <= static_cast<std::size_t>(p))
                    model.marks.resize(static_cast<std::size_t>(p) + 1);
                model.marks[static_cast<std::size_t>(p)] = true;
            }
        } else {
            const std::int32_t start = model.EdgePosition(size);
            const std::int32_t end =
                static_cast<std::int32_t>(std::min<std::int64_t>(size, start + model.Count()));
            what = "delete " + std::to_string(start) + ".." + std::to_string(end);
            if (edit([&] { e->DeleteRange(start, end); }))
                model.data.erase(model.data.begin() + start, model.data.begin() + end);
        }
        if (model.marks.size() > model.data.size())
            model.marks.resize(model.data.size());

        SCOPED_TRACE("step " + std::to_string(step) + ": " + what);
        const auto newSize = static_cast<std::int32_t>(model.data.size());
        ASSERT_EQ(e->DataSize(), newSize);
        ASSERT_TRUE(Content(*e) == model.data);
        ASSERT_EQ(e->ChangedBytes().size(), model.marks.size());
        ASSERT_LE(e->ChangedBytes().size(), static_cast<std::size_t>(newSize));
        if (step % 100 == 0) {
            ASSERT_TRUE(e->ChangedBytes() == model.marks);  // bit by bit, so not every step
        }
        // The page invariant: every byte of a loaded page below the end
        // equals the document's byte.
        if (e->PageStart() != -1) {
            const std::int64_t valid = std::min<std::int64_t>(hexcore::Document::kPageSize, newSize - e->PageStart());
            ASSERT_TRUE(std::equal(e->PageBuffer(), e->PageBuffer() + std::max<std::int64_t>(valid, 0),
                                   model.data.begin() + e->PageStart()));
        }
        if (model.Uniform(0, 3) == 0 && newSize > 0) {
            const std::int32_t p = model.EdgePosition(newSize - 1);
            e->EnsurePage(p, kLine);
            const std::int64_t valid = std::min<std::int64_t>(hexcore::Document::kPageSize, newSize - e->PageStart());
            ASSERT_LE(e->PageStart(), p);
            ASSERT_TRUE(
                std::equal(e->PageBuffer(), e->PageBuffer() + valid, model.data.begin() + e->PageStart()));
        }
    }
    // Every kind of edit failed now and then, deletions after some pieces of
    // their block move.
    EXPECT_GT(failures, 150);
}
