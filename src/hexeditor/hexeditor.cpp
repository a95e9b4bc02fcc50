// Construction, start-up hooks and destruction of the byte editor.
#include "hexeditor/hexeditor.h"

#include <QEvent>

THexEditor::THexEditor(QWidget* parent) : platform::TCustomGrid(parent), pageBuffer_(new std::uint8_t[kPageSize]())
{
    InitGridLayout();
}

THexEditor::~THexEditor() = default;

void THexEditor::PropertiesLoaded()
{
    NewFile("Untitled");
}

void THexEditor::WindowCreated()
{
    if (fileName_ == "---")
        NewFile("Untitled");
}

bool THexEditor::event(QEvent* e)
{
    return platform::TCustomGrid::event(e);
}
