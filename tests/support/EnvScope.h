#pragma once
// Environment variables set for one test and put back after it.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace km::test {

class EnvScope {
public:
    EnvScope() = default;
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;
    ~EnvScope() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace km::test
