// ModuleLoader: finds the viewer's module, loads and registers it, and makes the control
// through its class factory, as a container does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Reason.h"
#include "platform/com/InprocModule.h"
#include "platform/com/OleControl.h"

class ModuleLoader {
public:
    // Releasing the control hands it back to the module that made it.
    struct ReleaseControl {
        void operator()(platform::com::OleControl* control) const { control->Release(); }
    };
    using ControlPtr = std::unique_ptr<platform::com::OleControl, ReleaseControl>;

    // The module beside the program (an installed layout), else in the build folder's
    // module/ beside the program's host/ folder.
    static std::string defaultPath();

    // Loads and registers the module at path; false with a one-line error when it cannot.
    bool load(const std::string& path, platform::ReasonText& error);
    // A new control, with the list of its persistent properties; null with a one-line error
    // when the module cannot make one.
    ControlPtr createControl(std::vector<platform::com::PropertyInfo>& properties, platform::ReasonText& error);
    // The file:// address of the viewer's images, which the build puts beside the module
    // (images/ in the module's folder), as the panels' BasePath takes it.
    std::string imagesAddress() const;

private:
    platform::com::InprocModule module_;
    std::string path_;
};
