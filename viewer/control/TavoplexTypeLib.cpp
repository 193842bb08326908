// The module's type library as data.
#include "viewer/control/TavoplexTypeLib.h"

using platform::com::FuncDesc;
using platform::com::TypeInfo;
using platform::com::TypeKind;
using platform::com::TypeLibrary;

namespace {

TypeLibrary build()
{
    TypeLibrary lib;
    lib.libid = LIBID_TAVOPLEXLib;
    lib.name = "TAVOPLEXLib";
    lib.majorVersion = kTypeLibMajor;
    lib.minorVersion = kTypeLibMinor;
    lib.helpString = "tavoplex ActiveX Control module";
    lib.helpFile = "tavoplex.hlp";

    TypeInfo dispatch;
    dispatch.guid = DIID__DTavoplex;
    dispatch.name = "_DTavoplex";
    dispatch.kind = TypeKind::Dispatch;
    dispatch.helpString = "Dispatch interface for Tavoplex Control";
    dispatch.functions = {
        FuncDesc{1, "SetFileName", "void", {{"BSTR", "filename"}}, "method SetFileName"},
        FuncDesc{2, "SetParam", "void", {{"BSTR", "key"}, {"BSTR", "val"}}, "method SetParam"},
        FuncDesc{3, "CreateBMP", "long", {{"BSTR", "filename"}, {"long", "xSize"}, {"long", "ySize"}}, "method CreateBMP"},
        FuncDesc{4, "LoadAndCreateBMP", "void",
                 {{"BSTR", "filename3d"}, {"BSTR", "filenameBMP"}, {"long", "xSize"}, {"long", "ySize"}},
                 "method LoadAndCreateBMP"},
        FuncDesc{5, "SetMatrix", "void",
                 {{"double", "xx"}, {"double", "yx"}, {"double", "zx"}, {"double", "wx"}, {"double", "xy"},
                  {"double", "yy"}, {"double", "zy"}, {"double", "wy"}, {"double", "xz"}, {"double", "yz"},
                  {"double", "zz"}, {"double", "wz"}},
                 "method SetMatrix"},
        FuncDesc{6, "GetZoom", "double", {}, "method GetZoom"},
        FuncDesc{7, "SetZoom", "void", {{"double", "zoom"}}, "method SetZoom"},
        FuncDesc{DISPID_ABOUTBOX, "AboutBox", "void", {}, ""},
    };

    TypeInfo events;
    events.guid = DIID__DTavoplexEvents;
    events.name = "_DTavoplexEvents";
    events.kind = TypeKind::Dispatch;
    events.helpString = "Event interface for Tavoplex Control";

    TypeInfo coclass;
    coclass.guid = CLSID_Tavoplex;
    coclass.name = "Tavoplex";
    coclass.kind = TypeKind::CoClass;
    coclass.helpString = "Tavoplex Control";
    coclass.interfaces = {{DIID__DTavoplex, true, false}, {DIID__DTavoplexEvents, true, true}};

    lib.types = {dispatch, events, coclass};
    return lib;
}

}  // namespace

const TypeLibrary& TavoplexTypeLibrary()
{
    static const TypeLibrary library = build();
    return library;
}
