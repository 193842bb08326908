// Web addresses as model names: the path that gives their type.
#include "platform/WebAddress.h"

#include <gtest/gtest.h>

using namespace platform::address;

TEST(WebAddress, TheTypeComesFromAnAddresssPathAloneAndFromALocalNameWhole)
{
    const struct Case {
        const char* name;
        const char* path;
    } cases[] = {
        {"http://host/models/part.stl?v=2", "/models/part.stl"},
        {"HTTP://host/part.stl#top", "/part.stl"},
        {"http://host/a.xml?next=/b/c.zip#x", "/a.xml"},
        {"http://127.0.0.1:8080", ""},
        {"http://host?next=/a.stl", ""},
        {"/models/a?b.stl", "/models/a?b.stl"},  // a local file may be named so
        {"C:/models/a#1.stl", "C:/models/a#1.stl"},
    };
    for (const Case& k : cases) {
        const std::string name = k.name;
        EXPECT_EQ(name.substr(pathStart(name), pathEnd(name) - pathStart(name)), k.path) << name;
    }
}
