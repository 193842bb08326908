// The X11 host under a private Xvfb server: frames reach the window, X input and the timer
// become messages, the window manager's close ends the loop, a window destroyed before it shows
// ends it at once, and modal dialogs show in their own window.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/host/X11Dialog.h"
#include "platform/host/X11Host.h"
#include "tests/support/DestroyingWindowManager.h"
#include "tests/support/XTestInput.h"
#include "tests/support/XvfbServer.h"

using platform::host::Message;
using platform::host::MessageKind;
using platform::host::X11Host;

namespace {

// However loaded the machine, an X server, a window and its events come within this.
constexpr int kPatienceMs = 60000;

std::unique_ptr<X11Host> openOn(const XvfbServer& x, int width, int height)
{
    platform::ReasonText error;
    auto host = X11Host::open(x.display().c_str(), width, height, "X11HostTest", error);
    EXPECT_TRUE(host) << error;
    return host;
}

// Runs body in a child process and gives its exit status; -1 when the child has not ended
// within limitMs (it is then killed): a body that would wait for ever fails the test instead of
// holding it up.
int statusOfChild(int limitMs, const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    if (pid < 0)
        return -2;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (std::chrono::steady_clock::now() >= end) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

platform::host::Dialog okCancelDialog(const std::string& caption)
{
    using namespace platform::host;
    Dialog dialog;
    dialog.caption = caption;
    dialog.width = 120;
    dialog.height = 30;
    dialog.controls = {DialogControl{DialogOk, DialogControlKind::DefaultPushButton, "OK", 5, 8, 50, 14},
                       DialogControl{DialogCancel, DialogControlKind::PushButton, "Cancel", 60, 8, 50, 14}};
    return dialog;
}

}  // namespace

TEST(X11Host, PresentedFramesAreShownInTheWindow)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    auto host = openOn(x, 120, 80);
    ASSERT_TRUE(host);
    std::vector<uint8_t> rgba(120 * 80 * 4);
    for (int y = 0; y < 80; ++y)
        for (int px = 0; px < 120; ++px) {
            uint8_t* p = &rgba[size_t(y * 120 + px) * 4];
            p[0] = y < 40 ? 200 : 10;  // bottom-up rows: the first half is the lower one
            p[1] = 30;
            p[2] = y < 40 ? 10 : 220;
            p[3] = 255;
        }
    host->frameSink().present(120, 80, rgba.data(), true);
    const platform::gl::Frame shown = host->readWindow();
    ASSERT_EQ(shown.width, 120);
    EXPECT_EQ(shown.pixel(10, 10)[2], 220);  // the top of the window: the upper rows
    EXPECT_EQ(shown.pixel(10, 70)[0], 200);
    EXPECT_EQ(shown.pixel(10, 70)[1], 30);
}

TEST(X11Host, InputAndTimersArriveAsMessages)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    auto host = openOn(x, 200, 150);
    ASSERT_TRUE(host);
    host->startTimer(1, 25);

    Display* input = XOpenDisplay(x.display().c_str());
    ASSERT_NE(input, nullptr);
    // No window manager: the window sits at the origin, so screen and window points agree.
    XTestFakeMotionEvent(input, 0, 30, 20, 0);
    XTestFakeButtonEvent(input, 1, True, 0);
    XTestFakeButtonEvent(input, 1, False, 0);
    XTestFakeButtonEvent(input, 1, True, 0);
    XTestFakeButtonEvent(input, 1, False, 0);
    XTestFakeButtonEvent(input, 4, True, 0);
    XTestFakeButtonEvent(input, 4, False, 0);
    XTestFakeButtonEvent(input, 3, True, 0);
    XTestFakeButtonEvent(input, 3, False, 0);
    XFlush(input);

    // Runs until every input has come and six ticks have passed.
    std::vector<MessageKind> mouse;
    int timers = 0, paints = 0, wheel = 0;
    const uint32_t start = host->clock().now();
    const int ended = host->run(
        [&](const Message& m) {
            if (m.kind == MessageKind::Timer)
                ++timers;
            else if (m.kind == MessageKind::Paint)
                ++paints;
            else if (m.kind == MessageKind::MouseWheel)
                wheel += m.wheelDelta;
            else if (m.kind != MessageKind::MouseMove)
                mouse.push_back(m.kind);
            if (m.kind == MessageKind::LeftButtonDown) {
                EXPECT_EQ(m.x, 30);
                EXPECT_EQ(m.y, 20);
                EXPECT_TRUE(m.modifiers & platform::host::ModLeftButton);
            }
            EXPECT_FALSE(m.madeUp);
            if (mouse.size() >= 6 && timers >= 6)
                host->requestClose();
            return 0L;
        },
        kPatienceMs);
    const uint32_t elapsed = host->clock().now() - start;
    XCloseDisplay(input);

    EXPECT_EQ(ended, 0) << "the input or the ticks did not come";
    // Ticks come no faster than their period (missed ones are not made up).
    EXPECT_LE(uint32_t(timers - 1) * 25, elapsed);
    EXPECT_GE(paints, 1);
    EXPECT_EQ(wheel, 120);
    const std::vector<MessageKind> want = {MessageKind::LeftButtonDown, MessageKind::LeftButtonUp,
                                           MessageKind::LeftButtonDoubleClick, MessageKind::LeftButtonUp,
                                           MessageKind::RightButtonDown, MessageKind::RightButtonUp};
    EXPECT_EQ(mouse, want);
}

