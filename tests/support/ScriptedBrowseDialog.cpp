// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedBrowseDialog.h"

#include <cstring>

namespace testsupport {

using namespace platform;

FakeWindow::FakeWindow(int id, QRect rect_, bool visible_) : rect(rect_), visible(visible_), id_(id) {}

FakeWindow* FakeWindow::AddChild(int id, QRect childRect, bool childVisible)
{
    children_.push_back(std::make_unique<FakeWindow>(id, childRect, childVisible));
    return children_.back().get();
}

FakeWindow* FakeWindow::Find(int id)
{
    for (auto& child : children_) {
        if (child->ControlId() == id)
            return child.get();
        if (FakeWindow* below = child->Find(id))
            return below;
    }
    return nullptr;
}

void FakeWindow::MoveTo(int x, int y)
{
    rect.moveTo(x, y);
    moves.emplace_back(x, y);
}

std::vector<Window*> FakeWindow::Children() const
{
    std::vector<Window*> list;
    for (const auto& child : children_)
        list.push_back(child.get());
    return list;
}

LRESULT FakeWindow::Message(UINT msg, WPARAM wParam, LPARAM lParam)
{
    Sent record{msg, wParam, lParam, {}};
    const bool carriesText =
        msg == WM_SETTEXT || msg == BFFM_SETSTATUSTEXTA || (msg == BFFM_SETSELECTIONA && wParam != 0);
    if (carriesText && lParam)
        record.text = reinterpret_cast<const char*>(lParam);
    else if (msg == BFFM_SETSELECTIONA)
        record.text = ILParsingName(reinterpret_cast<LPCITEMIDLIST>(lParam));
    sent.push_back(record);
    LRESULT result = 0;
    if (MessageHook && MessageHook(msg, wParam, lParam, result))
        return result;
    return Window::Message(msg, wParam, lParam);
}

void ScriptedBrowseDialog::ChoosePath(const std::string& path)
{
    choice_ = Choice::Path;
    choicePath_ = path;
}

void ScriptedBrowseDialog::ChooseVirtual(const std::string& parsingName, const std::string& displayName)
{
    choice_ = Choice::Virtual;
    choicePath_ = parsingName;
    choiceDisplay_ = displayName;
}

void ScriptedBrowseDialog::ChooseCancel()
{
    choice_ = Choice::Cancel;
}

int ScriptedBrowseDialog::SelectPath(const std::string& path)
{
    if (!live_ || !live_->lpfn)
        return 0;
    LPITEMIDLIST item = ILCreateFromPath(path);
    const int result = live_->lpfn(window_.get(), BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), live_->lParam);
    ShellAllocator().Free(item);
    return result;
}

int ScriptedBrowseDialog::TypeInvalid(const std::string& text)
{
    if (!live_ || !live_->lpfn)
        return 1;
    const int result =
        live_->lpfn(window_.get(), BFFM_VALIDATEFAILEDA, reinterpret_cast<LPARAM>(text.c_str()), live_->lParam);
    if (result == 0)
        dismissed = true;
    return result;
}

LPITEMIDLIST ScriptedBrowseDialog::Run(BROWSEINFOA& received)
{
    ++runs;
    info = received;
    title = received.lpszTitle ? received.lpszTitle : "";
    rootPath = ILParsingName(received.pidlRoot);
    hadOwner = received.hwndOwner != nullptr;
    selectedPath.clear();
    dismissed = false;

    // The dialog's window and controls, laid out like the shell's dialog.
    window_ = std::make_unique<FakeWindow>(0, dialogRect);
    const int x = dialogRect.x() + 10;
    const int y = dialogRect.y() + 30;
    window_->AddChild(kBrowseTitleId, QRect(x, y, statusWidth, 30));
    if (received.ulFlags & BIF_STATUSTEXT) {
        FakeWindow* status = window_->AddChild(kBrowseStatusId, QRect(x, y + 30, statusWidth, 16),
                                               !(received.ulFlags & BIF_NEWDIALOGSTYLE));
        status->font = statusFont;
    }
    window_->AddChild(kBrowseTreeId, QRect(x, y + 50, statusWidth, 250));
    if (received.ulFlags & BIF_EDITBOX)
        window_->AddChild(kBrowseEditId, QRect(x, y + 305, statusWidth, 20));
    window_->AddChild(IDOK, QRect(x + 140, y + 335, 75, 23));
    window_->AddChild(IDCANCEL, QRect(x + 220, y + 335, 75, 23));
    window_->MessageHook = [this](UINT msg, WPARAM, LPARAM lParam, LRESULT&) {
        switch (msg) {
        case BFFM_SETSTATUSTEXTA:
            if (FakeWindow* status = StatusControl())
                status->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return true;
        case BFFM_ENABLEOK:
            OkButton()->enabled = lParam != 0;
            return true;
        case BFFM_SETSELECTIONA:
            selectedPath = window_->sent.back().text;
            return true;
        default:
            return false;
        }
    };

    struct Live {
        BROWSEINFOA*& slot;
        ~Live() { slot = nullptr; }
    } live{live_};
    live_ = &received;
    if (received.lpfn)
        received.lpfn(window_.get(), BFFM_INITIALIZED, 0, received.lParam);
    if (Script)
        Script(*this);
    if (dismissed || choice_ == Choice::Cancel)
        return nullptr;

    LPITEMIDLIST chosen =
        choice_ == Choice::Path ? ILCreateFromPath(choicePath_) : ILCreateVirtual(choicePath_, choiceDisplay_);
    if (!chosen)
        return nullptr;
    if (received.pszDisplayName) {
        const std::string name = ILDisplayName(chosen);
        const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(received.pszDisplayName, name.data(), n);
        received.pszDisplayName[n] = '\0';
    }
    received.iImage = imageIndex;
    return chosen;
}

}  // namespace testsupport
