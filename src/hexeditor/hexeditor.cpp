// SPDX-License-Identifier: GPL-3.0-or-later
// The widget over its document: construction, start-up hooks, loading,
// saving and new documents with the hourglass and the repaint, the view's
// answers to the document's reports, and the deferred state-changed event.
#include "hexeditor/hexeditor.h"

#include "platform/widgets/Application.h"
#include "platform/widgets/Cursor.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

// The private message the editor posts to itself: one per NotifyStateChanged.
constexpr QEvent::Type kStateMessage = static_cast<QEvent::Type>(QEvent::User + 2);
constexpr int kStateParameter = 7;

class StateMessage : public QEvent {
public:
    StateMessage() : QEvent(kStateMessage) {}
    int wParam = kStateParameter;
    int lParam = kStateParameter;
};

}  // namespace

THexEditor::THexEditor(QWidget* parent) : platform::TCustomGrid(parent)
{
    InitGridLayout();
    InitDisplay();
    document_.SetListener(this);
}

THexEditor::~THexEditor()
{
    document_.SetListener(nullptr);
}

void THexEditor::PropertiesLoaded()
{
    NewFile("Untitled");
}

void THexEditor::WindowCreated()
{
    if (FileName() == "---")
        NewFile("Untitled");
}

// ---- Loading, saving, new documents ------------------------------------------

bool THexEditor::LoadFromFile(const std::string& path, const std::string& name)
{
    platform::WaitCursor wait(this);
    return document_.LoadFromFile(path, name);
}

bool THexEditor::SaveToFile(const std::string& path, const std::string& name)
{
    // Repainted on every path, after the cursor came back.
    struct Repaint {
        THexEditor* editor;
        ~Repaint() { editor->InvalidateGrid(); }
    } repaint{this};
    platform::WaitCursor wait(this);
    if (PendingZeroUntouched())
        DeleteSelection();
    return document_.SaveToFile(path, name);
}

bool THexEditor::PendingZeroUntouched() const
{
    return pendingZero_ >= 0 && pendingZero_ == DataSize() - 1 && selAnchor_ == pendingZero_ &&
           selLow_ == pendingZero_ && selHigh_ == pendingZero_ && ReadByte(pendingZero_) == 0;
}

void THexEditor::InsertModeChanged()
{
    if (InsertModeActive() == rowsForInsert_)
        return;
    GridSizeChanged();
    if (DataSize() > 0 && CaretCellPosition() > LastCaretPosition())
        PlaceCaret(LastCaretPosition(), InCharPane(), 0);
}

void THexEditor::NewFile(const std::string& name)
{
    document_.NewFile(name);
}

// ---- The document's reports --------------------------------------------------

void THexEditor::LengthChanged()
{
    GridSizeChanged();
}

void THexEditor::StateChanged()
{
    NotifyStateChanged();
}

void THexEditor::UndoReset()
{
    if (OnStateChanged)
        OnStateChanged(this);
}

void THexEditor::Replaced()
{
    ClearSelection(false);
    MoveCaretTo(2, 0);
}

// ---- State-changed event -----------------------------------------------------

void THexEditor::NotifyStateChanged()
{
    // Without a native window there is nobody to deliver the message to.
    if (!testAttribute(Qt::WA_WState_Created))
        return;
    QCoreApplication::postEvent(this, new StateMessage);
}

bool THexEditor::event(QEvent* e)
{
    if (e->type() == kStateMessage) {
        const auto* message = dynamic_cast<StateMessage*>(e);
        if (message && message->wParam == kStateParameter) {
            platform::Guard([this] {
                if (OnStateChanged)
                    OnStateChanged(this);
            });
        }
        return true;
    }
    if (e->type() == QEvent::Show && FileName() == "---")
        platform::Guard([this] { WindowCreated(); });
    return platform::TCustomGrid::event(e);
}
