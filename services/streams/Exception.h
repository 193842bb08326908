// The services library's own small exceptions: Exception, FileException (message and code)
// and MemoryException, and the new-handler that throws the last.
#pragma once

#include "foundation/RWCString.h"

class Exception {
public:
    Exception() = default;
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;
    ~Exception() = default;
};

// Thrown by the tagged record file; code 6 means the end of its data.
class FileException : public Exception {
public:
    FileException(const RWCString& message, int code) : message_(message), code_(code) {}

    const RWCString& message() const { return message_; }
    int code() const { return code_; }

private:
    RWCString message_;
    int code_;
};

// Thrown by the new-handler below when an allocation through new fails.
class MemoryException : public Exception {};

// Installs the handler that turns a failed allocation into a MemoryException, and removes it
// again (no handler: new throws std::bad_alloc).
void installMemoryExceptionHandler();
void removeMemoryExceptionHandler();
