#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::string& program,
                                                  const std::vector<std::string>& argv,
                                                  std::string* error) {
    int pipeEnds[2];
    // Close-on-exec, so that no other child inherits this one's pipe and keeps it open.
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);

    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = 0;
    const int failed =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        *error = std::strerror(failed);
        return nullptr;
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pipeEnds[0]));
}

ChildProcess::~ChildProcess() {
    if (!ended_) kill();
    closePipe();
}

void ChildProcess::closePipe() {
    if (errorPipe_ >= 0) close(errorPipe_);
    errorPipe_ = -1;
}

void ChildProcess::readError() {
    if (errorPipe_ < 0) return;
    char buffer[4096];
    const ssize_t n = read(errorPipe_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        closePipe();
        return;
    }
    // Beyond the limit the text is read and dropped, so that a chatty child never blocks on a
    // full pipe.
    const size_t room = kMaxErrorText - std::min(kMaxErrorText, errorText_.size());
    errorText_.append(buffer, std::min(room, size_t(n)));
}

bool ChildProcess::poll() {
    if (ended_) return true;
    const pid_t waited = waitpid(pid_, &status_, WNOHANG);
    if (waited == pid_) ended_ = true;
    if (waited < 0 && errno == ECHILD) {  // reaped elsewhere: nothing is known of its end
        status_ = 127 << 8;
        ended_ = true;
    }
    return ended_;
}

void ChildProcess::kill() {
    if (ended_) return;
    ::kill(pid_, SIGKILL);
    while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    ended_ = true;
}
