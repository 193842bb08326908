// ReferingObject: the watching side of notification.
#pragma once

class NotificationEvent;

// Registers with a NotifyingObject under a cookie of its own choosing and receives its
// events, with that cookie, through notify.
class ReferingObject {
public:
    virtual ~ReferingObject();
    virtual void notify(NotificationEvent* event, void* cookie);
};
