// Tests of the environment set-up at program start: the start-file search, its blocks, the
// defaults and the "-setenv" option.
#include "services/environment/StartEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/sys.h"
#include "services/environment/Environment.h"
#include "services/environment/TextExpansion.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

class StartEnvironment : public ::testing::Test {
protected:
    void SetUp() override { cleanUp(); }
    void TearDown() override
    {
        cleanUp();
        platform::sys::overrideModuleFileName("");
    }
    static void cleanUp()
    {
        clearVariables();
        clearDefaultVariables();
    }

    // Makes the folders of path below the temporary folder and returns the full path.
    std::string folder(const std::string& path)
    {
        const std::string full = dir.file(path);
        fs::create_directories(full);
        return full;
    }
    // The module file lives in inst/a/b/c/d; the program believes it is that file.
    void placeModule()
    {
        folder("inst/a/b/c/d");
        platform::sys::overrideModuleFileName(dir.write("inst/a/b/c/d/prog", "x"));
    }

    static std::string lookup(const char* name)
    {
        int status = 0;
        RWCString v = getVariable(name, &status, true);
        return status == 1 ? std::string(v.data(), v.length()) : "<unset>";
    }

    TempDir dir;
};

}  // namespace

TEST_F(StartEnvironment, SearchStopsAtTheTopOfAnInstallationAboveTheModulesParent)
{
    placeModule();
    struct Case {
        const char* startFileIn;  // below inst
        const char* binAndLibsIn; // below inst, or null
        bool found;
    } cases[] = {
        {"a/b/c/d", nullptr, true},   // the module's own directory
        {"a/b", nullptr, true},       // two levels above it
        {"", nullptr, true},          // five levels above it
        {"a", "a/b", false},          // above the top of an installation
        {"a/b", "a/b", true},         // in the top itself
        {"a/b", "a/b/c", true},       // the module's parent is exempt ...
        {"a/b", "a/b/c/d", true},     // ... and so is the module's own directory
    };
    for (const Case& c : cases) {
        fs::remove_all(dir.file("inst"));
        placeModule();
        const std::string start = dir.write(std::string("inst/") + c.startFileIn + "/start.env", "[ENVIRONS]\n");
        if (c.binAndLibsIn) {
            folder(std::string("inst/") + c.binAndLibsIn + "/bin");
            folder(std::string("inst/") + c.binAndLibsIn + "/libs");
        }
        const RWCString found = findStartFile(nullptr, nullptr);
        EXPECT_EQ(std::string(found.data()), c.found ? fs::path(start).lexically_normal().string() : "")
            << c.startFileIn << " / " << (c.binAndLibsIn ? c.binAndLibsIn : "-");
    }

    // A folder named like the start file is no start file; the search goes on above it.
    fs::remove_all(dir.file("inst"));
    placeModule();
    folder("inst/a/b/c/d/start.env");
    const std::string start = dir.write("inst/a/start.env", "");
    EXPECT_EQ(std::string(findStartFile(nullptr, nullptr).data()), start);
}

TEST_F(StartEnvironment, StartFileAndCommandLineFillTheVariablesInOrder)
{
    placeModule();
    const RWCString osName = getVariable("OSNAME", nullptr, true);
    const std::string text = "[ENVIRONS]\n"
                             "TVX_TOOLS=%dirofthisfile%/tools\n"
                             "TVX_WHICH=common\n"
                             "TVX_ARG=from file\n"
                             "#-TVX_OFF=1\n"
                             "[ENVIRONS_" + std::string(osName.data()) + "]\n"
                             "TVX_WHICH=processor\n"
                             "[ENVIRONS_other]\n"
                             "TVX_WHICH=other\n";
    const std::string start = dir.write("inst/a/b/start.env", text);
    initEnvironment(nullptr, nullptr, "-setenv TVX_ARG=a=b TVX_EMPTY= novalue -setenv TVX_NEW=1");

    EXPECT_EQ(lookup("TVX_TOOLS"), dir.file("inst/a/b") + "/tools");
    EXPECT_EQ(lookup("TVX_WHICH"), "processor");
    EXPECT_EQ(lookup("TVX_ARG"), "a=b");  // the second '=' stays in the value
    EXPECT_EQ(lookup("TVX_EMPTY"), "");
    EXPECT_EQ(lookup("TVX_NEW"), "1");
    EXPECT_EQ(lookup("novalue"), "<unset>");
    EXPECT_EQ(lookup("TVX_OFF"), "<unset>");
    EXPECT_FALSE(isVariableFlagged("TVX_WHICH"));
    EXPECT_TRUE(isVariableFlagged("TVX_NEW"));
    EXPECT_EQ(lookup("KORVANE_LANGUAGE"), "german");
    EXPECT_EQ(lookup("KORVANE_PROGRAMDRIVE"), "");  // no drive letters here
    // Every "$(NAME)" reference now sees them.
    EXPECT_EQ(std::string(expandString("$(TVX_TOOLS)/bin").data()), dir.file("inst/a/b") + "/tools/bin");
    // The start file is read, never written.
    EXPECT_EQ(TempDir::read(start), text);

    // Another processor name picks its own block.
    cleanUp();
    ScopedEnv os("OSNAME", "other");
    initEnvironment(nullptr, nullptr, nullptr);
    EXPECT_EQ(lookup("TVX_WHICH"), "other");
    EXPECT_EQ(lookup("TVX_ARG"), "from file");
}

TEST_F(StartEnvironment, WithoutStartFileOnlyDefaultsAndCommandLineAreSet)
{
    placeModule();
    dir.write("inst/start.env", "[ENVIRONS]\nTVX_FAR=1\n");
    folder("inst/a/bin");
    folder("inst/a/libs");
    initEnvironment(nullptr, nullptr, "-SETENV TVX_ONLY=yes");
    EXPECT_EQ(lookup("TVX_FAR"), "<unset>");
    EXPECT_EQ(lookup("TVX_ONLY"), "yes");
    EXPECT_EQ(lookup("KORVANE_LANGUAGE"), "german");
    EXPECT_EQ(defaultTable()->entries(), 2u);

    // A language set by the program wins over the default, which stays a default.
    setVariable("KORVANE_LANGUAGE", "english");
    EXPECT_EQ(lookup("KORVANE_LANGUAGE"), "english");
}

TEST(StartEnvironmentDrive, ProgramDriveFromDriveLettersAndNetworkShares)
{
    struct {
        const char* module;
        const char* drive;
    } cases[] = {
        {"C:/Programs/Tavo/bin/tavo.exe", "C:"},
        {"d:\\tools\\tavo.exe", "d:"},
        {"//Server/Share/Tavo/bin/tavo.exe", "//Server/share"},
        {"\\\\HOST\\MixedCase\\tavo.exe", "//HOST/mixedcase"},
        {"/usr/lib/tavo/tavo", ""},
        {"tavo", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(programDriveOf(c.module).data()), c.drive) << c.module;

    platform::sys::overrideModuleFileName("//Server/Share/bin/prog");
    initEnvironment(nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(getVariable("KORVANE_PROGRAMDRIVE", nullptr, true).data()), "//Server/share");
    platform::sys::overrideModuleFileName("");
    clearDefaultVariables();
}
