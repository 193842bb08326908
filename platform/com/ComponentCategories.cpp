// ComponentCategories: category and implemented-category entries.
#include "platform/com/ComponentCategories.h"

#include <atomic>
#include <cstdio>

#include "platform/registry.h"

namespace platform::com {
namespace {

using platform::registry::Root;
std::atomic<bool> g_available{true};

}  // namespace

HResult CategoryRegister::RegisterCategories(const std::vector<CategoryInfo>& categories)
{
    for (const CategoryInfo& c : categories) {
        const std::string key = "Component Categories\\" + c.catid.toString();
        char locale[16];
        std::snprintf(locale, sizeof locale, "%x", unsigned(c.lcid));
        const std::string text = cutCategoryDescription(c.description);
        if (!platform::registry::createKey(Root::ClassesRoot, key) ||
            !platform::registry::setValue(Root::ClassesRoot, key, locale,
                                          {platform::registry::ValueType::String, text, 0}))
            return E_FAIL;
    }
    return S_OK;
}

HResult CategoryRegister::RegisterClassImplCategories(const Guid& clsid, const std::vector<Guid>& catids)
{
    for (const Guid& catid : catids)
        if (!platform::registry::createKey(Root::ClassesRoot, "CLSID\\" + clsid.toString() +
                                                                  "\\Implemented Categories\\" + catid.toString()))
            return E_FAIL;
    return S_OK;
}

HResult CategoryRegister::UnRegisterClassImplCategories(const Guid& clsid, const std::vector<Guid>& catids)
{
    HResult r = S_OK;
    for (const Guid& catid : catids) {
        const std::string key = "CLSID\\" + clsid.toString() + "\\Implemented Categories\\" + catid.toString();
        if (platform::registry::keyExists(Root::ClassesRoot, key) && !platform::registry::removeKey(Root::ClassesRoot, key))
            r = E_FAIL;
    }
    return r;
}

std::string cutCategoryDescription(const std::string& description)
{
    size_t characters = 0;
    for (size_t i = 0; i < description.size(); ++i) {
        // A byte 10xxxxxx continues the character before it.
        if ((static_cast<unsigned char>(description[i]) & 0xC0) != 0x80 && ++characters > kCategoryDescriptionMax)
            return description.substr(0, i);
    }
    return description;
}

std::unique_ptr<CategoryRegister> openCategoryManager()
{
    return g_available.load() ? std::make_unique<CategoryRegister>() : nullptr;
}

void setCategoryManagerAvailable(bool available) { g_available.store(available); }

}  // namespace platform::com
