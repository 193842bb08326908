// The keyed message catalogs "rwtools7.0" and "rwcore7.0" and the formatted message text.
#pragma once

#include <cstdint>

// One catalog record: its catalog, its number and its default text with printf placeholders.
struct RWMsgId {
    const char* catalog;
    uint32_t number;
    const char* text;

    const char* str() const { return text; }
};

// Catalog "rwtools7.0".
const RWMsgId& RWTOOL_ALLOCOUT();
const RWMsgId& RWTOOL_BADRE();
const RWMsgId& RWTOOL_CRABS();
const RWMsgId& RWTOOL_FLIST();
const RWMsgId& RWTOOL_ID();
const RWMsgId& RWTOOL_INDEX();
const RWMsgId& RWTOOL_LOCK();
const RWMsgId& RWTOOL_LONGINDEX();
const RWMsgId& RWTOOL_MAGIC();
const RWMsgId& RWTOOL_NEVECL();
const RWMsgId& RWTOOL_NOCREATE();
const RWMsgId& RWTOOL_NOTALLOW();
const RWMsgId& RWTOOL_READERR();
const RWMsgId& RWTOOL_REF();
const RWMsgId& RWTOOL_SEEKERR();
const RWMsgId& RWTOOL_STREAM();
const RWMsgId& RWTOOL_SUBSTRING();
const RWMsgId& RWTOOL_UNLOCK();
const RWMsgId& RWTOOL_WRITEERR();
const RWMsgId& RWTOOL_INDEXERR();
const RWMsgId& RWTOOL_NPOSINDEX();
const RWMsgId& RWTOOL_NOPERSIST();
const RWMsgId& RWTOOL_CRABSS();

// Catalog "rwcore7.0".
const RWMsgId& RWCORE_EOF();
const RWMsgId& RWCORE_GENERIC();
const RWMsgId& RWCORE_INVADDR();
const RWMsgId& RWCORE_LOCK();
const RWMsgId& RWCORE_NOINIT();
const RWMsgId& RWCORE_NOMEM();
const RWMsgId& RWCORE_OPERR();
const RWMsgId& RWCORE_OUTALLOC();
const RWMsgId& RWCORE_OVFLOW();
const RWMsgId& RWCORE_STREAM();
const RWMsgId& RWCORE_SYNSTREAM();

// An owned copy of a message text. Formatting is bounded: a text longer than 1,023
// characters is cut there. Arguments must match the record's placeholders exactly
// (%u takes unsigned, %d int, %s const char*).
class RWMessage {
public:
    RWMessage(RWMsgId id, ...);
    explicit RWMessage(const char* text);
    RWMessage(const RWMessage& other);
    RWMessage& operator=(const RWMessage& other);
    ~RWMessage();

    const char* str() const { return msg_; }

private:
    char* msg_;
};
