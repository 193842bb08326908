// NotificationEvent and its two kinds: what a NotifyingObject tells its referers.
#include "services/objects/NotificationEvent.h"

NotificationEvent::~NotificationEvent() = default;
NotificationEventConfigChanged::~NotificationEventConfigChanged() = default;
NotificationEventDying::~NotificationEventDying() = default;
