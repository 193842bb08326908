// Unknown and ClassFactory: the two interfaces through which a container finds and creates the
// objects of a module, with the result codes they give.
#pragma once

#include <cstdint>

#include "platform/com/Guid.h"

namespace platform::com {

using HResult = int32_t;

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOTIMPL = HResult(0x80004001u);
inline constexpr HResult E_NOINTERFACE = HResult(0x80004002u);
inline constexpr HResult E_POINTER = HResult(0x80004003u);
inline constexpr HResult E_FAIL = HResult(0x80004005u);
inline constexpr HResult E_OUTOFMEMORY = HResult(0x8007000Eu);
inline constexpr HResult E_INVALIDARG = HResult(0x80070057u);
inline constexpr HResult CLASS_E_NOAGGREGATION = HResult(0x80040110u);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = HResult(0x80040111u);
inline constexpr HResult SELFREG_E_TYPELIB = HResult(0x80040200u);
inline constexpr HResult SELFREG_E_CLASS = HResult(0x80040201u);
inline constexpr HResult TYPE_E_LIBNOTREGISTERED = HResult(0x8002801Du);
inline constexpr HResult DISP_E_UNKNOWNNAME = HResult(0x80020006u);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = HResult(0x80020003u);

inline bool succeeded(HResult r) { return r >= 0; }

// Every object of a module: asked for an interface by its identifier, it hands out a pointer
// with a reference taken; the last Release destroys it.
class Unknown {
public:
    virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~Unknown() = default;
};

// Makes the objects of one class.
class ClassFactory : public Unknown {
public:
    // A new object asked for the interface iid; no aggregation (outer must be null).
    virtual HResult CreateInstance(Unknown* outer, const Guid& iid, void** out) = 0;
    // Keeps the module loaded while locked.
    virtual HResult LockServer(bool lock) = 0;

protected:
    ~ClassFactory() = default;
};

}  // namespace platform::com
