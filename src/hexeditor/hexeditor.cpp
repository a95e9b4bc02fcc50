// Construction, start-up hooks, destruction and the deferred state-changed
// notification of the byte editor.
#include "hexeditor/hexeditor.h"

#include "platform/widgets/Application.h"

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

THexEditor::THexEditor(QWidget* parent) : platform::TCustomGrid(parent), pageBuffer_(new std::uint8_t[kPageSize]())
{
    InitGridLayout();
    InitDisplay();
    ChooseWorkingCopy();
    ResetUndo();
}

THexEditor::~THexEditor()
{
    CloseWorkingFile();
    undoLog_.reset();
    changedBytes_.clear();
    RemoveWorkingCopy();
}

void THexEditor::PropertiesLoaded()
{
    NewFile("Untitled");
}

void THexEditor::WindowCreated()
{
    if (fileName_ == "---")
        NewFile("Untitled");
}

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
    if (e->type() == QEvent::Show && fileName_ == "---")
        platform::Guard([this] { WindowCreated(); });
    return platform::TCustomGrid::event(e);
}
