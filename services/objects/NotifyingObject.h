// NotifyingObject: a counted object that tells its registered referers about events.
#pragma once

#include "foundation/RWTPair.h"
#include "foundation/RWTPtrDlist.h"
#include "foundation/RWTValOrderedVector.h"
#include "services/objects/NotificationEvent.h"
#include "services/objects/ReferencableObject.h"
#include "services/objects/ReferingObject.h"

using RefererPair = RWTPair<ReferingObject*, void*>;

// Referers register with a cookie of their own and are told, in registration order, about
// every event the object sends while notifications are enabled process-wide. When the
// last reference goes, every referer hears NotificationEventDying once per registration,
// whatever the switch says, and then the object deletes itself.
class NotifyingObject : public ReferencableObject {
public:
    using RefererTest = bool (*)(ReferingObject* referer, void* data);

    NotifyingObject() = default;
    // A copy starts without referers: they registered with the original.
    NotifyingObject(const NotifyingObject& other) : ReferencableObject(other) {}
    NotifyingObject& operator=(const NotifyingObject&) { return *this; }
    ~NotifyingObject() override;

    bool deleteIfUnreferenced() override;

    void addReferer(ReferingObject* referer, void* cookie);
    void removeReferer(ReferingObject* referer, void* cookie);
    void removeReferer(ReferingObject* referer);
    void notifyReferers(NotificationEvent* event);
    // A new vector (the caller deletes it) with copies of the pairs in registration order.
    RWTValOrderedVector<RefererPair>* getReferers() const;
    unsigned countReferers(RefererTest predicate, void* data) const;
    bool isSameObject(const void* other) const { return other == this; }

    // Process-wide switch of ordinary notifications; the calls nest.
    static void enableNotification();
    static void disableNotification();
    static int notificationCounter();

private:
    bool isRegistered(const RefererPair& pair) const;

    RWTPtrDlist<RefererPair> referers;
    // Set while notifyReferers runs, so that it can tell when a referer's notify
    // deleted this object.
    bool* destroyedFlag = nullptr;
    // Set while the dying event goes round: a referer that briefly takes and drops a
    // reference from inside notify must not delete the object under that walk.
    bool dying = false;
};
