// Helpers shared by benchmarks and drawing tests: peak-memory readings and generated meshes.
#pragma once

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/mesh/FEMeshPartC.h"

namespace benchsupport {

inline constexpr double kPi = 3.14159265358979323846;

// Resets the process's peak resident size so that each run reports its own peak.
inline void resetPeakMemory()
{
    std::ofstream f("/proc/self/clear_refs");
    if (f)
        f << "5";
}

// The process's peak resident size since the last reset, in MB (0 when it cannot be read).
inline double peakMemoryMB()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0.0;
}

// 2 * rings * segments triangles on a torus of radii 50 and 20.
inline void buildTorus(FEMeshPartC& part, int rings, int segments)
{
    // Angle tables keep the generator's own cost out of the figure.
    std::vector<double> cu(rings), su(rings), cv(segments), sv(segments);
    for (int i = 0; i < rings; ++i) {
        cu[i] = std::cos(2.0 * kPi * i / rings);
        su[i] = std::sin(2.0 * kPi * i / rings);
    }
    for (int j = 0; j < segments; ++j) {
        cv[j] = std::cos(2.0 * kPi * j / segments);
        sv[j] = std::sin(2.0 * kPi * j / segments);
    }
    auto point = [&](int i, int j) {
        i %= rings;
        j %= segments;
        const double r = 50.0 + 20.0 * cv[j];
        return Point3D(r * cu[i], r * su[i], 20.0 * sv[j]);
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j) {
            const Point3D a = point(i, j), b = point(i + 1, j), c = point(i + 1, j + 1), d = point(i, j + 1);
            part.addTriangle(a, b, c);
            part.addTriangle(a, c, d);
        }
}

// A gear outline of `points` points with 100 teeth; top and bottom fanned from their centres
// (each becomes one large flat face), side walls between them: 4 * points triangles.
inline void buildGear(FEMeshPartC& part, int points)
{
    const int teeth = 100;
    auto rim = [&](int k, double z) {
        const double a = 2.0 * kPi * (k % points) / points;
        const double phase = std::fmod(a * teeth / (2.0 * kPi), 1.0);
        const double r = phase < 0.5 ? 40.0 : 44.0;
        return Point3D(r * std::cos(a), r * std::sin(a), z);
    };
    const Point3D top(0, 0, 10), bottom(0, 0, 0);
    for (int k = 0; k < points; ++k)
        part.addTriangle(top, rim(k, 10), rim(k + 1, 10));
    for (int k = 0; k < points; ++k) {
        part.addTriangle(rim(k, 0), rim(k + 1, 0), rim(k + 1, 10));
        part.addTriangle(rim(k, 0), rim(k + 1, 10), rim(k, 10));
    }
    for (int k = 0; k < points; ++k)
        part.addTriangle(bottom, rim(k + 1, 0), rim(k, 0));
}

}  // namespace benchsupport
