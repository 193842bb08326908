// ZipTreeNodeC: one node (directory or file) of an archive object's tree of entry names.
#pragma once

#include "foundation/RWCString.h"

// Children form a singly linked list in insertion order; a node owns its children and frees
// them, with everything below them, when it is freed.
class ZipTreeNodeC {
public:
    explicit ZipTreeNodeC(const char* name = nullptr, int isDirectory = 0);
    ~ZipTreeNodeC();
    ZipTreeNodeC(const ZipTreeNodeC&) = delete;
    ZipTreeNodeC& operator=(const ZipTreeNodeC&) = delete;

    // Appends child at the end of the child list and makes this node its parent.
    void addChild(ZipTreeNodeC* child);

    RWCString name;
    int isDirectory;
    ZipTreeNodeC* next = nullptr;
    ZipTreeNodeC* firstChild = nullptr;
    ZipTreeNodeC* parent = nullptr;
};
