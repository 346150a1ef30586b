// Writes fuzzing seeds for aplib_fuzz: a file packed as a bare stream (behind the byte that picks
// the output limit) and as a safe block, or, with --hand DIR, the tests' hand-built streams.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backup/aplib.h"
#include "tests/backup/aplibstreams.h"

namespace {

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrow::aplib;
    if (argc != 3) {
        std::fprintf(stderr, "usage: aplib_seedgen IN OUTPREFIX | --hand DIR\n");
        return 2;
    }
    const std::string arg1 = argv[1];
    const std::string arg2 = argv[2];
    if (arg1 == "--hand") {
        for (const auto& h : kestrow::test::ValidHandStreams()) {
            std::vector<std::uint8_t> seed{16};
            seed.insert(seed.end(), h.stream.begin(), h.stream.end());
            if (!writeFile(arg2 + "/hand_" + h.name, seed)) return 1;
        }
        return 0;
    }
    std::ifstream in(arg1, std::ios::binary);
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 2) return 0;
    std::vector<std::uint8_t> work(workMemorySize());
    std::vector<std::uint8_t> out(maxPackedSize(data.size()) + kSafeHeaderSize);
    std::size_t n = pack(data.data(), out.data() + 1, data.size(), work.data());
    if (n == 0) return 1;
    out[0] = 16;
    if (!writeFile(arg2 + ".raw", std::vector<std::uint8_t>(out.begin(), out.begin() + 1 + n))) return 1;
    n = packSafe(data.data(), data.size(), out.data(), work.data());
    if (n == 0) return 1;
    return writeFile(arg2 + ".safe", std::vector<std::uint8_t>(out.begin(), out.begin() + n)) ? 0 : 1;
}
