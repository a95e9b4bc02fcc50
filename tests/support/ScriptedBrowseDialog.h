// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the browse-for-folder dialog: it builds a window
// tree of FakeWindows (the dialog and its controls, including the status line
// with id 14147), sends BFFM_INITIALIZED, plays a script of selection changes
// and edit-box rejections, and ends with a scripted choice. Every message the
// caller sends to the dialog is recorded. Install it with
// BrowseDialogOverride.
#pragma once

#include "ShellDoubles.h"
#include "platform/shell/Shell.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

using platform::BrowseDialog;
using platform::BROWSEINFOA;
using platform::LPARAM;
using platform::LPITEMIDLIST;
using platform::LRESULT;
using platform::UINT;
using platform::Window;
using platform::WPARAM;

// A window that exists only in memory and records what it is sent.
class FakeWindow : public Window {
public:
    struct Sent {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        // The text the message carried: WM_SETTEXT, BFFM_SETSTATUSTEXTA and a
        // path for BFFM_SETSELECTIONA; for an item list its parsing name.
        std::string text;
    };

    FakeWindow(int id, QRect rect, bool visible = true);
    FakeWindow* AddChild(int id, QRect rect, bool visible = true);
    // The first descendant with the control id, or null.
    FakeWindow* Find(int id);

    std::vector<Sent> sent;
    std::vector<QPoint> moves;
    QRect rect;
    bool visible;
    bool enabled = true;
    std::string text;
    QFont font;
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> MessageHook;

    QRect ScreenRect() const override { return rect; }
    void MoveTo(int x, int y) override;
    void Resize(int width, int height) override { rect.setSize(QSize(width, height)); }
    std::vector<Window*> Children() const override;
    int ControlId() const override { return id_; }
    bool Visible() const override { return visible; }
    void SetVisible(bool value) override { visible = value; }
    bool Enabled() const override { return enabled; }
    void SetEnabled(bool value) override { enabled = value; }
    std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
    QFont Font() const override { return font; }
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int id_;
    std::vector<std::unique_ptr<FakeWindow>> children_;
};

class ScriptedBrowseDialog : public BrowseDialog {
public:
    // ---- Set up before the dialog runs ----
    QRect dialogRect{10, 20, 320, 400};
    // Width of the status control and the font it measures text with.
    int statusWidth = 300;
    QFont statusFont;
    // Played after BFFM_INITIALIZED, with the window open.
    std::function<void(ScriptedBrowseDialog&)> Script;
    // The image index the dialog reports for the choice.
    int imageIndex = -1;
    // The choice: OK on a path (the default is Cancel) ...
    void ChoosePath(const std::string& path);
    // ... OK on an item outside the file system ...
    void ChooseVirtual(const std::string& parsingName, const std::string& displayName);
    // ... or Cancel.
    void ChooseCancel();

    // ---- Actions for the script ----
    // BFFM_SELCHANGED with an item list that the dialog owns for the call.
    int SelectPath(const std::string& path);
    // BFFM_VALIDATEFAILEDA for typed text; a zero answer dismisses the dialog
    // (Run then returns null, as for Cancel).
    int TypeInvalid(const std::string& text);
    FakeWindow* DialogWindow() const { return window_.get(); }
    FakeWindow* StatusControl() const { return window_ ? window_->Find(platform::kBrowseStatusId) : nullptr; }
    FakeWindow* OkButton() const { return window_ ? window_->Find(platform::IDOK) : nullptr; }

    // ---- Inspect afterwards ----
    int runs = 0;
    BROWSEINFOA info{};  // as received (pointers are stale after Run)
    std::string title;
    std::string rootPath;  // parsing name of the root list; empty for none
    bool hadOwner = false;
    // The path or parsing name of the last BFFM_SETSELECTIONA.
    std::string selectedPath;
    bool dismissed = false;

    LPITEMIDLIST Run(BROWSEINFOA& info) override;

private:
    enum class Choice { Cancel, Path, Virtual };
    Choice choice_ = Choice::Cancel;
    std::string choicePath_;
    std::string choiceDisplay_;
    BROWSEINFOA* live_ = nullptr;
    std::unique_ptr<FakeWindow> window_;
};

// Installs a dialog for the lifetime of the guard and restores the previous one.
class BrowseDialogOverride {
public:
    explicit BrowseDialogOverride(BrowseDialog* dialog) : previous_(InstallBrowseDialog(dialog)) {}
    ~BrowseDialogOverride() { InstallBrowseDialog(previous_); }
    BrowseDialogOverride(const BrowseDialogOverride&) = delete;
    BrowseDialogOverride& operator=(const BrowseDialogOverride&) = delete;

private:
    BrowseDialog* previous_;
};

}  // namespace testsupport
