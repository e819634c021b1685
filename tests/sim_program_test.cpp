// trk7700-sim as a program: it makes its COM entry, serves the library until
// interrupted, and cleans up after itself.
#include "TRK7700_DLL.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

using namespace trk7700::testing;
namespace fs = std::filesystem;

TEST(SimulatorProgramTest, ServesTheLibraryUntilInterrupted)
{
    TempDir dir;
    const std::string ports = (dir / "ports").string();
    const std::string program = std::string(TRK_BINARY_DIR) + "/bin/trk7700-sim";
    std::vector<std::string> args = {program, "--port-dir", ports, "--com", "3", "--log", "empty"};
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&quiet);

    const fs::path entry = fs::path(ports) / "COM3";
    for (int i = 0; i < 200 && !fs::exists(entry); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(entry));

    ::setenv("TRK7700_PORT_DIR", ports.c_str(), 1);
    EXPECT_EQ(QZ_TRK7700_INTO_DUMP_MODE(3), return_into_dump_mode_successful);
    char version[8] = "";
    int32_t serial = 0;
    EXPECT_EQ(QZ_TRK7700_READ_DEVICE_INFORMATION(3, &serial, version), return_read_device_information_successful);
    EXPECT_EQ(QZ_TRK7700_EXIT_DUMP_MODE(), return_exit_dump_mode);
    ::unsetenv("TRK7700_PORT_DIR");

    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(entry))) << "the entry is removed on exit";
}
