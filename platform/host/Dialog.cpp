// Dialog: control lookup, radio groups and clicks.
#include "platform/host/Dialog.h"

namespace platform::host {

DialogControl* Dialog::find(int id)
{
    for (DialogControl& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const DialogControl* Dialog::find(int id) const { return const_cast<Dialog*>(this)->find(id); }

void Dialog::checkRadio(int id)
{
    size_t at = controls.size();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].id == id && controls[i].kind == DialogControlKind::RadioButton)
            at = i;
    if (at == controls.size())
        return;
    // The group runs from its first button (groupStart) to the next group start.
    size_t first = at;
    while (first > 0 && !controls[first].groupStart)
        --first;
    for (size_t i = first; i < controls.size(); ++i) {
        if (i > first && controls[i].groupStart)
            break;
        if (controls[i].kind == DialogControlKind::RadioButton)
            controls[i].checked = (i == at);
    }
}

int Dialog::click(int id)
{
    DialogControl* c = find(id);
    if (c == nullptr)
        return 0;
    if (c->kind == DialogControlKind::RadioButton)
        checkRadio(id);
    else if (c->kind == DialogControlKind::CheckBox)
        c->checked = !c->checked;
    if (onCommand)
        return onCommand(*this, id);
    if (c->kind == DialogControlKind::PushButton || c->kind == DialogControlKind::DefaultPushButton)
        return id;
    return 0;
}

}  // namespace platform::host
