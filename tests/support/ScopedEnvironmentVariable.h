#pragma once
// Sets (or unsets) an environment variable for the life of the object, then restores what was
// there. For single-threaded test bodies: the environment is process-wide and not locked.

#include <cstdlib>
#include <optional>
#include <string>

namespace test {

class ScopedEnvironmentVariable {
  public:
    // `value` none unsets the variable.
    ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) old_ = old;
        if (value)
            setenv(name_.c_str(), value->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ~ScopedEnvironmentVariable() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace test
