#pragma once
// Incompressible test data that is the same in every run for one seed.
#include <cstddef>
#include <random>
#include <string>

namespace km::test {

inline std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

} // namespace km::test
