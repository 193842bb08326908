// UTPathComponentIterator: a cursor over the '/'-separated components of a path text.
#pragma once

#include "foundation/RWCString.h"
#include "services/files/UTFilePath.h"

class UTPathComponentIterator {
public:
    explicit UTPathComponentIterator(const RWCString& path);
    explicit UTPathComponentIterator(const UTFilePath& path);

    bool first();
    bool last();
    bool next();
    bool prev();
    bool seek(int index);
    size_t count() const { return count_; }

    UTFilePath current() const;
    UTFilePath head() const;
    UTFilePath headBefore();
    UTFilePath tailAfter();

private:
    // Moves [start_, end_) to the component that begins at or after from; false when none.
    bool findFrom(size_t from);

    RWCString path_;
    size_t start_ = 0;
    size_t end_ = 0;
    size_t count_ = 0;
    size_t index_ = 0; // number of the current component
};
