#pragma once
// Programs and scripts that tests run to their end, on Linux: a shell script put in a
// folder, and a run with exactly the environment given and its output in a file.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace testsupport {

// A shell script of that name in the folder, executable by anyone.
inline void writeScript(const TempFolder& folder, const std::string& name, const std::string& body)
{
    folder.write(name, "#!/bin/sh\n" + body);
    ::chmod((folder / name).c_str(), 0755);
}

enum class Output {
    Errors,       // standard error alone goes to the file
    ErrorsAndOut, // standard output and standard error
};

// Runs args[0] (a path) with only the environment given and waits for it: its exit code,
// -1 when it could not be started or did not exit.
inline int runToEnd(std::vector<std::string> args, std::vector<std::string> env, const std::filesystem::path& file,
                    Output output)
{
    auto pointers = [](std::vector<std::string>& v) {
        std::vector<char*> p;
        for (auto& s : v)
            p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    auto argv = pointers(args);
    auto envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == Output::Errors) {
        posix_spawn_file_actions_addopen(&actions, 2, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0)
        ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testsupport
