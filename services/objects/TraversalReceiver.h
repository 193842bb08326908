// Traversal receivers: what a traversal over a graph of shared objects reports to, and the
// reachability test built on them.
#pragma once

#include "foundation/RWTValHashDictionary.h"

// Told about every object a traversal reaches; enter decides whether it descends into it.
class TraversalReceiverI {
public:
    virtual bool enter(void* object) = 0;
    virtual void leave(void* object) = 0;

protected:
    ~TraversalReceiverI() = default;
};

// An object a traversal can start on: it calls enter on each object it reaches (itself
// included), descends only where enter returned true, and calls leave when done with one.
class TraversableI {
public:
    virtual ~TraversableI() = default;
    virtual void traverse(TraversalReceiverI* receiver) = 0;
};

// A receiver that remembers the objects it has visited.
class SingleTraversalReceiverAC : public TraversalReceiverI {
public:
    SingleTraversalReceiverAC();
    virtual ~SingleTraversalReceiverAC();
    SingleTraversalReceiverAC(const SingleTraversalReceiverAC&) = delete;
    SingleTraversalReceiverAC& operator=(const SingleTraversalReceiverAC&) = delete;

    // Whether the object had been visited before; it is afterwards.
    bool markVisited(void* object);
    void clearVisited();

private:
    RWTValHashDictionary<void*, void*> VisitedObjectMap;
};

// Answers whether one object is reachable from another.
class referenceCheckerC : public SingleTraversalReceiverAC {
public:
    referenceCheckerC() = default;

    bool reachesTarget(TraversableI* root, void* target);
    bool enter(void* object) override;
    void leave(void*) override {}

private:
    void* target = nullptr;
    bool found = false;
};
