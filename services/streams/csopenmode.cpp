// Mapping of the file streams' open modes to the standard modes and the POSIX open flags.
#include "services/streams/csopenmode.h"

#include <fcntl.h>

namespace {

struct ModePair {
    int own;
    std::ios_base::openmode std;
};

const ModePair kModes[] = {
    {csopenmode::in, std::ios_base::in},       {csopenmode::out, std::ios_base::out},
    {csopenmode::ate, std::ios_base::ate},     {csopenmode::app, std::ios_base::app},
    {csopenmode::trunc, std::ios_base::trunc}, {csopenmode::binary, std::ios_base::binary},
};

}  // namespace

std::ios_base::openmode csopenmode::toStd(int mode)
{
    std::ios_base::openmode result{};
    for (const ModePair& m : kModes)
        if (mode & m.own)
            result |= m.std;
    return result;
}

int csopenmode::fromStd(std::ios_base::openmode mode)
{
    int result = 0;
    for (const ModePair& m : kModes)
        if (mode & m.std)
            result |= m.own;
    return result;
}

int csopenmode::normalize(int mode)
{
    if (mode & app)
        mode |= out;
    if ((mode & out) && !(mode & (in | ate | app)))
        mode |= trunc;
    return mode;
}

int csopenmode::toOpenFlags(int mode)
{
    int flags = O_CLOEXEC;
    const bool reading = mode & in, writing = mode & out;
    if (reading && writing)
        flags |= O_RDWR;
    else if (writing)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (writing) {
        flags |= O_CREAT;
        if (mode & trunc)
            flags |= O_TRUNC;
        if (mode & app)
            flags |= O_APPEND;
    }
    return flags;
}
