// kestrow-aplib: packs and unpacks files in the backup data's packed format, for benchmarks and
// for looking into stored data by hand.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "backup/aplib.h"
#include "platform/fs.h"

namespace {

// Bare streams carry no size; they may expand a lot, but a broken one must not eat the machine.
constexpr std::size_t kRawOutputLimit = std::size_t{1} << 30;
constexpr std::uint64_t kInputLimit = std::uint64_t{1} << 30;

constexpr const char* kUsage =
    "usage: kestrow-aplib pack|unpack [--raw] IN OUT\n"
    "       kestrow-aplib --help|--version\n"
    "  pack      write a safe block (header with sizes and CRC-32), or a bare stream with --raw\n"
    "  unpack    read a safe block, or a bare stream up to its end marker with --raw\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

const char* statusText(kestrow::aplib::UnpackStatus s) {
    using kestrow::aplib::UnpackStatus;
    switch (s) {
        case UnpackStatus::Ok:
            return "ok";
        case UnpackStatus::InputEnded:
            return "the stream ends before its end marker";
        case UnpackStatus::OutputFull:
            return "the output exceeds the limit";
        case UnpackStatus::BadReference:
            return "a back-reference points outside the output";
        case UnpackStatus::GammaTooLong:
            return "a number in the stream is too long";
    }
    return "unknown";
}

int packFile(const std::string& in, bool raw, std::string& out) {
    std::vector<unsigned char> work(kestrow::aplib::workMemorySize());
    out.resize(kestrow::aplib::maxPackedSize(in.size()) + kestrow::aplib::kSafeHeaderSize);
    std::size_t n = raw ? kestrow::aplib::pack(in.data(), out.data(), in.size(), work.data())
                        : kestrow::aplib::packSafe(in.data(), in.size(), out.data(), work.data());
    if (n == 0) {
        std::fprintf(stderr, "kestrow-aplib: cannot pack %zu bytes (at least 2 needed)\n", in.size());
        return 1;
    }
    out.resize(n);
    return 0;
}

int unpackFile(const std::string& in, bool raw, std::string& out) {
    if (!raw) {
        std::size_t size = kestrow::aplib::originalSizeSafe(in.data(), in.size());
        if (size == 0) {
            std::fprintf(stderr, "kestrow-aplib: not a valid packed block (tag, sizes or packed CRC)\n");
            return 1;
        }
        out.resize(size);
        if (kestrow::aplib::unpackSafe(in.data(), in.size(), out.data(), out.size()) != size) {
            std::fprintf(stderr, "kestrow-aplib: the block does not unpack to its original size and CRC\n");
            return 1;
        }
        return 0;
    }
    // A bare stream carries no size: it is measured first, so the output is allocated once, at
    // the size the stream proves, and a broken or absurd stream allocates nothing.
    auto measured = kestrow::aplib::measureRaw(in.data(), in.size(), kRawOutputLimit);
    if (measured.status != kestrow::aplib::UnpackStatus::Ok) {
        std::fprintf(stderr, "kestrow-aplib: broken stream at byte %zu: %s\n", measured.consumed,
                     statusText(measured.status));
        return 1;
    }
    out.resize(measured.written);
    auto r = kestrow::aplib::unpackRaw(in.data(), in.size(), out.data(), out.size());
    if (r.status != kestrow::aplib::UnpackStatus::Ok) {
        std::fprintf(stderr, "kestrow-aplib: broken stream at byte %zu: %s\n", r.consumed,
                     statusText(r.status));
        return 1;
    }
    if (r.consumed < in.size())
        std::fprintf(stderr, "kestrow-aplib: note: %zu bytes after the end marker ignored\n",
                     in.size() - r.consumed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("kestrow-aplib %s\n", KESTROW_VERSION);
        return 0;
    }
    bool raw = false;
    std::vector<std::string> rest;
    for (const auto& a : args) {
        if (a == "--raw")
            raw = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 3 || (rest[0] != "pack" && rest[0] != "unpack")) return usage();
    std::string input;
    if (auto s = kestrow::platform::ReadWholeFile(rest[1], input, kInputLimit); !s.ok()) {
        std::fprintf(stderr, "kestrow-aplib: cannot read %s: %s\n", rest[1].c_str(), s.message().c_str());
        return 1;
    }
    std::string output;
    int rc = rest[0] == "pack" ? packFile(input, raw, output) : unpackFile(input, raw, output);
    if (rc != 0) return rc;
    if (auto s = kestrow::platform::WriteFileAtomic(rest[2], output); !s.ok()) {
        std::fprintf(stderr, "kestrow-aplib: cannot write %s: %s\n", rest[2].c_str(), s.message().c_str());
        return 1;
    }
    return 0;
}
