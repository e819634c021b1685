// Where the desktop tool keeps its options file: in the start folder when it
// runs from the build tree, in the user's configuration folder when installed,
// reading an earlier file from the start folder until it has written its own.
#include "binding/shipped_files.h"
#include "conversion/file_ops.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using trk7700::client::optionsFilePlaces;

constexpr char kName[] = "wayfolk-tool.ini";

void touch(const fs::path &file)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << " 1\r\n";
}

// A scratch tree with an install prefix, a build tree, a configuration
// folder and a start folder, which is the current directory during the test.
class OptionsFilePlaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/trk7700-options-place-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directories(root / "usr/bin");
        fs::create_directories(root / "usr/share/wayfolk-tool/wav");
        fs::create_directories(root / "build/bin/wav");
        touch(root / "build/CMakeCache.txt");
        fs::create_directories(root / "portable");  // an unpacked zip: wav/ beside the programs
        fs::create_directories(root / "portable/wav");
        fs::create_directories(root / "start");
        previous = fs::current_path();
        fs::current_path(root / "start");
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    std::string installed() const { return (root / "usr/bin").string(); }
    std::string config() const { return (root / "home/.config/trk7700").string(); }
    std::string stored() const { return config() + "/" + kName; }

    fs::path root;
    fs::path previous;
};

TEST_F(OptionsFilePlaceTest, BuildTreeKeepsTheFileInTheStartFolder)
{
    // Also when the build tree has a share/ folder beside bin/ as an install
    // has, and when a stored file exists.
    fs::create_directories(root / "build/share/wayfolk-tool/wav");
    touch(stored());
    for (const std::string &executable : {(root / "build/bin").string(), std::string()}) {
        const auto places = optionsFilePlaces(kName, executable, config());
        EXPECT_EQ(places.read, kName) << executable;
        EXPECT_EQ(places.write, kName) << executable;
    }
}

TEST_F(OptionsFilePlaceTest, InstalledToolWritesIntoTheConfigurationFolder)
{
    struct Case {
        const char *what;
        bool earlierInStartFolder;
        std::optional<const char *> storedEntry;  // "file", "link" to nowhere
        bool readsEarlier;
    };
    const Case cases[] = {
        {"first start, nothing anywhere", false, std::nullopt, false},
        {"first start after an update: the earlier file is read once", true, std::nullopt, true},
        {"later starts: the stored file wins over the earlier one", true, "file", false},
        {"a link planted under the stored name is not passed over", true, "link", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root / "home");
        fs::remove(root / "start" / kName);
        if (c.earlierInStartFolder) touch(root / "start" / kName);
        if (c.storedEntry && std::string(*c.storedEntry) == "file") touch(stored());
        if (c.storedEntry && std::string(*c.storedEntry) == "link") {
            fs::create_directories(config());
            fs::create_symlink(root / "nowhere", stored());
        }
        for (const fs::path &programs : {root / "usr/bin", root / "portable"}) {
            const auto places = optionsFilePlaces(kName, programs.string(), config());
            EXPECT_EQ(places.write, stored()) << programs;
            EXPECT_EQ(places.read, c.readsEarlier ? std::string(kName) : stored()) << programs;
        }
    }
}

// A FIFO or folder under the earlier name is no earlier options file.
TEST_F(OptionsFilePlaceTest, OnlyARegularFileCountsAsAnEarlierOne)
{
    fs::create_directories(root / "start" / kName);
    EXPECT_EQ(optionsFilePlaces(kName, installed(), config()).read, stored());
}

class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        if (const char *old = std::getenv(name)) old_ = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(UserConfigFolderTest, FollowsXdgConfigHomeElseHome)
{
    struct Case {
        const char *xdg;
        const char *expected;
    };
    const Case cases[] = {
        {"/srv/conf", "/srv/conf/trk7700"},
        {nullptr, "/home/walker/.config/trk7700"},
        {"", "/home/walker/.config/trk7700"},
        {"relative/conf", "/home/walker/.config/trk7700"},  // only an absolute path counts
    };
    ScopedEnv home("HOME", "/home/walker");
    for (const Case &c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(trk7700::client::userConfigFolder(), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

}  // namespace