TEST(X11Host, FocusLossReleasesTheHeldButtonsWithReleasesMarkedAsMadeUp)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    auto host = openOn(x, 200, 150);
    ASSERT_TRUE(host);
    XTestInput input(x.display());
    ASSERT_TRUE(input.ok());
    // Both buttons pressed in the window, then the focus goes elsewhere while they are held;
    // the user lets go of them later, the focus comes back, and the user clicks again at
    // another place: that click is the user's own and comes whole.
    input.moveTo(50, 40);
    XSetInputFocus(input.display(), Window(host->windowId()), RevertToNone, CurrentTime);
    input.button(1, true);
    input.button(3, true);
    XSetInputFocus(input.display(), None, RevertToNone, CurrentTime);
    input.button(1, false);
    input.button(3, false);
    XSetInputFocus(input.display(), Window(host->windowId()), RevertToNone, CurrentTime);
    input.moveTo(120, 90);
    input.button(1, true);
    input.button(1, false);
    input.flush();

    std::vector<Message> got;
    const int ended = host->run(
        [&](const Message& m) {
            if (m.kind != MessageKind::Timer && m.kind != MessageKind::Paint && m.kind != MessageKind::MouseMove)
                got.push_back(m);
            // The last click's release ends the run.
            if (m.kind == MessageKind::LeftButtonUp && m.x == 120)
                host->requestClose();
            return 0L;
        },
        kPatienceMs);
    EXPECT_EQ(ended, 0);

    // The releases made up at the focus loss are marked; the user's late releases of buttons
    // already released come to nothing; the next click is the user's own again.
    struct Want {
        MessageKind kind;
        bool madeUp;
    };
    const Want want[] = {{MessageKind::LeftButtonDown, false}, {MessageKind::RightButtonDown, false},
                         {MessageKind::LeftButtonUp, true},    {MessageKind::RightButtonUp, true},
                         {MessageKind::LeftButtonDown, false}, {MessageKind::LeftButtonUp, false}};
    ASSERT_EQ(got.size(), std::size(want));
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].kind, want[i].kind) << i;
        EXPECT_EQ(got[i].madeUp, want[i].madeUp) << i;
    }
}

TEST(X11Host, TwoQuickPressesStayADoubleClickWhileTheTargetIsSlow)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    auto host = openOn(x, 100, 100);
    ASSERT_TRUE(host);
    XTestInput input(x.display());
    ASSERT_TRUE(input.ok());
    input.moveTo(40, 40);
    input.key(XK_Shift_L, true);
    for (int i = 0; i < 2; ++i) {
        input.button(1, true);
        input.button(1, false);
    }
    input.key(XK_Shift_L, false);
    input.flush();

    // The first press takes longer than a double click's interval to handle, as a frame of a
    // large model in software can; the second press, made at once, still completes a double click.
    std::vector<Message> presses;
    host->run(
        [&](const Message& m) {
            if (m.kind == MessageKind::LeftButtonDown || m.kind == MessageKind::LeftButtonDoubleClick) {
                presses.push_back(m);
                if (presses.size() == 1)
                    std::this_thread::sleep_for(std::chrono::milliseconds(700));
                else
                    host->requestClose();
            }
            return 0L;
        },
        kPatienceMs);
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[0].kind, MessageKind::LeftButtonDown);
    EXPECT_EQ(presses[1].kind, MessageKind::LeftButtonDoubleClick);
    for (const Message& m : presses)
        EXPECT_TRUE(m.modifiers & platform::host::ModShift);
}

