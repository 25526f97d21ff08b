// Replays a corpus directory and derived mutations through LLVMFuzzerTestOneInput.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void run(const std::vector<uint8_t>& input) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

void mutate(const std::vector<uint8_t>& seed, std::mt19937& rng, int rounds) {
    run({});
    for (size_t cut = 0; cut < seed.size(); cut += 1 + seed.size() / 64) {
        run(std::vector<uint8_t>(seed.begin(), seed.begin() + static_cast<long>(cut)));
    }
    for (int i = 0; i < rounds; ++i) {
        std::vector<uint8_t> m = seed;
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits && !m.empty(); ++e) {
            size_t at = rng() % m.size();
            switch (rng() % 4) {
            case 0: m[at] = static_cast<uint8_t>(rng()); break;
            case 1: m[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
            case 2: m.erase(m.begin() + static_cast<long>(at)); break;
            default: m.insert(m.begin() + static_cast<long>(at), static_cast<uint8_t>(rng())); break;
            }
        }
        run(m);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file())
                    files.push_back(e.path());
            }
        } else if (std::filesystem::exists(p)) {
            files.push_back(p);
        }
    }
    std::mt19937 rng(12345);
    mutate({}, rng, 200);
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
        mutate(data, rng, 2000);
    }
    std::printf("replayed %zu corpus files with mutations\n", files.size());
    return 0;
}
