// CRC-32 throughput: each kernel and zlib's crc32() on in-memory buffers, and the streaming
// file CRC of the integrity check on a cached file.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "content/integrity.h"

namespace {

const std::vector<unsigned char>& Buffer(std::size_t size) {
    static std::vector<unsigned char> data;
    if (data.size() < size) {
        std::mt19937_64 rng(42);
        data.resize(size);
        for (auto& b : data) b = static_cast<unsigned char>(rng());
    }
    return data;
}

void BM_Kernel(benchmark::State& state, kestrow::Crc32Kernel kernel) {
    if (!kestrow::Crc32KernelAvailable(kernel)) {
        state.SkipWithError("kernel not supported on this CPU");
        return;
    }
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto& data = Buffer(size);
    for (auto _ : state) benchmark::DoNotOptimize(kestrow::Crc32With(kernel, 0, data.data(), size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Zlib(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto& data = Buffer(size);
    for (auto _ : state) benchmark::DoNotOptimize(crc32_z(0, data.data(), size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// A file of the given size in the temporary folder, kept for the run and removed at exit.
std::string TestFile(std::size_t size) {
    static std::string path;
    static std::size_t written = 0;
    if (written != size) {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp ? tmp : "/tmp") + "/kestrow_crc_bench_" + std::to_string(::getpid()) + ".bin";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return {};
        const auto& data = Buffer(std::size_t{64} << 20);
        for (std::size_t done = 0; done < size;) {
            std::size_t n = std::min(size - done, data.size());
            std::fwrite(data.data(), 1, n, f);
            done += n;
        }
        std::fclose(f);
        written = size;
        std::atexit([] { std::remove(path.c_str()); });
    }
    return path;
}

void BM_FileCrc(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string path = TestFile(size);
    std::uint32_t crc = 0;
    if (path.empty() || !kestrow::FileCrc32(path, crc)) {
        state.SkipWithError("cannot write the test file");
        return;
    }
    for (auto _ : state) {
        kestrow::FileCrc32(path, crc);
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.SetLabel(kestrow::Crc32KernelName(kestrow::Crc32ActiveKernel()));
}

constexpr std::int64_t k64K = 64 << 10;
constexpr std::int64_t k1M = 1 << 20;
constexpr std::int64_t k64M = 64 << 20;

BENCHMARK_CAPTURE(BM_Kernel, slice_by_8, kestrow::Crc32Kernel::SliceBy8)->Arg(k64K)->Arg(k1M)->Arg(k64M);
BENCHMARK_CAPTURE(BM_Kernel, pclmulqdq, kestrow::Crc32Kernel::Pclmul)->Arg(k64K)->Arg(k1M)->Arg(k64M);
BENCHMARK_CAPTURE(BM_Kernel, vpclmulqdq_avx512, kestrow::Crc32Kernel::Vpclmul)
    ->Arg(k64K)
    ->Arg(k1M)
    ->Arg(k64M);
BENCHMARK(BM_Zlib)->Arg(k64K)->Arg(k1M)->Arg(k64M);
BENCHMARK(BM_FileCrc)->Arg(std::int64_t{1} << 30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
