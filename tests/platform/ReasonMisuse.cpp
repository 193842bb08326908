// Calls of reasonText() that must not build, one chosen by MISUSE (ReasonMisuse.cmake builds
// each); with MISUSE 0 the same calls, made right, build.
#include <string>

#include "platform/Reason.h"

using platform::OutsideWords;
using platform::Reason;
using platform::reasonText;

#ifndef MISUSE
#define MISUSE 0
#endif

void misuse([[maybe_unused]] const std::string& name, [[maybe_unused]] const char* systemWords)
{
#if MISUSE == 1  // one value too few: the user would read "%1"
    reasonText(Reason::CannotWriteBecause, name);
#elif MISUSE == 2  // one value too many: it would vanish
    reasonText(Reason::CannotWrite, name, systemWords);
#elif MISUSE == 3  // none at all for an entry that takes one
    reasonText(Reason::HttpStatus);
#elif MISUSE == 4  // free text where outside words pass through
    reasonText(Reason::SystemWords, "a sentence of our own");
#elif MISUSE == 5  // a plain string there too
    reasonText(Reason::XmlLine, 4, name);
#elif MISUSE == 6  // outside words where the entry takes a name
    reasonText(Reason::CannotWrite, OutsideWords(systemWords));
#else
    reasonText(Reason::CannotWriteBecause, name, reasonText(Reason::NoSpace));
    reasonText(Reason::CannotWrite, name);
    reasonText(Reason::HttpStatus, 404);
    reasonText(Reason::SystemWords, OutsideWords(systemWords));
    reasonText(Reason::XmlLine, 4, OutsideWords(name));
#endif
}
