#pragma once
// Sets an environment variable for the life of a scope (the process and the
// children it starts meanwhile see it) and puts back what was there.
#include <optional>
#include <string>

namespace hvtest {

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace hvtest
