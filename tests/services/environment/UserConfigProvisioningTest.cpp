// Tests of deploying template directories into a user's configuration directory: rule words,
// recorded template times, retries after failures, and the deployment by mode.
#include "services/environment/UserConfigProvisioning.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "services/config/CSConfig.h"
#include "services/environment/Environment.h"
#include "services/files/CopyFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/Unprivileged.h"

namespace fs = std::filesystem;

namespace {

// 5 March 2024 06:07:08 UTC, and the same an hour later.
constexpr time_t templateTime = 1709618828;
constexpr time_t laterTime = templateTime + 3600;

void setTime(const std::string& path, time_t seconds, long nanoseconds = 0)
{
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// The value of key in block of a .cfg file, or "<none>".
std::string setting(const std::string& file, const char* key, const char* block)
{
    CSConfig cfg(RWCString(file.c_str()), true);
    CSConfigItem* item = cfg.findItem(key, block);
    return item ? std::string(item->getValue()->getString()) : "<none>";
}

std::string recorded(const std::string& userDir, const char* key)
{
    return setting(userDir + "/user.cfg", key, "FILEDATES");
}

// A template and a user folder, with the rules file written from the given lines.
struct Folders {
    TempDir dir;
    std::string templates = dir.file("templates");
    std::string user = dir.file("home/user/config");

    Folders(const std::string& rules = "")
    {
        fs::create_directories(templates);
        if (!rules.empty())
            dir.write("templates/defaultuser.cfg", "[FLAGS]\n" + rules);
    }
    std::string templateFile(const std::string& name, const std::string& bytes, time_t t)
    {
        const std::string path = dir.write("templates/" + name, bytes);
        setTime(path, t);
        return path;
    }
    std::string userFile(const std::string& name) const { return user + "/" + name; }
    int provision() { return provisionUserConfig(templatesIn(user), templatesIn(templates)); }
    static RWCString templatesIn(const std::string& s) { return RWCString(s.c_str()); }
};

}  // namespace

TEST(UserConfigProvisioning, FirstDeploymentFillsAnEmptyUserFolderAndASecondChangesNothing)
{
    Folders f("sub/x.cfg=always\n");
    f.templateFile("settings.cfg", "; quality\n[GFX]\nSHADOW=1\n", templateTime);
    f.templateFile("notes.txt", "plain bytes\n", templateTime);
    fs::create_directories(f.templates + "/sub");
    f.templateFile("sub/x.cfg", "[X]\nx=1\n", templateTime);
    // Sub-second precision of the file system is not recorded.
    setTime(f.templates + "/settings.cfg", templateTime, 999999999);
    // A link back up the tree is not followed for ever.
    fs::create_directory_symlink("..", f.templates + "/sub/up");

    // The user folder is named through a variable and made with its parents.
    setVariable("TVX_USERHOME", f.dir.file("home").c_str());
    EXPECT_EQ(provisionUserConfig("$(TVX_USERHOME)/user/config", f.templates.c_str()), 1);
    removeVariable("TVX_USERHOME");

    EXPECT_EQ(setting(f.userFile("settings.cfg"), "SHADOW", "GFX"), "1");
    EXPECT_EQ(TempDir::read(f.userFile("notes.txt")), "plain bytes\n");
    EXPECT_EQ(setting(f.userFile("sub/x.cfg"), "x", "X"), "1");
    EXPECT_EQ(setting(f.userFile("defaultuser.cfg"), "sub/x.cfg", "FLAGS"), "always");
    EXPECT_FALSE(fs::exists(f.userFile("sub/up")));
    EXPECT_EQ(recorded(f.user, "settings.cfg"), "05.03.2024 06:07:08");
    EXPECT_EQ(recorded(f.user, "notes.txt"), "05.03.2024 06:07:08");
    EXPECT_EQ(recorded(f.user, "sub/x.cfg"), "<none>");  // "always" records nothing

    // Unchanged templates are not deployed again, whatever the user did to the copies.
    f.dir.write("home/user/config/notes.txt", "edited\n");
    f.dir.write("home/user/config/settings.cfg", "[GFX]\nSHADOW=0\n");
    const std::string userCfg = TempDir::read(f.userFile("user.cfg"));
    EXPECT_EQ(f.provision(), 1);
    EXPECT_EQ(TempDir::read(f.userFile("notes.txt")), "edited\n");
    EXPECT_EQ(TempDir::read(f.userFile("settings.cfg")), "[GFX]\nSHADOW=0\n");
    EXPECT_EQ(TempDir::read(f.userFile("user.cfg")), userCfg);

    // Excluded entries are skipped at the top level only.
    TempDir excluded;
    RWTValOrderedVector<RWCString> exclude;
    exclude.append("notes.txt");
    exclude.append("x.cfg");
    EXPECT_EQ(deployConfigDirectory(UTFilePath(excluded.path().c_str()), UTFilePath(f.templates.c_str()), UTFilePath(),
                                    nullptr, nullptr, &exclude),
              1);
    EXPECT_FALSE(fs::exists(excluded.file("notes.txt")));
    EXPECT_TRUE(fs::exists(excluded.file("settings.cfg")));
    EXPECT_TRUE(fs::exists(excluded.file("sub/x.cfg")));

    // A missing template folder deploys nothing but still makes the user folder.
    TempDir other;
    EXPECT_EQ(provisionUserConfig(other.file("u").c_str(), other.file("none").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(other.file("u")));
}

TEST(UserConfigProvisioning, RuleWordsDecideHowAnUpdatedTemplateReachesTheUser)
{
    const std::string v1 = "[S]\nk=1\n";
    const std::string v2 = "[S]\nk=2\nnew=3\n";
    const std::string mine = "[S]\nk=mine\n";
    const char* const first = "05.03.2024 06:07:08";
    const char* const later = "05.03.2024 07:07:08";
    struct Case {
        const char* rule;  // null: no rule
        const char* file;
        bool touched;      // the template changed after the first deployment
        const char* k;     // the user's k afterwards, or null when the file is v2 byte for byte
        const char* added; // the user's "new" afterwards
        const char* time;  // recorded for the file afterwards
    } cases[] = {
        {nullptr, "a.cfg", true, "mine", "3", later},           // merged: the user's value stays
        {"MERGE", "a.txt", true, "mine", "3", later},           // merged although no .cfg
        {"Copy", "a.cfg", true, nullptr, nullptr, later},       // copied over the user's
        {nullptr, "a.txt", true, nullptr, nullptr, later},      // copied
        {"NEWER", "a.txt", false, "mine", "<none>", first},     // unchanged: left alone
        {"ALWAYS,COPY", "a.cfg", false, "1", "<none>", "<none>"}, // deployed again, not recorded
        {"copy, notexists", "a.cfg", true, "mine", "<none>", first}, // the user's file exists
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule ? c.rule : "-") + " " + c.file);
        Folders f(c.rule ? std::string(c.file) + "=" + c.rule + "\n" : "");
        const std::string tmpl = f.templateFile(c.file, v1, templateTime);
        EXPECT_EQ(f.provision(), 1);
        f.dir.write("home/user/config/" + std::string(c.file), mine);
        if (c.touched)
            f.templateFile(c.file, v2, laterTime);
        EXPECT_EQ(f.provision(), 1);

        const std::string user = f.userFile(c.file);
        if (c.k == nullptr) {
            EXPECT_EQ(TempDir::read(user), v2);
        } else {
            EXPECT_EQ(setting(user, "k", "S"), c.k);
            EXPECT_EQ(setting(user, "new", "S"), c.added);
        }
        EXPECT_EQ(recorded(f.user, c.file), c.time);
    }

