// SPDX-License-Identifier: GPL-3.0-or-later
// Random key sequences in overwrite mode against a small model of the caret
// and the bytes: arrows at nibble steps, Home/End, Ctrl+Home/End, Tab, hex
// digits, other letters and characters typed in both panes, over a document
// with a short last row.
#include "UiSupport.h"

#include <gtest/gtest.h>
#include <cctype>
#include <random>
#include <sstream>

using namespace uitest;

namespace {

struct Model {
    Bytes data;
    std::int32_t pos = 0;
    bool charPane = false;
    int nibble = 0;
    static constexpr std::int32_t kLine = 16;

    std::int32_t Size() const { return static_cast<std::int32_t>(data.size()); }
    std::int32_t Rows() const { return (Size() + kLine - 1) / kLine; }

    void Right()
    {
        if (charPane)
            pos = std::min(pos + 1, Size() - 1);
        else if (nibble == 0)
            nibble = 1;
        else if (pos + 1 < Size())
            ++pos, nibble = 0;
    }
    void Left()
    {
        if (charPane)
            pos = std::max(pos - 1, 0);
        else if (nibble == 1)
            nibble = 0;
        else if (pos > 0)
            --pos, nibble = 1;
    }
    void Vertical(int step)
    {
        const std::int32_t row = pos / kLine + step;
        if (row < 0 || row >= Rows())
            return;
        pos += step * kLine;
        if (pos >= Size()) {
            // Past the short last row: the last byte, left column.
            pos = Size() - 1;
            nibble = 0;
        }
    }
    void TypeDigit(int d)
    {
        std::uint8_t& b = data[static_cast<std::size_t>(pos)];
        b = static_cast<std::uint8_t>(nibble == 0 ? (d << 4) | (b & 0x0F) : (b & 0xF0) | d);
        Right();
    }
    void TypeChar(std::uint8_t c)
    {
        data[static_cast<std::size_t>(pos)] = c;
        Right();
    }
};

}  // namespace

TEST(HexRandomInput, OverwriteKeySequencesMatchTheModel)
{
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        std::mt19937 rng(seed);
        Model model;
        model.data = editingtest::Pattern(16 * 7 + 5, seed);
        Ui ui(model.data, 700, 4);
        std::ostringstream log;
        for (int step = 0; step < 600; ++step) {
            const int action = static_cast<int>(rng() % 12);
            switch (action) {
            case 0: ui.Key(Qt::Key_Right); model.Right(); log << "R "; break;
            case 1: ui.Key(Qt::Key_Left); model.Left(); log << "L "; break;
            case 2: ui.Key(Qt::Key_Up); model.Vertical(-1); log << "U "; break;
            case 3: ui.Key(Qt::Key_Down); model.Vertical(1); log << "D "; break;
            case 4:
                ui.Key(Qt::Key_Home);
                model.pos -= model.pos % Model::kLine;
                model.nibble = 0;
                log << "Home ";
                break;
            case 5:
                ui.Key(Qt::Key_End);
                model.pos = std::min(model.pos - model.pos % Model::kLine + Model::kLine - 1, model.Size() - 1);
                model.nibble = 0;
                log << "End ";
                break;
            case 6:
                if (rng() % 2) {
                    ui.Key(Qt::Key_End, Qt::ControlModifier);
                    model.pos = model.Size() - 1;
                    log << "^End ";
                } else {
                    ui.Key(Qt::Key_Home, Qt::ControlModifier);
                    model.pos = 0;
                    log << "^Home ";
                }
                model.nibble = 0;
                break;
            case 7:
                ui.Key(Qt::Key_Tab);
                model.charPane = !model.charPane;
                model.nibble = 0;
                log << "Tab ";
                break;
            default: {
                // A hex digit, another letter, or a punctuation character.
                static const char kKeys[] = "0123456789abcdefABCDEFxyzXQ.;#";
                const char c = kKeys[rng() % (sizeof kKeys - 1)];
                ui.Type(std::string(1, c));
                log << "'" << c << "' ";
                if (model.charPane)
                    model.TypeChar(static_cast<std::uint8_t>(c));
                else if (std::isxdigit(static_cast<unsigned char>(c)))
                    model.TypeDigit(std::stoi(std::string(1, c), nullptr, 16));
                break;
            }
            }
            const editingtest::Caret expected{model.pos, model.charPane, model.charPane ? 0 : model.nibble};
            ASSERT_EQ(ui.Caret(), expected) << "seed " << seed << " step " << step << ": " << log.str();
        }
        EXPECT_EQ(ui.Data(), model.data) << "seed " << seed;
        EXPECT_EQ(ui.ed->DataSize(), model.Size());
    }
}