TEST(X11Host, CloseFromTheWindowManagerOrAnotherClientEndsTheLoop)
{
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    // The server starts over when its last client goes: this one stays connected throughout.
    Display* other = XOpenDisplay(x.display().c_str());
    ASSERT_NE(other, nullptr);
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed by another client" : "closed by the window manager");
        auto host = openOn(x, 64, 64);
        ASSERT_TRUE(host);
        if (destroy) {
            // As xdotool windowclose does: the window is gone, with no word to its owner.
            XDestroyWindow(other, host->windowId());
        } else {
            XEvent close{};
            close.xclient.type = ClientMessage;
            close.xclient.window = host->windowId();
            close.xclient.message_type = XInternAtom(other, "WM_PROTOCOLS", False);
            close.xclient.format = 32;
            close.xclient.data.l[0] = long(XInternAtom(other, "WM_DELETE_WINDOW", False));
            XSendEvent(other, host->windowId(), False, NoEventMask, &close);
        }
        XFlush(other);
        EXPECT_EQ(host->run([](const Message&) { return 0L; }, kPatienceMs), 0);
        if (destroy) {  // nothing brings the window back: a later run ends at once as well
            EXPECT_EQ(host->run([](const Message&) { return 0L; }, kPatienceMs), 0);
        }
    }
    XCloseDisplay(other);
}

TEST(X11Host, AWindowOrDialogDestroyedBeforeItShowsEndsAsAClose)
{
    using namespace platform::host;
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    // In a child process: a wait that never ends would otherwise hold the test up for ever.
    enum Failure { OpenFailed = 10, OpenWaited, DialogShown, RunWentOn, OwnedDialogStayed, NotTwoDestroyed, NoManager };
    const int status = statusOfChild(kPatienceMs, [&] {
        // A window shown before the window manager came, to own a dialog later.
        platform::ReasonText error;
        auto owner = X11Host::open(x.display().c_str(), 64, 64, "X11HostTest owner", error);
        if (!owner)
            return int(OpenFailed);
        DestroyingWindowManager manager(x.display());
        if (!manager.ok())
            return int(NoManager);
        const auto start = std::chrono::steady_clock::now();
        auto host = X11Host::open(x.display().c_str(), 64, 64, "X11HostTest", error);
        if (!host)
            return int(OpenFailed);
        // The window is known to be gone at once, not after a wait for it to show.
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(8))
            return int(OpenWaited);
        // As a window closed at once: a dialog it would own is not shown, and every run ends
        // at once.
        Dialog dialog = okCancelDialog("X11HostTest never shown");
        if (host->runModalDialog(dialog) != DialogCancel)
            return int(DialogShown);
        if (host->run([](const Message&) { return 0L; }, kPatienceMs) != 0)
            return int(RunWentOn);
        // A dialog destroyed at its own map request ends as Cancel does.
        if (owner->runModalDialog(dialog) != DialogCancel)
            return int(OwnedDialogStayed);
        // The control's window and the owned dialog: no dialog of the gone window was made.
        return manager.destroyed() == 2 ? 0 : int(NotTwoDestroyed);
    });
    EXPECT_NE(status, -1) << "still waiting after " << kPatienceMs << " ms";
    EXPECT_EQ(status, 0) << "10: not opened, 11: open waited, 12: a dialog was shown, 13: the run went on, "
                            "14: the owned dialog stayed, 15: not two windows destroyed, 16: no stand-in manager";
}

TEST(X11Host, OpeningABadDisplayNamesIt)
{
    platform::ReasonText error;
    EXPECT_FALSE(X11Host::open(":987654", 10, 10, "x", error));
    EXPECT_NE(error.str().find(":987654"), std::string::npos) << error;
    EXPECT_FALSE(X11Host::open(nullptr, 0, 10, "x", error));
}

