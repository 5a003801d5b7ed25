#pragma once
// A program run in a process of its own (posix_spawn: safe in a process with threads, unlike a bare
// fork), its standard input from /dev/null, its standard error captured through a pipe.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

class ChildProcess {
  public:
    // Starts `program` with `argv` (argv[0] included); null with `error` set when it cannot start.
    static std::unique_ptr<ChildProcess> spawn(const std::string& program,
                                               const std::vector<std::string>& argv,
                                               std::string* error);
    // Kills and reaps a child that is still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The read end of the standard error pipe; -1 once it reached its end.
    int errorPipe() const { return errorPipe_; }
    // Reads what the pipe holds now (keeping the first kMaxErrorText bytes); closes it at its end.
    void readError();
    const std::string& errorText() const { return errorText_; }

    // Whether the child has ended (reaped without blocking); its wait status is then status().
    bool poll();
    int status() const { return status_; }
    // SIGKILL, then waits for the end.
    void kill();

    static constexpr size_t kMaxErrorText = 4096;

  private:
    ChildProcess(pid_t pid, int errorPipe) : pid_(pid), errorPipe_(errorPipe) {}
    void closePipe();

    pid_t pid_;
    int errorPipe_;
    bool ended_ = false;
    int status_ = 0;
    std::string errorText_;
};
