// CTavoplexCtrl: the window procedure through which the host delivers its messages.
#include "platform/host/Host.h"
#include "platform/host/Message.h"
#include "viewer/control/CTavoplexCtrl.h"

using platform::host::Message;
using platform::host::MessageKind;

long CTavoplexCtrl::WindowProc(const Message& message)
{
    const int lockDepth = GLLockCount;
    try {
        switch (message.kind) {
        case MessageKind::Create:
            SetupPixelFormat();
            InitOpenGL();
            return 0;
        case MessageKind::Size:
            ResizeSurface(message.width, message.height);
            return 0;
        case MessageKind::Destroy:
            if (HostSite != nullptr)
                HostSite->stopTimer(1);
            ReleaseWindowContext();
            return 0;
        default: {
            long result = 0;
            OnMouseMessage(message, result);
            return result;
        }
        }
    } catch (...) {
        // Whatever a handler throws ends with that message; the control goes on working, so
        // a pass that failed while holding the OpenGL lock must not leave it raised.
        RestoreOpenGLLock(lockDepth);
        return 0;
    }
}