    // "notexists" deploys once the user's file is gone.
    Folders f("a.cfg=COPY,NOTEXISTS\n");
    f.templateFile("a.cfg", v1, templateTime);
    EXPECT_EQ(f.provision(), 1);
    f.dir.write("home/user/config/a.cfg", mine);
    f.templateFile("a.cfg", v2, laterTime);
    EXPECT_EQ(f.provision(), 1);
    EXPECT_EQ(TempDir::read(f.userFile("a.cfg")), mine);
    fs::remove(f.userFile("a.cfg"));
    EXPECT_EQ(f.provision(), 1);
    EXPECT_EQ(TempDir::read(f.userFile("a.cfg")), v2);
}

TEST(UserConfigProvisioning, FailedDeploymentsAreRetriedAndUnreadableUserFilesLeftAlone)
{
    Folders f;
    f.templateFile("a.cfg", "[S]\nk=1\n", templateTime);
    f.templateFile("notes.txt", "v1\n", templateTime);
    EXPECT_EQ(f.provision(), 1);

    // Both templates change; the user's settings cannot be read and the new notes cannot be
    // read either, by a user without root's rights.
    f.dir.write("home/user/config/a.cfg", "[S]\nk=mine\n");
    f.templateFile("a.cfg", "[S]\nk=2\nnew=3\n", laterTime);
    f.templateFile("notes.txt", "v2\n", laterTime);
    for (const std::string& d : {f.dir.path(), f.templates, f.dir.file("home"), f.dir.file("home/user"), f.user})
        ::chmod(d.c_str(), 0777);
    ::chmod(f.userFile("user.cfg").c_str(), 0666);
    ::chmod(f.userFile("notes.txt").c_str(), 0666);
    ::chmod(f.userFile("a.cfg").c_str(), 0);
    ::chmod((f.templates + "/notes.txt").c_str(), 0);
    EXPECT_EQ(runUnprivileged([&] { return f.provision(); }), COPY_SOURCE_FAILED);

    ::chmod(f.userFile("a.cfg").c_str(), 0644);
    EXPECT_EQ(TempDir::read(f.userFile("a.cfg")), "[S]\nk=mine\n");
    EXPECT_EQ(TempDir::read(f.userFile("notes.txt")), "v1\n");
    EXPECT_EQ(recorded(f.user, "a.cfg"), "05.03.2024 06:07:08");
    EXPECT_EQ(recorded(f.user, "notes.txt"), "05.03.2024 06:07:08");

    // The merge failure alone is reported too.
    ::chmod((f.templates + "/notes.txt").c_str(), 0644);
    ::chmod(f.userFile("a.cfg").c_str(), 0);
    EXPECT_EQ(runUnprivileged([&] { return f.provision(); }), COPY_DESTINATION_FAILED);
    ::chmod(f.userFile("a.cfg").c_str(), 0644);
    EXPECT_EQ(TempDir::read(f.userFile("a.cfg")), "[S]\nk=mine\n");
    EXPECT_EQ(TempDir::read(f.userFile("notes.txt")), "v2\n");

    // Once they can be read, the next run deploys what failed.
    EXPECT_EQ(f.provision(), 1);
    EXPECT_EQ(setting(f.userFile("a.cfg"), "k", "S"), "mine");
    EXPECT_EQ(setting(f.userFile("a.cfg"), "new", "S"), "3");
    EXPECT_EQ(recorded(f.user, "a.cfg"), "05.03.2024 07:07:08");
    EXPECT_EQ(recorded(f.user, "notes.txt"), "05.03.2024 07:07:08");
}