TEST(X11Host, ModalDialogTakesClicksAndKeysWhileTheTimerGoesOn)
{
    using namespace platform::host;
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    auto host = openOn(x, 200, 150);
    ASSERT_TRUE(host);
    host->startTimer(1, 25);

    Dialog dialog;
    dialog.caption = "X11HostTest dialog";
    dialog.width = 150;
    dialog.height = 80;
    DialogControl link{10, DialogControlKind::Label, "www.example.org", 5, 5, 140, 10};
    link.textColor = 0x0000FF;
    link.underline = true;
    link.notify = true;
    DialogControl one{20, DialogControlKind::RadioButton, "One", 5, 20, 100, 10};
    one.groupStart = true;
    one.checked = true;
    DialogControl cancel{DialogCancel, DialogControlKind::PushButton, "Cancel", 80, 60, 50, 14};
    cancel.enabled = false;
    dialog.controls = {link, one, DialogControl{21, DialogControlKind::RadioButton, "Two", 5, 35, 100, 10},
                       DialogControl{DialogOk, DialogControlKind::DefaultPushButton, "OK", 20, 60, 50, 14}, cancel};

    // The user, on a connection of its own: picks "Two", presses Escape (Cancel is disabled,
    // so the dialog stays) and, once the control's timer has ticked behind the dialog for a
    // while, Enter.
    int linkRun = 0;
    bool shown = false;
    std::atomic<int> timersBehind = 0;
    std::thread user([&] {
        XTestInput input(x.display());
        const Window w = input.ok() ? input.findWindow(dialog.caption, kPatienceMs) : 0;
        shown = w != 0;
        if (!shown)
            return;
        // The dialog draws itself once it is mapped.
        const DialogRect r = X11Dialog::pixelRect(link);
        const auto patience = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (linkRun < 40 && std::chrono::steady_clock::now() < patience) {
            linkRun = longestRun(input.read(w), r.x, r.y, r.width, r.height, 0x0000FF);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto [wx, wy] = input.origin(w);
        const DialogRect two = X11Dialog::pixelRect(5, 35, 100, 10);
        input.click(wx + two.x + 4, wy + two.y + two.height / 2);
        input.key(XK_Escape, true);
        input.key(XK_Escape, false);
        input.flush();
        while (timersBehind < 8 && std::chrono::steady_clock::now() < patience)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        input.key(XK_Return, true);
        input.key(XK_Return, false);
        input.flush();
    });

    bool opened = false, inDialog = false;
    int result = 0;
    host->run(
        [&](const Message& m) {
            if (m.kind != MessageKind::Timer)
                return 0L;
            if (inDialog)
                ++timersBehind;
            else if (!opened) {
                opened = inDialog = true;
                result = host->runModalDialog(dialog);
                inDialog = false;
                host->requestClose();
            }
            return 0L;
        },
        2 * kPatienceMs);
    user.join();
    ASSERT_TRUE(shown);
    EXPECT_EQ(result, DialogOk);
    EXPECT_FALSE(dialog.find(20)->checked);
    EXPECT_TRUE(dialog.find(21)->checked);
    EXPECT_GE(timersBehind, 8);  // the timer went on behind the dialog
    EXPECT_GE(linkRun, 40);      // the link's underline, in its colour
}

TEST(X11Host, AModalDialogEndsWhenItsOwnerOrItsOwnWindowIsDestroyed)
{
    using namespace platform::host;
    XvfbServer x;
    if (!x.available())
        GTEST_SKIP() << "Xvfb is not available";
    // The server starts over when its last client goes: this one stays connected throughout.
    XTestInput keeper(x.display());
    ASSERT_TRUE(keeper.ok());
    for (const bool dialogDestroyed : {false, true}) {
        SCOPED_TRACE(dialogDestroyed ? "the dialog destroyed" : "the control's window destroyed");
        auto host = openOn(x, 64, 64);
        ASSERT_TRUE(host);
        Dialog dialog = okCancelDialog("X11HostTest destroyed");
        // The dialog of a first start: neither Escape nor the window manager's close ends it.
        dialog.find(DialogCancel)->enabled = !dialogDestroyed;
        // Another client destroys a window once the dialog shows; were the dialog to stay, the
        // other window is closed from there, so that the test ends either way.
        std::atomic<bool> ended = false;
        bool shown = false, forced = false;
        std::thread other([&] {
            XTestInput input(x.display());
            if (!input.ok())
                return;
            const Window w = input.findWindow(dialog.caption, kPatienceMs);
            shown = w != 0;
            XDestroyWindow(input.display(), dialogDestroyed ? w : host->windowId());
            XFlush(input.display());
            const auto patience = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
            while (!ended && std::chrono::steady_clock::now() < patience)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (ended || !shown)
                return;
            forced = true;
            const Window closed = dialogDestroyed ? host->windowId() : w;
            XEvent close{};
            close.xclient.type = ClientMessage;
            close.xclient.window = closed;
            close.xclient.message_type = XInternAtom(input.display(), "WM_PROTOCOLS", False);
            close.xclient.format = 32;
            close.xclient.data.l[0] = long(XInternAtom(input.display(), "WM_DELETE_WINDOW", False));
            XSendEvent(input.display(), closed, False, NoEventMask, &close);
            XFlush(input.display());
        });
        EXPECT_EQ(host->runModalDialog(dialog), DialogCancel);
        ended = true;
        other.join();
        EXPECT_TRUE(shown);
        EXPECT_FALSE(forced) << "the dialog stayed after a window was gone";
        if (dialogDestroyed) {
            // The control's window goes on as after a dialog closed: its run lasts the time given.
            EXPECT_EQ(host->run([](const Message&) { return 0L; }, 200), 1);
        } else {
            EXPECT_EQ(host->run([](const Message&) { return 0L; }, kPatienceMs), 0);  // and the program ends
        }
    }
}
