// The exception family, the raisers used by the library's checks and the fatal-error handler.
#include "foundation/RWxmsg.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/sys.h"

namespace {

char* copyText(const char* text)
{
    if (!text)
        text = "";
    size_t n = std::strlen(text) + 1;
    char* p = new char[n];
    std::memcpy(p, text, n);
    return p;
}

// The catalog texts show indexes and counts as unsigned 32-bit values.
unsigned shown(size_t v)
{
    return static_cast<unsigned>(v);
}

std::atomic<rwErrHandler> gErrHandler{&rwDefaultErrHandler};

}  // namespace

// ---- RWxmsg ----

RWxmsg::RWxmsg(const char* msg) : msg_(copyText(msg)), doFree_(true) {}

RWxmsg::RWxmsg(const RWMessage& m) : msg_(copyText(m.str())), doFree_(true) {}

RWxmsg::RWxmsg(const char* msg, bool doCopy)
    : msg_(doCopy ? copyText(msg) : const_cast<char*>(msg ? msg : "")), doFree_(doCopy)
{
}

RWxmsg::RWxmsg(const RWxmsg& other)
    : std::exception(other), msg_(other.doFree_ ? copyText(other.msg_) : other.msg_), doFree_(other.doFree_)
{
}

RWxmsg& RWxmsg::operator=(const RWxmsg& other)
{
    if (this != &other) {
        char* text = other.doFree_ ? copyText(other.msg_) : other.msg_;
        if (doFree_)
            delete[] msg_;
        msg_ = text;
        doFree_ = other.doFree_;
    }
    return *this;
}

RWxmsg::~RWxmsg()
{
    if (doFree_)
        delete[] msg_;
}

void RWxmsg::raise() const
{
    throw RWxmsg(*this);
}

// ---- the derived classes ----

RWxalloc::RWxalloc(size_t size) : RWxmsg(RWCORE_NOMEM().str(), false), size_(static_cast<uint32_t>(size)) {}

void RWxalloc::raise() const
{
    throw RWxalloc(*this);
}

RWExternalErr::RWExternalErr(const char* msg) : RWxmsg(msg) {}
RWExternalErr::RWExternalErr(const RWMessage& m) : RWxmsg(m) {}

void RWExternalErr::raise() const
{
    throw RWExternalErr(*this);
}

RWFileErr::RWFileErr(const char* msg, uint32_t errorType, uint32_t file)
    : RWExternalErr(msg), errorType_(errorType), file_(file)
{
}

RWFileErr::RWFileErr(const RWMessage& m, uint32_t errorType, uint32_t file)
    : RWExternalErr(m), errorType_(errorType), file_(file)
{
}

void RWFileErr::raise() const
{
    throw RWFileErr(*this);
}

RWStreamErr::RWStreamErr(const char* msg, uint32_t state) : RWExternalErr(msg), state_(state) {}
RWStreamErr::RWStreamErr(const RWMessage& m, uint32_t state) : RWExternalErr(m), state_(state) {}

void RWStreamErr::raise() const
{
    throw RWStreamErr(*this);
}

RWInternalErr::RWInternalErr(const char* msg) : RWxmsg(msg) {}
RWInternalErr::RWInternalErr(const RWMessage& m) : RWxmsg(m) {}

void RWInternalErr::raise() const
{
    throw RWInternalErr(*this);
}

RWBoundsErr::RWBoundsErr(const char* msg) : RWInternalErr(msg) {}
RWBoundsErr::RWBoundsErr(const RWMessage& m) : RWInternalErr(m) {}

void RWBoundsErr::raise() const
{
    throw RWBoundsErr(*this);
}

// ---- raisers ----

void rwBoundsError(size_t index, size_t count)
{
    if (index == RW_NPOS)
        RWBoundsErr(RWMessage(RWTOOL_NPOSINDEX())).raise();
    RWBoundsErr(RWMessage(RWTOOL_INDEXERR(), shown(index), shown(count))).raise();
}

void rwIndexError(size_t index, size_t count)
{
    RWBoundsErr(RWMessage(RWTOOL_INDEXERR(), shown(index), shown(count))).raise();
}

void rwSubStringError(size_t length, size_t start, size_t extent)
{
    RWBoundsErr(RWMessage(RWTOOL_SUBSTRING(), static_cast<int>(shown(start)), shown(extent), shown(length))).raise();
}

void rwOverflowError()
{
    RWBoundsErr(RWMessage(RWCORE_OVFLOW(), 33, "Buffer may not resize larger than", 0xFFFFFFFFu)).raise();
}

void rwBadRegexpError()
{
    RWInternalErr(RWMessage(RWTOOL_BADRE())).raise();
}

// ---- fatal-error handler ----

rwErrHandler rwSetErrHandler(rwErrHandler handler)
{
    return gErrHandler.exchange(handler ? handler : &rwDefaultErrHandler);
}

void rwDefaultErrHandler(const RWxmsg& e)
{
    // Stop icon, task-modal, as the desktop build showed it.
    platform::sys::messageBox(e.why(), "Fatal Error", 0x2010);
    std::exit(1);
}

void rwFatalError(const RWxmsg& e)
{
    gErrHandler.load()(e);
}
