// Tests of ReferencableObject and refHandle: counts, deletion and assignment order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/objects/ReferencableObject.h"
#include "services/objects/refHandle.h"

namespace {

// Records every count change and its own deletion in a shared log.
class Counted : public ReferencableObject {
public:
    Counted(std::vector<std::string>& log, const char* name) : log_(log), name_(name) {}
    ~Counted() override { log_.push_back(std::string("delete ") + name_); }
    void incRef() override
    {
        ReferencableObject::incRef();
        log_.push_back(std::string("inc ") + name_);
    }
    void decRef() override
    {
        ReferencableObject::decRef();
        log_.push_back(std::string("dec ") + name_);
    }

private:
    std::vector<std::string>& log_;
    const char* name_;
};

using Log = std::vector<std::string>;

TEST(ReferencableObjectTest, ReleaseDeletesExactlyWhenTheLastReferenceGoes)
{
    Log log;
    Counted* object = new Counted(log, "a");
    EXPECT_EQ(object->referenceCount(), 0);
    object->addRef();
    object->addRef();
    EXPECT_EQ(object->referenceCount(), 2);
    EXPECT_FALSE(object->deleteIfUnreferenced());
    EXPECT_FALSE(object->release());
    EXPECT_EQ(object->referenceCount(), 1);
    EXPECT_TRUE(object->release());
    EXPECT_EQ(log, (Log{"inc a", "inc a", "dec a", "dec a", "delete a"}));
}

TEST(ReferencableObjectTest, NullHandlesNeverTouchACount)
{
    refHandle<Counted> empty;
    refHandle<Counted> fromNull(nullptr);
    refHandle<Counted> copy(empty);
    copy = fromNull;
    copy = static_cast<Counted*>(nullptr);
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_FALSE(copy.isValid());
}

TEST(ReferencableObjectTest, OneHandleDeletesItsObjectOnce)
{
    Log log;
    {
        refHandle<Counted> handle(new Counted(log, "a"));
        EXPECT_EQ(handle->referenceCount(), 1);
    }
    EXPECT_EQ(log, (Log{"inc a", "dec a", "delete a"}));
}

TEST(ReferencableObjectTest, TwoHandlesKeepTheObjectUntilTheSecondGoes)
{
    Log log;
    Counted* object = new Counted(log, "a");
    auto* first = new refHandle<Counted>(object);
    {
        refHandle<Counted> second(*first);
        EXPECT_EQ(object->referenceCount(), 2);
        delete first;
        EXPECT_EQ(object->referenceCount(), 1);
        EXPECT_EQ(second.get(), object);
        EXPECT_EQ(second.pointer(), object);
    }
    EXPECT_EQ(log.back(), "delete a");
}

TEST(ReferencableObjectTest, AssignmentTakesTheNewReferenceBeforeReleasingTheOld)
{
    Log log;
    refHandle<Counted> handle(new Counted(log, "a"));
    refHandle<Counted> other(new Counted(log, "b"));
    log.clear();
    handle = other;
    EXPECT_EQ(log, (Log{"inc b", "dec a", "delete a"}));
    log.clear();
    handle = new Counted(log, "c");
    EXPECT_EQ(log, (Log{"inc c", "dec b"}));
    EXPECT_EQ(other->referenceCount(), 1);
}

TEST(ReferencableObjectTest, SelfAssignmentKeepsTheObjectAndItsCount)
{
    Log log;
    refHandle<Counted> handle(new Counted(log, "a"));
    Counted* raw = handle.get();
    const refHandle<Counted>& same = handle;
    handle = same;
    handle = raw;
    EXPECT_EQ(handle.get(), raw);
    EXPECT_EQ(raw->referenceCount(), 1);
    EXPECT_EQ(log, (Log{"inc a", "inc a", "dec a", "inc a", "dec a"}));
}

TEST(ReferencableObjectTest, CopyOfAnObjectStartsUnreferenced)
{
    Log log;
    Counted original(log, "a");
    original.addRef();
    Counted copy(original);
    EXPECT_EQ(copy.referenceCount(), 0);
    original.decRef();
}

// Keeps itself alive through a handle of its own until that handle is cleared.
class SelfOwned : public ReferencableObject {
public:
    explicit SelfOwned(bool& deleted) : deleted_(deleted) { self = this; }
    ~SelfOwned() override { deleted_ = true; }
    refHandle<SelfOwned> self;

private:
    bool& deleted_;
};

TEST(ReferencableObjectTest, ClearingTheHandleThatOwnsItsObjectIsSafe)
{
    bool deleted = false;
    SelfOwned* object = new SelfOwned(deleted);
    EXPECT_EQ(object->referenceCount(), 1);
    object->self = static_cast<SelfOwned*>(nullptr);  // deletes the object holding the handle
    EXPECT_TRUE(deleted);
}

}  // namespace
