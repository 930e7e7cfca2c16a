#pragma once
// Starting a program from a test process that has threads running (a simulator, a monitor).
// Everything the child needs is made before it exists and posix_spawn does the rest: a child made
// by fork() that allocates, or touches the environment, before exec can wait for ever on a lock
// another thread held at the moment of the fork, and under the sanitizers now and then it does.
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kestrel::test {

struct SpawnOptions {
    // Set (a value) or removed (nullopt) in the child's environment; the rest is the test's own.
    std::map<std::string, std::optional<std::string>> Env;
    // Descriptors that become the child's 0, 1 and 2; -1 leaves the test's own.
    int In = -1, Out = -1, Err = -1;
    // Files opened for writing (created, emptied) as the child's 1 and 2, when not empty.
    std::string OutFile, ErrFile;
};

// The environment of this process with AChanges made, as "NAME=value" strings.
inline std::vector<std::string>
SpawnEnvironment(const std::map<std::string, std::optional<std::string>>& AChanges) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (!AChanges.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : AChanges)
        if (value) env.push_back(name + "=" + *value);
    return env;
}

// The child's pid, or -1 when it could not start (errno set). AProgram is looked up in PATH when it
// has no slash. Descriptors the test opened with O_CLOEXEC stay out of the child.
inline pid_t Spawn(const std::string& AProgram, const std::vector<std::string>& AArgs,
                   const SpawnOptions& AOptions = {}) {
    std::vector<std::string> args{AProgram};
    args.insert(args.end(), AArgs.begin(), AArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = SpawnEnvironment(AOptions.Env);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const auto redirect = [&](int AFrom, int ATo) {
        if (AFrom >= 0 && AFrom != ATo) posix_spawn_file_actions_adddup2(&actions, AFrom, ATo);
    };
    redirect(AOptions.In, 0);
    redirect(AOptions.Out, 1);
    redirect(AOptions.Err, 2);
    const int writing = O_WRONLY | O_CREAT | O_TRUNC;
    if (!AOptions.OutFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, AOptions.OutFile.c_str(), writing, 0644);
    if (!AOptions.ErrFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, AOptions.ErrFile.c_str(), writing, 0644);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, AProgram.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return pid;
}

} // namespace kestrel::test