TEST(UserConfigProvisioning, DeployDirectoryByMode)
{
    struct Case {
        int mode;
        bool sourceNewer;
        char cfg;   // what became of the destination's .cfg: C copied, M merged, U untouched
        char other; // and of its other file
    } cases[] = {
        {0, false, 'C', 'C'}, {1, true, 'C', 'C'}, {1, false, 'U', 'U'}, {2, true, 'U', 'U'},
        {4, true, 'M', 'C'},  {4, false, 'U', 'U'}, {8, false, 'M', 'C'}, {3, false, 'C', 'C'},
    };
    for (const Case& c : cases) {
        for (bool recurse : {false, true}) {
            SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.sourceNewer ? " newer" : " older") +
                         (recurse ? " recursive" : ""));
            TempDir dir;
            fs::create_directories(dir.file("src/sub"));
            fs::create_directories(dir.file("dst"));
            const std::pair<std::string, std::string> files[] = {
                {"src/a.cfg", "[S]\nk=src\nnew=1\n"}, {"src/b.txt", "src\n"}, {"src/c.txt", "c\n"},
                {"src/sub/d.txt", "d\n"}, {"dst/a.cfg", "[S]\nk=dst\n"}, {"dst/b.txt", "dst\n"}};
            for (const auto& [name, bytes] : files)
                setTime(dir.write(name, bytes), name.rfind("src", 0) == 0 && c.sourceNewer ? laterTime : templateTime);
            // A destination inside the source is never deployed into itself.
            EXPECT_EQ(deployDirectory(dir.file("src/out").c_str(), dir.file("src").c_str(), c.mode, recurse), 1);
            EXPECT_FALSE(fs::exists(dir.file("src/out/out")));
            EXPECT_EQ(deployDirectory(dir.file("dst").c_str(), dir.file("src").c_str(), c.mode, recurse), 1);

            const std::string cfgText = TempDir::read(dir.file("dst/a.cfg"));
            const char cfg = cfgText == "[S]\nk=src\nnew=1\n" ? 'C'
                             : cfgText == "[S]\nk=dst\n"     ? 'U'
                             : setting(dir.file("dst/a.cfg"), "k", "S") == "dst" &&
                                     setting(dir.file("dst/a.cfg"), "new", "S") == "1"
                                 ? 'M'
                                 : '?';
            EXPECT_EQ(cfg, c.cfg) << cfgText;
            EXPECT_EQ(TempDir::read(dir.file("dst/b.txt")), c.other == 'C' ? "src\n" : "dst\n");
            EXPECT_EQ(TempDir::read(dir.file("dst/c.txt")), "c\n");  // missing: always deployed
            EXPECT_EQ(fs::exists(dir.file("dst/sub/d.txt")), recurse);
        }
    }
}

TEST(UserConfigProvisioning, AnEmptyUserFolderNameIsRefusedAndNothingLandsInTheWorkingFolder)
{
    Folders f;
    f.templateFile("notes.txt", "v1\n", templateTime);
    f.templateFile("a.cfg", "[S]\nk=1\n", templateTime);
    TempDir cwd;
    const fs::path before = fs::current_path();
    fs::current_path(cwd.path());
    const int provisioned = provisionUserConfig("", f.templates.c_str());
    const int deployed = deployDirectory("", f.templates.c_str(), 0, true);
    fs::current_path(before);
    EXPECT_EQ(provisioned, COPY_DESTINATION_FAILED);
    EXPECT_EQ(deployed, COPY_DESTINATION_FAILED);
    EXPECT_TRUE(fs::is_empty(cwd.path()));
}
