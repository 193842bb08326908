// Setting up the variable tables at program start from the defaults, the start file and the
// command line.
#include "services/environment/StartEnvironment.h"

#include "services/CSProgParam.h"
#include "services/ReplaceAll.h"
#include "services/StringHelpers.h"
#include "services/config/CSConfig.h"
#include "services/environment/Environment.h"
#include "services/environment/TextExpansion.h"
#include "services/files/UTFilePath.h"

namespace {

// The "-setenv" option keeps at most this many values.
constexpr uint32_t maxSetenvValues = 99;

// Sets one variable for each active item of block: the item's value with every
// "%DirOfThisFile%" (any case) replaced by the start file's directory.
void setVariablesFromBlock(CSConfig& config, const RWCString& block, const RWCString& startDir)
{
    const CSConfig::StringVector keys = config.getKeys(block);
    for (size_t i = 0; i < keys.entries(); ++i) {
        CSConfigVal* value = config.getValue(keys[i], block, nullptr);
        if (value == nullptr)
            continue;
        RWCString text = replaceAll(value->getText(), "%DirOfThisFile%", startDir, RWCString::ignoreCase);
        setVariable(keys[i], text, false);
    }
}

void readStartFile(const RWCString& startFile)
{
    const UTFilePath path(startFile);
    const RWCString startDir = path.parentPath().nativePath();
    CSConfig config(true);
    config.open(path.nativePath());
    setVariablesFromBlock(config, "ENVIRONS", startDir);
    setVariablesFromBlock(config, expandString("ENVIRONS_$OSNAME"), startDir);
}

void readCommandLine(const char* commandLine)
{
    CSProgParam parser;
    const int option = parser.addParam("-setenv", "setenv", maxSetenvValues, 1, 1);
    parser.parseCommandLine(commandLine);
    for (int i = 0; i < parser.getParamCount(option); ++i) {
        const RWCString assignment(parser.getParamValue(option, i));
        const size_t eq = assignment.first('=');
        if (eq == RW_NPOS)
            continue;
        setVariable(RWCString(assignment.data(), eq),
                    RWCString(assignment.data() + eq + 1, assignment.length() - eq - 1), true);
    }
}

}  // namespace

RWCString programDriveOf(const RWCString& modulePath)
{
    const UTFilePath path(modulePath);
    if (path.hasDrive())
        return path.drive() + ":";
    if (path.isUNC()) {
        RWCString share = stripChars(path.uncShare(true), 3, "/\\");
        share.toLower();
        return RWCString("//") + stripChars(path.uncServer(false), 3, "/\\") + "/" + fromUtf8(share);
    }
    return RWCString();
}

void initEnvironment(CSModuleHandle module, void* reserved, const char* commandLine)
{
    setDefaultVariable("KORVANE_LANGUAGE", "german");
    setDefaultVariable("KORVANE_PROGRAMDRIVE", programDriveOf(moduleFileName(module)));

    const RWCString startFile = findStartFile(module, reserved);
    if (!startFile.isNull())
        readStartFile(startFile);

    if (commandLine != nullptr)
        readCommandLine(commandLine);
}

RWCString findStartFile(CSModuleHandle module, void* /*reserved*/)
{
    UTFilePath dir = UTFilePath(moduleFileName(module)).parentPath();
    for (int level = 0; level < startFileSearchDepth && !dir.isEmpty(); ++level) {
        UTFilePath candidate = dir.join(UTFilePath(START_FILE_NAME));
        if (candidate.exists() && candidate.isFile() && candidate.isReadable())
            return candidate.text();
        // The module's directory and its parent may hold "bin" and "libs" themselves.
        if (level >= 2 && dir.join(UTFilePath("bin")).exists() && dir.join(UTFilePath("libs")).exists())
            break;
        dir = dir.parentPath();
    }
    return RWCString();
}
