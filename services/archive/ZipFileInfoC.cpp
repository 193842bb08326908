// ZipFileInfoC: the empty description.
#include "services/archive/ZipFileInfoC.h"

#include <cstring>

void ZipFileInfoC::clear()
{
    std::memset(&info, 0, sizeof info);
    name_.assign(1, '\0');
    extra_.clear();
    comment_.assign(1, '\0');
    localHeaderOffset_ = 0;
}
