// ComponentCategories: the component category manager: categories with their descriptions per
// locale, and the categories a class says it implements, in the registry stand-in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace platform::com {

// The categories a control marks itself with, for containers that script or initialise it.
inline constexpr Guid CATID_SafeForScripting{0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
inline constexpr Guid CATID_SafeForInitializing{0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

// A description holds at most this many characters.
inline constexpr size_t kCategoryDescriptionMax = 127;
// The description as a category record keeps it: its first kCategoryDescriptionMax characters
// (UTF-8 letters are counted, and never split, as one character each).
std::string cutCategoryDescription(const std::string& description);

struct CategoryInfo {
    Guid catid;
    uint32_t lcid = 0x409;
    std::string description;
};

class CategoryRegister {
public:
    // "Component Categories\{catid}" with the description under the locale's hex name.
    HResult RegisterCategories(const std::vector<CategoryInfo>& categories);
    // "CLSID\{clsid}\Implemented Categories\{catid}" for each.
    HResult RegisterClassImplCategories(const Guid& clsid, const std::vector<Guid>& catids);
    HResult UnRegisterClassImplCategories(const Guid& clsid, const std::vector<Guid>& catids);
};

// The manager, or null when it is not available (tests switch it off).
std::unique_ptr<CategoryRegister> openCategoryManager();
void setCategoryManagerAvailable(bool available);

}  // namespace platform::com
