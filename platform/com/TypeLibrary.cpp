// TypeLibrary: lookups of types and functions.
#include "platform/com/TypeLibrary.h"

#include <strings.h>

namespace platform::com {

const FuncDesc* TypeInfo::findFunction(const std::string& name) const
{
    for (const FuncDesc& f : functions)
        if (::strcasecmp(f.name.c_str(), name.c_str()) == 0)
            return &f;
    return nullptr;
}

const FuncDesc* TypeInfo::findFunction(int32_t memberId) const
{
    for (const FuncDesc& f : functions)
        if (f.memberId == memberId)
            return &f;
    return nullptr;
}

const TypeInfo* TypeLibrary::find(const Guid& guid) const
{
    for (const TypeInfo& t : types)
        if (t.guid == guid)
            return &t;
    return nullptr;
}

const TypeInfo* TypeLibrary::find(const std::string& name) const
{
    for (const TypeInfo& t : types)
        if (t.name == name)
            return &t;
    return nullptr;
}

}  // namespace platform::com
