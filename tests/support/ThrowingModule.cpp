// A module that registers itself but throws when asked for its control, with a text that holds
// a line end, a terminal's escape sequence and a byte that is no UTF-8: the program's last
// resort for an exception must not pass such a text on as it is.
#include <stdexcept>

#include "platform/com/Unknown.h"

using platform::com::HResult;
using platform::com::S_OK;

extern "C" {

__attribute__((visibility("default"))) HResult DllRegisterServer() { return S_OK; }

__attribute__((visibility("default"))) HResult DllUnregisterServer() { return S_OK; }

__attribute__((visibility("default"))) HResult DllCanUnloadNow() { return S_OK; }

__attribute__((visibility("default"))) HResult DllGetClassObject(const platform::com::Guid*,
                                                                 const platform::com::Guid*, void**)
{
    throw std::runtime_error("factory\nbroke \x1b[31m\xff");
}
}
