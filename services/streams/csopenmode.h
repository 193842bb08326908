// The open modes and layer flags of the file streams, with the fixed values that callers and
// stored code pass, and their mapping to the standard open modes and the POSIX open flags.
#pragma once

#include <ios>

struct csopenmode {
    static constexpr int in = 1;
    static constexpr int out = 2;
    static constexpr int ate = 4;
    static constexpr int app = 8;
    static constexpr int trunc = 16;
    static constexpr int binary = 32;
    // Layer flags of the gzip file layer: encipher (no enciphered body exists) and compress.
    static constexpr int encryptFlag = 0x4000;
    static constexpr int compressFlag = 0x8000;
    // The protection callers pass (octal 666). Only its sharing bits mean anything, and
    // sharing is not enforced here.
    static constexpr int defaultProtection = 438;

    // The same mode in the standard type and back; the layer flags have no standard form.
    static std::ios_base::openmode toStd(int mode);
    static int fromStd(std::ios_base::openmode mode);

    // The mode as opening a file understands it: app implies out, and out without in, ate or
    // app implies trunc.
    static int normalize(int mode);
    // The POSIX open flags for a normalised mode: read, write or both, with O_CREAT, O_TRUNC
    // and O_APPEND for output, always close-on-exec.
    static int toOpenFlags(int mode);
};
