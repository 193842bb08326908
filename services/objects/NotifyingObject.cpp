// NotifyingObject: a counted object that tells its registered referers about events.
#include "services/objects/NotifyingObject.h"

#include <vector>

namespace {

int counter = 1;

}  // namespace

NotifyingObject::~NotifyingObject()
{
    if (destroyedFlag)
        *destroyedFlag = true;
    while (RefererPair* pair = referers.removeFirst())
        delete pair;
}

bool NotifyingObject::deleteIfUnreferenced()
{
    if (referenceCount() > 0 || dying)
        return false;
    if (!referers.isEmpty()) {
        dying = true;
        NotificationEventDying event(this);
        // Each pair leaves the list before its referer hears of it, so a referer that
        // removes itself from inside notify finds nothing left to remove.
        while (RefererPair* pair = referers.removeFirst()) {
            ReferingObject* referer = pair->first;
            void* cookie = pair->second;
            delete pair;
            if (referer)
                referer->notify(&event, cookie);
        }
        dying = false;
    }
    // A referer that kept a reference from inside notify keeps the object alive.
    return ReferencableObject::deleteIfUnreferenced();
}

void NotifyingObject::addReferer(ReferingObject* referer, void* cookie)
{
    const RefererPair pair(referer, cookie);
    if (!referers.contains(&pair))
        referers.append(new RefererPair(pair));
}

void NotifyingObject::removeReferer(ReferingObject* referer, void* cookie)
{
    const RefererPair pair(referer, cookie);
    delete referers.remove(&pair);
}

void NotifyingObject::removeReferer(ReferingObject* referer)
{
    auto sameReferer = [](RefererPair* pair, void* data) { return pair->first == static_cast<ReferingObject*>(data); };
    while (RefererPair* pair = referers.remove(sameReferer, referer))
        delete pair;
}

bool NotifyingObject::isRegistered(const RefererPair& pair) const
{
    return referers.contains(&pair);
}

void NotifyingObject::notifyReferers(NotificationEvent* event)
{
    if (counter <= 0 || referers.isEmpty())
        return;
    // Referers may add or remove pairs (their own or others') from inside notify, and
    // may even release this object: walk a snapshot, skip pairs that are gone by the
    // time their turn comes, and stop when this object has been deleted.
    std::vector<RefererPair> snapshot;
    snapshot.reserve(referers.entries());
    RWTPtrDlistIterator<RefererPair> it(referers);
    while (RefererPair* pair = it())
        snapshot.push_back(*pair);

    bool destroyed = false;
    bool* outerFlag = destroyedFlag;
    destroyedFlag = &destroyed;
    for (const RefererPair& pair : snapshot) {
        if (!pair.first || !isRegistered(pair))
            continue;
        pair.first->notify(event, pair.second);
        if (destroyed)
            break;
    }
    if (destroyed) {
        if (outerFlag)
            *outerFlag = true;
        return;
    }
    destroyedFlag = outerFlag;
}

RWTValOrderedVector<RefererPair>* NotifyingObject::getReferers() const
{
    auto* result = new RWTValOrderedVector<RefererPair>(0, false, 64);
    const RWDlink* tail = referers.core().tailSentinel();
    for (const RWDlink* l = referers.core().firstLink(); l != tail; l = l->next_)
        result->append(*static_cast<const RWTPtrDlink<RefererPair>*>(l)->item_);
    return result;
}

unsigned NotifyingObject::countReferers(RefererTest predicate, void* data) const
{
    unsigned n = 0;
    const RWDlink* tail = referers.core().tailSentinel();
    for (const RWDlink* l = referers.core().firstLink(); l != tail; l = l->next_)
        if (predicate(static_cast<const RWTPtrDlink<RefererPair>*>(l)->item_->first, data))
            ++n;
    return n;
}

void NotifyingObject::enableNotification()
{
    ++counter;
}

void NotifyingObject::disableNotification()
{
    --counter;
}

int NotifyingObject::notificationCounter()
{
    return counter;
}
