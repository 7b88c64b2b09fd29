#include "cli/desktop_process.h"

#ifndef _WIN32

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace veltrun {

namespace {

// Owns the descriptors of a pipe and of /dev/null until the child has them.
class ScopedFd {
public:
    explicit ScopedFd(int fd = -1) : fd_(fd) {}
    ~ScopedFd() { Reset(); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// Owns the spawn file actions.
class FileActions {
public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_)
            posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool Ok() const { return ok_; }
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    bool ok_;
};

}  // namespace

std::optional<int> RunProgram(const std::vector<std::string>& args, std::string* output) {
    if (args.empty())
        return std::nullopt;
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    FileActions actions;
    ScopedFd readEnd, writeEnd;
    if (!actions.Ok() ||
        posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0) != 0)
        return std::nullopt;
    if (output != nullptr) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return std::nullopt;
        readEnd.Reset(fds[0]);
        writeEnd.Reset(fds[1]);
        if (posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), 1) != 0)
            return std::nullopt;
    }
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    writeEnd.Reset();
    if (output != nullptr) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = read(readEnd.Get(), buffer, sizeof(buffer));
            if (got > 0)
                output->append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                break;
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    // posix_spawnp reports a program it could not execute as exit status 127.
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return std::nullopt;
    return WEXITSTATUS(status);
}

bool ProgramExists(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace veltrun

#endif
