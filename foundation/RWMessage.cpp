// The message catalogs "rwtools7.0" and "rwcore7.0" and bounded message formatting.
#include "foundation/RWMessage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kTools[] = "rwtools7.0";
const char kCore[] = "rwcore7.0";

char* copyText(const char* text)
{
    size_t n = std::strlen(text) + 1;
    char* p = new char[n];
    std::memcpy(p, text, n);
    return p;
}

}  // namespace

#define RW_TOOL_MSG(key, number, text)                           \
    const RWMsgId& RWTOOL_##key()                                \
    {                                                            \
        static constexpr RWMsgId record{kTools, number, text};   \
        return record;                                           \
    }
#define RW_CORE_MSG(key, number, text)                           \
    const RWMsgId& RWCORE_##key()                                \
    {                                                            \
        static constexpr RWMsgId record{kCore, number, text};    \
        return record;                                           \
    }

RW_TOOL_MSG(ALLOCOUT, 0x2000, "[ALLOCOUT] %s destructor called with allocation outstanding")
RW_TOOL_MSG(BADRE, 0x2001, "[BADRE] Attempt to use invalid regular expression")
RW_TOOL_MSG(CRABS, 0x2002, "[CRABS] RWFactory: attempting to create abstract class with ID %hu (0x%hx)")
RW_TOOL_MSG(FLIST, 0x2003, "[FLIST] Free list size error: expected %ld, got %ld")
RW_TOOL_MSG(ID, 0x2004, "[ID] Unexpected class ID %hu; should be %hu")
RW_TOOL_MSG(INDEX, 0x2005, "[INDEX] Index (%u) out of range [0->%u]")
RW_TOOL_MSG(LOCK, 0x2006, "[LOCK] Locked object deleted")
RW_TOOL_MSG(LONGINDEX, 0x2007, "[LONGINDEX] Long index (%lu) out of range [0->%lu]")
RW_TOOL_MSG(MAGIC, 0x2008, "[MAGIC] Bad magic number: %ld (should be %ld)")
RW_TOOL_MSG(NEVECL, 0x2009, "[NEVECL] Unequal vector lengths: %u versus %u")
RW_TOOL_MSG(NOCREATE, 0x200a, "[NOCREATE] RWFactory: no create function for class with ID %hu (0x%hx)")
RW_TOOL_MSG(NOTALLOW, 0x200b, "[NOTALLOW] Function not allowed for derived class")
RW_TOOL_MSG(READERR, 0x200c, "[READERR] Read error")
RW_TOOL_MSG(REF, 0x200d, "[REF] Bad persistence reference")
RW_TOOL_MSG(SEEKERR, 0x200e, "[SEEKERR] Seek error")
RW_TOOL_MSG(STREAM, 0x200f, "[STREAM] Bad input stream")
RW_TOOL_MSG(SUBSTRING, 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString")
RW_TOOL_MSG(UNLOCK, 0x2011, "[UNLOCK] Improper use of locked object")
RW_TOOL_MSG(WRITEERR, 0x2012, "[WRITEERR] Write error")
RW_TOOL_MSG(INDEXERR, 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements")
RW_TOOL_MSG(NPOSINDEX, 0x2014, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.")
RW_TOOL_MSG(NOPERSIST, 0x2015, "[NOPERSIST] Persistence not implemented for type %s.")
RW_TOOL_MSG(CRABSS, 0x2016, "[CRABSS] RWFactory: attempting to create abstract class with StringID %s.")

RW_CORE_MSG(EOF, 0x1000, "[EOF] EOF on input")
RW_CORE_MSG(GENERIC, 0x1001, "[GENERIC] Generic error number %d; %s")
RW_CORE_MSG(INVADDR, 0x1002, "[INVADDR] Invalid address: %lx")
RW_CORE_MSG(LOCK, 0x1003, "[LOCK] Unable to lock memory")
RW_CORE_MSG(NOINIT, 0x1004, "[NOINIT] Memory allocated without being initialized")
RW_CORE_MSG(NOMEM, 0x1005, "[NOMEM] No memory")
RW_CORE_MSG(OPERR, 0x1006, "[OPERR] Could not open file %s")
RW_CORE_MSG(OUTALLOC, 0x1007, "[OUTALLOC] Memory released with allocations still outstanding")
RW_CORE_MSG(OVFLOW, 0x1008, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)")
RW_CORE_MSG(STREAM, 0x1009, "[STREAM] Bad input stream")
RW_CORE_MSG(SYNSTREAM, 0x100a, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s")

#undef RW_TOOL_MSG
#undef RW_CORE_MSG

RWMessage::RWMessage(RWMsgId id, ...)
{
    // Bounded: a longer text is cut at 1,023 characters.
    char buffer[1024];
    va_list args;
    va_start(args, id);
    int n = std::vsnprintf(buffer, sizeof buffer, id.str(), args);
    va_end(args);
    if (n < 0)
        buffer[0] = '\0';
    msg_ = copyText(buffer);
}

RWMessage::RWMessage(const char* text) : msg_(copyText(text ? text : "")) {}

RWMessage::RWMessage(const RWMessage& other) : msg_(copyText(other.msg_)) {}

RWMessage& RWMessage::operator=(const RWMessage& other)
{
    if (this != &other) {
        char* copy = copyText(other.msg_);
        delete[] msg_;
        msg_ = copy;
    }
    return *this;
}

RWMessage::~RWMessage()
{
    delete[] msg_;
}
