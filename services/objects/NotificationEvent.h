// NotificationEvent and its two kinds: what a NotifyingObject tells its referers.
#pragma once

class NotifyingObject;

// Built on the sender's stack for one notification; a receiver must not keep it.
// Receivers tell the kinds apart by their class.
class NotificationEvent {
public:
    explicit NotificationEvent(NotifyingObject* sendingObject) : sender(sendingObject) {}
    virtual ~NotificationEvent();

    NotifyingObject* sender;
};

// Sent by a configuration whose blocks changed; sender is the configuration.
class NotificationEventConfigChanged : public NotificationEvent {
public:
    explicit NotificationEventConfigChanged(NotifyingObject* sendingObject) : NotificationEvent(sendingObject) {}
    ~NotificationEventConfigChanged() override;
};

// Sent by a NotifyingObject whose last reference went, just before it deletes itself.
class NotificationEventDying : public NotificationEvent {
public:
    explicit NotificationEventDying(NotifyingObject* sendingObject) : NotificationEvent(sendingObject) {}
    ~NotificationEventDying() override;
};
