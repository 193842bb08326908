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
    if (c == nullptr || !c->enabled || !c->visible)
        return 0;
    if (c->kind == DialogControlKind::Label && !c->notify)
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

void Dialog::startTimer(int controlId, unsigned id, unsigned periodMs)
{
    for (DialogTimer& t : timers)
        if (t.controlId == controlId && t.id == id) {
            t.periodMs = periodMs;
            return;
        }
    timers.push_back(DialogTimer{controlId, id, periodMs});
}

void Dialog::stopTimer(int controlId, unsigned id)
{
    std::erase_if(timers, [&](const DialogTimer& t) { return t.controlId == controlId && t.id == id; });
}

bool Dialog::tick(int controlId, unsigned id)
{
    for (const DialogTimer& t : timers)
        if (t.controlId == controlId && t.id == id) {
            if (onTimer)
                onTimer(*this, controlId, id);
            return true;
        }
    return false;
}

}  // namespace platform::host
