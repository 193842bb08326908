// The identifiers of the module's classes, interfaces and type library, and the library's
// type information.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/TypeLibrary.h"

inline constexpr platform::com::Guid LIBID_TAVOPLEXLib{0xE5F260DB, 0x2B9D, 0x47D5, {0x96, 0x08, 0x0A, 0x82, 0x9D, 0x4F, 0x62, 0x52}};
inline constexpr platform::com::Guid DIID__DTavoplex{0x01E35AED, 0x6432, 0x49EF, {0x8E, 0x1D, 0x0B, 0xA3, 0xAB, 0xE4, 0xAF, 0x80}};
inline constexpr platform::com::Guid DIID__DTavoplexEvents{0x987A6F83, 0xF78E, 0x4F4C, {0xBB, 0x2C, 0xE9, 0x26, 0xFC, 0xAE, 0xE1, 0x71}};
inline constexpr platform::com::Guid CLSID_Tavoplex{0xACCC8293, 0xFC8D, 0x4D43, {0x87, 0x7B, 0x3D, 0xFF, 0xA6, 0xC6, 0xBF, 0x69}};
inline constexpr platform::com::Guid CLSID_TavoplexPropPage{0x93106ADF, 0xFD25, 0x490F, {0x9C, 0xE2, 0x66, 0x76, 0x23, 0x06, 0x01, 0x94}};

inline constexpr unsigned short kTypeLibMajor = 1;
inline constexpr unsigned short kTypeLibMinor = 0;

// Member id of the about box, the standard one.
inline constexpr int DISPID_ABOUTBOX = -552;

// "TAVOPLEXLib" 1.0: the dispatch interface _DTavoplex, the event interface _DTavoplexEvents
// and the class Tavoplex over both.
const platform::com::TypeLibrary& TavoplexTypeLibrary();
