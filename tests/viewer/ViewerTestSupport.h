// Test support for the viewer: a control in a headless host with a fake clock, its per-user
// folder under a temporary $XDG_CONFIG_HOME, and the pixels of its last presented frame.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/gl/FrameSink.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/Message.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "viewer/control/CTavoplexCtrl.h"

// One viewer under test. Typical use:
//   ViewerHarness v(300, 200);
//   v.writeConfig("[COMMON]\nDEBUG=1\n");   // optional, before open()
//   v.open();                              // control made, attached, window created
//   ... draw under v.control().LockOpenGL(), v.control().PresentFrame() ...
//   v.advance(100);                        // fake time passes, timer messages arrive
//   v.pixel(10, 10)                        // RGBA of the last frame, y from the top
class ViewerHarness {
public:
    ViewerHarness(int width = 300, int height = 300, uint32_t startTick = 1000)
        : xdg_("XDG_CONFIG_HOME", dir_.path().c_str()), host_(width, height, startTick)
    {
        host_.setWindow([this](const platform::host::Message& m) { return control_ ? control_->WindowProc(m) : 0; });
    }
    ~ViewerHarness() { close(); }
    ViewerHarness(const ViewerHarness&) = delete;
    ViewerHarness& operator=(const ViewerHarness&) = delete;

    // The per-user folder the control will use, and its files.
    std::string userFolder() const { return dir_.path() + "/korvane/tavoplex"; }
    std::string userFile(const std::string& name) const { return userFolder() + "/" + name; }
    // Writes "tavoplex.cfg" (call before open()).
    void writeConfig(const std::string& text) const
    {
        std::filesystem::create_directories(userFolder());
        std::ofstream(userFile("tavoplex.cfg"), std::ios::binary) << text;
    }

    // Makes the control only (construction), attached to the host.
    CTavoplexCtrl& construct()
    {
        if (!control_) {
            control_ = std::make_unique<CTavoplexCtrl>();
            control_->AttachHost(&host_);
        }
        return *control_;
    }
    // Constructs when needed, then creates the window (context and surface) at the host's size.
    CTavoplexCtrl& open()
    {
        construct();
        send(platform::host::Message::create());
        send(platform::host::Message::size(host_.clientSize().width, host_.clientSize().height));
        return *control_;
    }
    // Destroys the window and then the control.
    void close()
    {
        if (!control_)
            return;
        send(platform::host::Message::destroy());
        control_.reset();
    }
    // A new client size, delivered as the host would.
    void resize(int width, int height) { host_.resize(width, height); }
    long send(const platform::host::Message& m) { return control_->WindowProc(m); }
    // Lets ms pass on the fake clock, delivering the timer messages that fall due (the
    // control's timer runs every 25 ms once its window exists); returns how many.
    unsigned advance(uint32_t ms) { return host_.advance(ms); }
    long paint() { return send(platform::host::Message::paint()); }

    CTavoplexCtrl& control() { return *control_; }
    platform::host::HeadlessHost& host() { return host_; }
    platform::host::FakeClock& clock() { return host_.fakeClock(); }
    const TempDir& folder() const { return dir_; }

    const platform::gl::Frame& frame() const { return host_.lastFrame(); }
    // RGBA of the last presented frame at column x, row y counted from the top.
    std::array<uint8_t, 4> pixel(int x, int y) const { return host_.lastFrame().pixel(x, y); }

private:
    TempDir dir_;
    ScopedEnv xdg_;
    platform::host::HeadlessHost host_;
    std::unique_ptr<CTavoplexCtrl> control_;
};

// Colour check with the tolerance of pixel tests (2/255 per channel).
inline ::testing::AssertionResult pixelNear(std::array<uint8_t, 4> got, std::array<int, 3> want, int tolerance = 2)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(got[size_t(c)]) - want[size_t(c)]) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel (" << int(got[0]) << ", " << int(got[1]) << ", " << int(got[2]) << ") expected ("
                   << want[0] << ", " << want[1] << ", " << want[2] << ")";
    return ::testing::AssertionSuccess();
}
