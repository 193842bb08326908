// ZipTreeNodeC: construction, child links and freeing of a subtree.
#include "services/archive/ZipTreeNodeC.h"

#include <vector>

ZipTreeNodeC::ZipTreeNodeC(const char* n, int dir) : name(n ? n : ""), isDirectory(dir) {}

ZipTreeNodeC::~ZipTreeNodeC()
{
    // Without recursion: a path of thousands of components makes a tree as deep.
    std::vector<ZipTreeNodeC*> pending;
    for (ZipTreeNodeC* c = firstChild; c; c = c->next)
        pending.push_back(c);
    firstChild = nullptr;
    while (!pending.empty()) {
        ZipTreeNodeC* node = pending.back();
        pending.pop_back();
        for (ZipTreeNodeC* c = node->firstChild; c; c = c->next)
            pending.push_back(c);
        node->firstChild = nullptr;
        delete node;
    }
}

void ZipTreeNodeC::addChild(ZipTreeNodeC* child)
{
    child->parent = this;
    child->next = nullptr;
    ZipTreeNodeC** link = &firstChild;
    while (*link)
        link = &(*link)->next;
    *link = child;
}
