// The new-handler that throws MemoryException.
#include "services/streams/Exception.h"

#include <new>

namespace {

void throwMemoryException()
{
    throw MemoryException();
}

}  // namespace

void installMemoryExceptionHandler()
{
    std::set_new_handler(throwMemoryException);
}

void removeMemoryExceptionHandler()
{
    std::set_new_handler(nullptr);
}
