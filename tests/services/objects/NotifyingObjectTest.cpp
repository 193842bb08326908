// Tests of NotifyingObject and ReferingObject: registration, ordinary and dying notifications.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/objects/NotifyingObject.h"
#include "services/objects/refHandle.h"

namespace {

using Log = std::vector<std::string>;

struct Watcher : ReferingObject {
    Watcher(Log& log, std::string name) : log(log), name(std::move(name)) {}
    void notify(NotificationEvent* event, void* cookie) override
    {
        const char* kind = dynamic_cast<NotificationEventDying*>(event) ? "dying" : "event";
        log.push_back(name + " " + kind + " " + std::to_string(reinterpret_cast<uintptr_t>(cookie)));
        if (action)
            action(event);
    }
    Log& log;
    std::string name;
    std::function<void(NotificationEvent*)> action;
};

void* cookie(uintptr_t n)
{
    return reinterpret_cast<void*>(n);
}

struct Subject : NotifyingObject {
    explicit Subject(bool* deleted = nullptr) : deleted(deleted) {}
    ~Subject() override
    {
        if (deleted)
            *deleted = true;
    }
    bool* deleted;
};

TEST(NotifyingObjectTest, RegistrationKeepsOnePairPerRefererAndCookie)
{
    Log log;
    Watcher a(log, "a"), b(log, "b");
    Subject subject;
    subject.addReferer(&a, cookie(1));
    subject.addReferer(&a, cookie(1));
    subject.addReferer(&b, cookie(1));
    subject.addReferer(&a, cookie(2));
    NotificationEventConfigChanged event(&subject);
    subject.notifyReferers(&event);
    EXPECT_EQ(log, (Log{"a event 1", "b event 1", "a event 2"}));

    std::unique_ptr<RWTValOrderedVector<RefererPair>> pairs(subject.getReferers());
    ASSERT_EQ(pairs->entries(), 3u);
    EXPECT_TRUE((*pairs)[2] == RefererPair(&a, cookie(2)));
    auto isA = [](ReferingObject* r, void* data) { return r == data; };
    EXPECT_EQ(subject.countReferers(isA, &a), 2u);

    subject.removeReferer(&b, cookie(2));  // not registered: nothing changes
    EXPECT_EQ(subject.countReferers(isA, &b), 1u);
    subject.removeReferer(&a);
    EXPECT_EQ(subject.countReferers(isA, &a), 0u);
    EXPECT_EQ(subject.countReferers(isA, &b), 1u);
    EXPECT_TRUE(subject.isSameObject(&subject));
    EXPECT_FALSE(subject.isSameObject(&a));
}

TEST(NotifyingObjectTest, DisabledNotificationsNestAndStillLetDyingThrough)
{
    Log log;
    Watcher a(log, "a");
    bool deleted = false;
    refHandle<Subject> handle(new Subject(&deleted));
    handle->addReferer(&a, cookie(1));
    handle->addReferer(&a, cookie(2));
    NotificationEventConfigChanged event(handle.get());
    NotifyingObject::disableNotification();
    NotifyingObject::disableNotification();
    handle->notifyReferers(&event);
    NotifyingObject::enableNotification();
    handle->notifyReferers(&event);
    EXPECT_TRUE(log.empty());
    handle = static_cast<Subject*>(nullptr);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(log, (Log{"a dying 1", "a dying 2"}));
    NotifyingObject::enableNotification();
    EXPECT_EQ(NotifyingObject::notificationCounter(), 1);
}

TEST(NotifyingObjectTest, DyingObjectTellsEveryObserverOnceEvenWhenTheyUnregister)
{
    Log log;
    Watcher a(log, "a"), b(log, "b"), c(log, "c");
    Subject* subject = new Subject;
    a.action = [&](NotificationEvent* e) {
        EXPECT_EQ(e->sender, subject);
        subject->removeReferer(&a);
        subject->removeReferer(&b, cookie(2));  // removed before its turn
    };
    subject->addReferer(&a, cookie(1));
    subject->addReferer(&b, cookie(2));
    subject->addReferer(nullptr, cookie(9));
    subject->addReferer(&c, cookie(3));
    subject->addRef();
    EXPECT_TRUE(subject->release());
    EXPECT_EQ(log, (Log{"a dying 1", "c dying 3"}));
}

TEST(NotifyingObjectTest, ObserversMayRemoveThemselvesAndOthersWhileNotified)
{
    Log log;
    Watcher a(log, "a"), b(log, "b"), c(log, "c"), d(log, "d");
    Subject subject;
    a.action = [&](NotificationEvent*) {
        subject.removeReferer(&a);
        subject.removeReferer(&c);
        subject.addReferer(&d, cookie(4));
    };
    subject.addReferer(&a, cookie(1));
    subject.addReferer(&b, cookie(2));
    subject.addReferer(&c, cookie(3));
    NotificationEventConfigChanged event(&subject);
    subject.notifyReferers(&event);
    EXPECT_EQ(log, (Log{"a event 1", "b event 2"}));
    log.clear();
    subject.notifyReferers(&event);
    EXPECT_EQ(log, (Log{"b event 2", "d event 4"}));
}

TEST(NotifyingObjectTest, ObserverReleasingTheLastReferenceEndsTheWalk)
{
    Log log;
    Watcher a(log, "a"), b(log, "b");
    bool deleted = false;
    auto* handle = new refHandle<Subject>(new Subject(&deleted));
    a.action = [&](NotificationEvent* e) {
        if (!dynamic_cast<NotificationEventDying*>(e))
            delete handle;
    };
    (*handle)->addReferer(&a, cookie(1));
    (*handle)->addReferer(&b, cookie(2));
    NotificationEventConfigChanged event(handle->get());
    (*handle)->notifyReferers(&event);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(log, (Log{"a event 1", "a dying 1", "b dying 2"}));
}

TEST(NotifyingObjectTest, DirectDeletionAndUnwatchedDeathTellNobody)
{
    Log log;
    Watcher a(log, "a");
    Subject* subject = new Subject;
    subject->addReferer(&a, cookie(1));
    delete subject;
    EXPECT_TRUE(log.empty());

    bool deleted = false;
    { refHandle<Subject> alone(new Subject(&deleted)); }
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(log.empty());
}

TEST(NotifyingObjectTest, RefererTouchingTheDyingObjectDoesNotDeleteItTwice)
{
    // One referer takes and drops a handle on the sender while it dies; another keeps one.
    Log log;
    Watcher a(log, "a"), b(log, "b"), c(log, "c");
    bool deleted = false;
    Subject* subject = new Subject(&deleted);
    a.action = [&](NotificationEvent* e) { refHandle<Subject> brief(static_cast<Subject*>(e->sender)); };
    subject->addReferer(&a, cookie(1));
    subject->addReferer(&b, cookie(2));
    subject->addRef();
    EXPECT_TRUE(subject->release());
    EXPECT_TRUE(deleted);
    EXPECT_EQ(log, (Log{"a dying 1", "b dying 2"}));

    log.clear();
    deleted = false;
    refHandle<Subject> kept;
    subject = new Subject(&deleted);
    c.action = [&](NotificationEvent* e) { kept = static_cast<Subject*>(e->sender); };
    subject->addReferer(&c, cookie(3));
    subject->addRef();
    EXPECT_FALSE(subject->release());
    EXPECT_FALSE(deleted);
    EXPECT_EQ(kept->referenceCount(), 1);
    EXPECT_EQ(log, (Log{"c dying 3"}));
    kept = static_cast<Subject*>(nullptr);
    EXPECT_TRUE(deleted);
}

}  // namespace
