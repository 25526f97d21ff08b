// Extraction against cabextract in the same run: a stored and an MSZIP cabinet of ~40 MB
// (made here with the tests' writer), each extracted by both, best of five, ratio printed.
#include "CabTestSupport.h"
#include "archive/cab/CabReader.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

std::string Text(size_t size) {
    std::mt19937 rng(42);
    static const char* words[] = {"file ",  "manager ", "panel ", "cabinet ", "folder ",
                                  "block ", "window ",  "\n",     "copy ",    "extract "};
    std::string s;
    while (s.size() < size)
        s += words[rng() % 10];
    return s;
}

template <typename F> double Best(F run) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

} // namespace

int main() {
    km::test::TempDir dir;
    std::vector<km::test::CabMember> members;
    for (int i = 0; i < 8; ++i)
        members.push_back({"member" + std::to_string(i) + ".txt", Text(5u << 20)});
    for (bool mszip : {false, true}) {
        const std::string cab = dir.file(mszip ? "mszip.cab" : "stored.cab");
        km::test::WriteAll(cab, km::test::MakeCabinet(members, mszip));
        const std::string ours = dir.file("ours"), peer = dir.file("peer");
        const double tOurs = Best([&] {
            std::filesystem::remove_all(ours);
            std::filesystem::create_directory(ours);
            km::test::ScriptedSink sink;
            km::ArchiveExtractOptions options{ours, false, false};
            std::string error;
            if (km::cab::ExtractCabinet(cab, options, sink, error) != km::cab::kCabOk)
                std::fprintf(stderr, "extraction failed: %s\n", error.c_str());
        });
        const double tPeer = Best([&] {
            std::filesystem::remove_all(peer);
            std::filesystem::create_directory(peer);
            km::test::RunPeer({"cabextract", "-q", "-d", peer, cab});
        });
        std::printf("%-6s 40 MB: km %.3f s, cabextract %.3f s, ratio %.2f\n",
                    mszip ? "MSZIP" : "stored", tOurs, tPeer, tOurs / tPeer);
    }
    return 0;
}
