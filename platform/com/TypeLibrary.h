// TypeLibrary: the type information of a module as data: a library of dispatch interfaces and
// classes, the way script engines and containers read a control's methods.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/Guid.h"

namespace platform::com {

struct ParamDesc {
    std::string type;  // "BSTR", "long", "double"
    std::string name;
};

struct FuncDesc {
    int32_t memberId = 0;
    std::string name;
    std::string resultType;  // "void" for none
    std::vector<ParamDesc> params;
    std::string helpString;
};

enum class TypeKind { Dispatch, CoClass };

struct TypeInfo {
    Guid guid;
    std::string name;
    TypeKind kind = TypeKind::Dispatch;
    std::string helpString;
    std::vector<FuncDesc> functions;  // dispatch interfaces
    // Classes: the interfaces they carry, the default one first; source marks event interfaces.
    struct Implemented {
        Guid iid;
        bool isDefault = false;
        bool isSource = false;
    };
    std::vector<Implemented> interfaces;

    const FuncDesc* findFunction(const std::string& name) const;  // names ignore ASCII case
    const FuncDesc* findFunction(int32_t memberId) const;
};

struct TypeLibrary {
    Guid libid;
    std::string name;
    uint16_t majorVersion = 1;
    uint16_t minorVersion = 0;
    uint32_t lcid = 0;
    std::string helpString;
    std::string helpFile;
    std::vector<TypeInfo> types;

    const TypeInfo* find(const Guid& guid) const;
    const TypeInfo* find(const std::string& name) const;
};

}  // namespace platform::com
