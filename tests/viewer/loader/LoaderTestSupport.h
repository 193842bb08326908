// Test support for loads: model files made in code, and a control driven through a load by
// its 25 ms timer on the fake clock.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/viewer/ViewerTestSupport.h"
#include "viewer/ui/AnimationC.h"

// A binary STL of the axis-aligned box from lo to hi: 12 triangles.
inline std::string boxStl(const std::array<float, 3>& lo, const std::array<float, 3>& hi)
{
    const float v[8][3] = {{lo[0], lo[1], lo[2]}, {hi[0], lo[1], lo[2]}, {hi[0], hi[1], lo[2]}, {lo[0], hi[1], lo[2]},
                           {lo[0], lo[1], hi[2]}, {hi[0], lo[1], hi[2]}, {hi[0], hi[1], hi[2]}, {lo[0], hi[1], hi[2]}};
    const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                              {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
    std::string bytes(80, ' ');
    const uint32_t count = 12;
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    for (const auto& f : faces) {
        const float normal[3] = {0, 0, 0};
        bytes.append(reinterpret_cast<const char*>(normal), 12);
        for (int k : f)
            bytes.append(reinterpret_cast<const char*>(v[k]), 12);
        bytes.append(2, '\0');
    }
    return bytes;
}

// The cube from (0, 0, 0) to (size, size, size).
inline std::string cubeStl(float size = 10.0f) { return boxStl({0, 0, 0}, {size, size, size}); }

// The folder of the shipped samples, beside the sources.
inline std::string samplesFolder()
{
    return std::string(TAVO_SOURCE_DIR) + "/samples";
}

// A configuration that already holds the quality choice, so no dialog opens.
inline const char kChosenSettings[] = "[GFX]\nSTANDARD_SETTING=1\n";

// Starts the control (Start 1) and lets 25 ms ticks pass until the load ends or the fake
// time runs out; returns the ticks delivered.
inline unsigned runLoad(ViewerHarness& v, const std::string& fileName, uint32_t limitMs = 5000)
{
    CTavoplexCtrl& c = v.control();
    c.SetFileName(RWCString(fileName.c_str()));
    if (c.Start == 0)
        c.SetParam("Start", "1");
    unsigned ticks = 0;
    for (uint32_t t = 0; c.Loading && t < limitMs; t += 25)
        ticks += v.advance(25);
    return ticks;
}

// An animation that points into the model; counts its deletion and may throw when asked
// whether it points into the model.
class ModelAnimation : public AnimationC {
public:
    ModelAnimation(bool* deleted, bool throwOnQuery = false) : deleted_(deleted), throw_(throwOnQuery) {}
    ~ModelAnimation() override
    {
        if (deleted_ != nullptr)
            *deleted_ = true;
    }
    void Apply(float) override { ++applied; }
    bool RefersToModel() const override
    {
        if (throw_)
            throw std::runtime_error("model walk failed");
        return true;
    }
    int applied = 0;

private:
    bool* deleted_;
    bool throw_;
};

inline size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}
