// OleControl and PropertyPage: the interfaces through which a container holds a control made
// by a module's class factory, and shows its property pages.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/com/PropertyExchange.h"
#include "platform/com/TypeLibrary.h"
#include "platform/com/Unknown.h"

namespace platform::host {
class Host;
struct Message;
}  // namespace platform::host

namespace platform::com {

inline constexpr Guid IID_OleControl{0x5B0E39C2, 0x6F0D, 0x4E57, {0x9A, 0x61, 0x2C, 0x1E, 0x7F, 0x43, 0x88, 0x0D}};
inline constexpr Guid IID_PropertyPage{0x5B0E39C3, 0x6F0D, 0x4E57, {0x9A, 0x61, 0x2C, 0x1E, 0x7F, 0x43, 0x88, 0x0D}};

// Aspect of the miscellaneous status that containers ask for.
inline constexpr uint32_t DVASPECT_CONTENT = 1;

// What a container that drives the control by itself (rendering a picture with no page
// around it) reads back to tell the user why nothing came out.
struct ControlState {
    bool hasContext = false;  // an OpenGL context was made when the window was created
    // Without one, why not where the control knows (the process's memory limit too small for
    // the renderer, one line naming it); empty otherwise.
    std::string contextFailure;
    bool running = false;     // the control is started (Start is not 0)
    bool loading = false;     // a model is still on its way
    bool loadFailed = false;  // the model can never be loaded
    std::string fileName;     // the model's name as the page gave it
    std::string hostFolder;   // the page's folder, which relative names are read against
    // Why the load failed, on one line: the file or address in quotes, then what went wrong
    // there ("\"/m/a.stl\": ASCII STL line 17: expected 'vertex' but found 'x'"). Before a load
    // has begun, why it cannot succeed when the control can already tell (no model named, a
    // local file that is not there or cannot be read, a model type it does not read); empty
    // otherwise.
    std::string failureReason;
    // Why the last picture file could not be written ("is a folder, not a file"); empty when
    // it was, or when drawing it failed before the file.
    std::string writeFailure;
};

class OleControl : public Unknown {
public:
    // The container that holds the control and delivers its window's messages; null detaches.
    virtual HResult SetClientSite(platform::host::Host* site) = 0;
    // The page's object parameters (name, text), loaded as the control's persistent properties.
    virtual HResult LoadProperties(const std::map<std::string, std::string>& parameters) = 0;
    // The persistent properties the control exchanges, in exchange order; names are exact.
    virtual HResult GetProperties(std::vector<PropertyInfo>* properties) = 0;
    // A message of the control's window (creation, size, paint, timer, mouse, destruction):
    // the window procedure's result.
    virtual long WindowMessage(const platform::host::Message& message) = 0;
    // Scripted methods: the member id of a name (ignoring case), and a call with the
    // arguments as texts, converted as a script engine would; the result as text.
    virtual HResult GetIDOfName(const std::string& name, int32_t* memberId) = 0;
    virtual HResult InvokeText(int32_t memberId, const std::vector<std::string>& args, std::string* result) = 0;

    // What the control tells its container about itself.
    virtual HResult GetClassID(Guid* clsid) = 0;
    virtual HResult GetTypeInfoCount(uint32_t* count) = 0;
    virtual HResult GetTypeInfo(uint32_t index, uint32_t lcid, const TypeInfo** info) = 0;
    virtual HResult GetMiscStatus(uint32_t aspect, uint32_t* status) = 0;
    virtual HResult GetUserType(std::string* name) = 0;
    virtual HResult GetPages(std::vector<Guid>* pages) = 0;
    virtual HResult GetState(ControlState* state) = 0;

protected:
    ~OleControl() = default;
};

struct PageInfo {
    std::string title;
    int width = 0;  // dialog units
    int height = 0;
};

class PropertyPage : public Unknown {
public:
    virtual HResult GetPageInfo(PageInfo* info) = 0;
    // The page's OK.
    virtual HResult Apply() = 0;

protected:
    ~PropertyPage() = default;
};

}  // namespace platform::com
