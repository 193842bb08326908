// Helpers shared by benchmarks and drawing tests: peak-memory readings and generated meshes.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

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

// The process's resident size now, in bytes (0 when it cannot be read).
inline size_t residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(::sysconf(_SC_PAGESIZE));
}

// The generators below hand their triangles, in a fixed order, to `add` (any callable taking three
// Point3D), so that the same models go into a mesh part or into a file. Each has a form that builds
// a mesh part directly.

// 2 * rings * segments triangles on a torus of radii 50 and 20.
template <class AddTriangle>
void torusTriangles(int rings, int segments, AddTriangle&& add)
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
            add(a, b, c);
            add(a, c, d);
        }
}

inline void buildTorus(FEMeshPartC& part, int rings, int segments)
{
    torusTriangles(rings, segments, [&](const Point3D& a, const Point3D& b, const Point3D& c) {
        part.addTriangle(a, b, c);
    });
}

// A gear outline of `points` points with 100 teeth; top and bottom fanned from their centres
// (each becomes one large flat face), side walls between them: 4 * points triangles.
template <class AddTriangle>
void gearTriangles(int points, AddTriangle&& add)
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
        add(top, rim(k, 10), rim(k + 1, 10));
    for (int k = 0; k < points; ++k) {
        add(rim(k, 0), rim(k + 1, 0), rim(k + 1, 10));
        add(rim(k, 0), rim(k + 1, 10), rim(k, 10));
    }
    for (int k = 0; k < points; ++k)
        add(bottom, rim(k + 1, 0), rim(k, 0));
}

inline void buildGear(FEMeshPartC& part, int points)
{
    gearTriangles(points, [&](const Point3D& a, const Point3D& b, const Point3D& c) { part.addTriangle(a, b, c); });
}

// A flat cone of `triangles` triangles: half its mantle (fanned from the apex; so flat that the
// neighbours of a fine one merge), half its base (fanned from the centre, which finalize merges
// into one face around a vertex of huge valence).
template <class AddTriangle>
void coneTriangles(int triangles, AddTriangle&& add)
{
    const int n = triangles / 2;
    auto rim = [&](int k) {
        const double a = 2.0 * kPi * (k % n) / n;
        return Point3D(30.0 * std::cos(a), 30.0 * std::sin(a), 0.0);
    };
    const Point3D apex(0, 0, 5), centre(0, 0, 0);
    for (int k = 0; k < n; ++k)
        add(apex, rim(k), rim(k + 1));
    for (int k = 0; k < n; ++k)
        add(centre, rim(k + 1), rim(k));
}

inline void buildCone(FEMeshPartC& part, int triangles)
{
    coneTriangles(triangles, [&](const Point3D& a, const Point3D& b, const Point3D& c) { part.addTriangle(a, b, c); });
}

// Writes the triangles a generator gives (`generate` takes the adding callable) as a binary STL
// file of `count` facets with zero normals, little-endian as on the machines we build for.
// False when the file cannot be written whole.
template <class Generate>
bool writeBinaryStl(const std::string& path, uint32_t count, Generate&& generate)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    const char header[80] = {};
    bool ok = std::fwrite(header, 1, 80, f) == 80 && std::fwrite(&count, 4, 1, f) == 1;
    uint32_t written = 0;
    generate([&](const Point3D& a, const Point3D& b, const Point3D& c) {
        char record[50] = {};
        const float corners[9] = {float(a.x()), float(a.y()), float(a.z()), float(b.x()), float(b.y()),
                                  float(b.z()), float(c.x()), float(c.y()), float(c.z())};
        std::memcpy(record + 12, corners, sizeof corners);
        ok = ok && std::fwrite(record, 1, 50, f) == 50;
        ++written;
    });
    ok = std::fclose(f) == 0 && ok;
    return ok && written == count;
}

}  // namespace benchsupport
