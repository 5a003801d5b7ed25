#include "Batch.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <list>

#include "ChildProcess.h"
#include "HostPolicy.h"
#include "OutputNames.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a child whose error pipe has closed is checked for its end.
constexpr auto kReapInterval = std::chrono::milliseconds(10);
constexpr int kMaxDefaultJobs = 8;
// Back to the start of the line, and the line erased.
constexpr const char* kClearLine = "\r\033[K";

// How one file went: the lines to report (may be empty) and whether it was written.
struct Outcome {
    bool written;
    std::string report;
};

struct Running {
    size_t index;
    std::unique_ptr<ChildProcess> child;
    Clock::time_point deadline;
};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

class BatchRun {
  public:
    explicit BatchRun(const RenderCommandLine& commandLine)
        : c_(commandLine),
          names_(uniqueOutputNames(commandLine.files, extensionOf(commandLine.format))),
          generator_(generatorPlugInPath(commandLine.generator)),
          jobs_(commandLine.jobs > 0
                    ? commandLine.jobs
                    : std::clamp(int(sysconf(_SC_NPROCESSORS_ONLN)), 1, kMaxDefaultJobs)),
          timeout_(std::chrono::duration_cast<Clock::duration>(
              std::chrono::duration<double>(commandLine.timeoutSeconds))),
          progress_(isatty(STDERR_FILENO) == 1) {}

    int run() {
        size_t next = 0;
        while (next < c_.files.size() || !running_.empty()) {
            while (running_.size() < size_t(jobs_) && next < c_.files.size()) start(next++);
            if (!running_.empty()) waitForEvents();
        }
        summarise();
        return failures_ == 0 ? 0 : 1;
    }

  private:
    // The single-file command for file `index` (RenderCommand.h).
    std::vector<std::string> childArguments(size_t index) const {
        const auto output = std::filesystem::path(c_.outputDirectory) / names_[index];
        std::vector<std::string> argv{"vantler-ql",    commandName(c_.kind), "-o",
                                      output.string(), "--generator",        generator_};
        // A scale is for PNG output; the single-file command refuses it with a page.
        if (c_.format == QLOutputFormat::PNG)
            argv.insert(argv.end(), {"--scale", number(c_.scale)});
        if (c_.size) argv.insert(argv.end(), {"--size", std::to_string(*c_.size)});
        argv.insert(argv.end(), {"--", c_.files[index]});
        return argv;
    }

    void start(size_t index) {
        std::string error;
        // /proc/self/exe: this very program, wherever it was started from.
        auto child = ChildProcess::spawn("/proc/self/exe", childArguments(index), &error);
        if (!child) return finish(index, {false, failure(index, "cannot start: " + error)});
        const bool deadline = c_.timeoutSeconds > 0;  // --timeout 0: none
        running_.push_back({index, std::move(child),
                            deadline ? Clock::now() + timeout_ : Clock::time_point::max()});
    }

    void waitForEvents() {
        std::vector<pollfd> fds;
        auto wake = Clock::time_point::max();
        for (const auto& r : running_) {
            wake = std::min(wake, r.deadline);
            if (r.child->errorPipe() >= 0)
                fds.push_back({r.child->errorPipe(), POLLIN, 0});
            else
                wake = std::min(wake, Clock::now() + kReapInterval);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now());
        ::poll(fds.data(), fds.size(), int(std::clamp<int64_t>(wait.count(), 0, 60'000)));

        for (const auto& fd : fds)
            if (fd.revents != 0)
                for (auto& r : running_)
                    if (r.child->errorPipe() == fd.fd) r.child->readError();

        const auto now = Clock::now();
        for (auto it = running_.begin(); it != running_.end();) {
            ChildProcess& child = *it->child;
            if (child.poll()) {
                while (child.errorPipe() >= 0) child.readError();  // what it wrote before its end
                finish(it->index, outcome(it->index, child));
            } else if (now >= it->deadline) {
                child.kill();
                finish(it->index,
                       {false, failure(it->index,
                                       "timed out after " + seconds(c_.timeoutSeconds) + " s")});
            } else {
                ++it;
                continue;
            }
            it = running_.erase(it);
        }
    }

    std::string failure(size_t index, const std::string& reason) const {
        return "vantler-ql: " + c_.files[index] + ": " + reason;
    }

    // How a child ended: its own report (RenderCommand.h prints one line), or what its wait status
    // says when it could not report.
    Outcome outcome(size_t index, const ChildProcess& child) const {
        const int status = child.status();
        std::string text = child.errorText();
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (WIFSIGNALED(status))
            return {false,
                    failure(index, "crashed (signal " + std::to_string(WTERMSIG(status)) + ")")};
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {true, text};
        if (!text.empty()) return {false, text};
        return {false,
                failure(index, "failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")")};
    }

    // On a terminal one progress line is redrawn in place; a failure's line is printed above it.
    void finish(size_t index, const Outcome& outcome) {
        ++done_;
        if (!outcome.written) ++failures_;
        if (progress_) std::fputs(kClearLine, stderr);
        if (!outcome.report.empty()) std::fprintf(stderr, "%s\n", outcome.report.c_str());
        if (progress_)
            std::fprintf(stderr, "[%zu/%zu] %s", done_, c_.files.size(),
                         std::filesystem::path(c_.files[index]).filename().c_str());
    }

    void summarise() const {
        if (progress_)
            std::fprintf(stderr, "%s%zu written, %zu failed\n", kClearLine, done_ - failures_,
                         failures_);
    }

    const RenderCommandLine& c_;
    const std::vector<std::string> names_;
    const std::string generator_;
    const int jobs_;
    const Clock::duration timeout_;
    const bool progress_;
    std::list<Running> running_;
    size_t done_ = 0;
    size_t failures_ = 0;
};

}  // namespace

int runBatch(const RenderCommandLine& commandLine) {
    std::error_code error;
    std::filesystem::create_directories(commandLine.outputDirectory, error);
    if (error || !std::filesystem::is_directory(commandLine.outputDirectory)) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", commandLine.outputDirectory.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return 1;
    }
    return BatchRun(commandLine).run();
}
