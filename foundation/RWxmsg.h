// The exception family of the foundation library, the raisers of its bounds and pattern
// errors, and the process-wide fatal-error handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

#include "foundation/RWDefs.h"
#include "foundation/RWMessage.h"

// Root of the family. Owns a heap copy of its text unless built from a text that outlives it.
class RWxmsg : public std::exception {
public:
    explicit RWxmsg(const char* msg);
    explicit RWxmsg(const RWMessage& m);
    RWxmsg(const char* msg, bool doCopy);
    RWxmsg(const RWxmsg& other);
    RWxmsg& operator=(const RWxmsg& other);
    ~RWxmsg() override;

    const char* why() const noexcept { return msg_; }
    const char* what() const noexcept override { return msg_; }

    [[noreturn]] void raise() const;

private:
    char* msg_;
    bool doFree_;
};

// Allocation failure. Its text is the NOMEM catalog text itself, so building it allocates nothing.
class RWxalloc : public RWxmsg {
public:
    explicit RWxalloc(size_t size);
    RWxalloc(const RWxalloc&) = default;
    RWxalloc& operator=(const RWxalloc&) = default;

    uint32_t requested() const { return size_; }
    [[noreturn]] void raise() const;

private:
    uint32_t size_;
};

class RWExternalErr : public RWxmsg {
public:
    explicit RWExternalErr(const char* msg);
    explicit RWExternalErr(const RWMessage& m);
    [[noreturn]] void raise() const;
};

// A file error: the text, a kind of error and the file it concerns (both given by the raiser).
class RWFileErr : public RWExternalErr {
public:
    RWFileErr(const char* msg, uint32_t errorType, uint32_t file);
    RWFileErr(const RWMessage& m, uint32_t errorType, uint32_t file);

    uint32_t errorType() const { return errorType_; }
    uint32_t file() const { return file_; }
    [[noreturn]] void raise() const;

private:
    uint32_t errorType_;
    uint32_t file_;
};

// A stream error: the text and the stream state word given by the raiser.
class RWStreamErr : public RWExternalErr {
public:
    RWStreamErr(const char* msg, uint32_t state);
    RWStreamErr(const RWMessage& m, uint32_t state);

    uint32_t errorState() const { return state_; }
    [[noreturn]] void raise() const;

private:
    uint32_t state_;
};

class RWInternalErr : public RWxmsg {
public:
    explicit RWInternalErr(const char* msg);
    explicit RWInternalErr(const RWMessage& m);
    [[noreturn]] void raise() const;
};

class RWBoundsErr : public RWInternalErr {
public:
    explicit RWBoundsErr(const char* msg);
    explicit RWBoundsErr(const RWMessage& m);
    [[noreturn]] void raise() const;
};

// Raisers used by the checks of strings and collections. Indexes and counts are shown as
// unsigned 32-bit values, so RW_NPOS reads 4294967295.

// RWBoundsErr with NPOSINDEX when index is RW_NPOS, else INDEXERR (index, count).
// Used by strings, RWPtrVector and the linked lists.
[[noreturn]] void rwBoundsError(size_t index, size_t count);
// RWBoundsErr with INDEXERR (index, count) for every index, RW_NPOS included.
// Used by the ordered and sorted vectors.
[[noreturn]] void rwIndexError(size_t index, size_t count);
// RWBoundsErr with SUBSTRING (start, extent, length).
[[noreturn]] void rwSubStringError(size_t length, size_t start, size_t extent);
// RWBoundsErr with OVFLOW: a buffer that cannot grow any further.
[[noreturn]] void rwOverflowError();
// RWInternalErr with BADRE: a search with a pattern that did not compile.
[[noreturn]] void rwBadRegexpError();

// Checks index < count, raising as rwBoundsError does.
inline void rwCheckIndex(size_t index, size_t count)
{
    if (index >= count)
        rwBoundsError(index, count);
}

// The process-wide fatal-error handler. The built-in one shows the text in a message box
// (caption "Fatal Error") and ends the process with exit code 1.
using rwErrHandler = void (*)(const RWxmsg&);
rwErrHandler rwSetErrHandler(rwErrHandler handler);  // returns the previous one; null restores the built-in
[[noreturn]] void rwDefaultErrHandler(const RWxmsg& e);
void rwFatalError(const RWxmsg& e);  // hands e to the installed handler
