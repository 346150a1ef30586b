// CRC-32 (the polynomial of zlib, SFV files and the packed-data header).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrow {

// Continues a CRC-32 over more bytes: Crc32(Crc32(0, a), b) == Crc32(0, a + b), as zlib's crc32().
// The fastest kernel the CPU supports is picked once, at the first call.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t len);

// The individual kernels, for tests and benchmarks. Every kernel computes the same value.
enum class Crc32Kernel {
    SliceBy8,  // portable table-driven kernel, eight bytes per step
    Pclmul,    // carry-less-multiply folding, 128-bit lanes (x86-64 with PCLMULQDQ)
    Vpclmul,   // the same folding over 512-bit registers (x86-64 with AVX-512 and VPCLMULQDQ)
};

// Whether this CPU (and build) can run the kernel.
bool Crc32KernelAvailable(Crc32Kernel kernel);
// The kernel Crc32() uses.
Crc32Kernel Crc32ActiveKernel();
const char* Crc32KernelName(Crc32Kernel kernel);
// Runs one kernel; it must be available.
std::uint32_t Crc32With(Crc32Kernel kernel, std::uint32_t crc, const void* data, std::size_t len);

}  // namespace kestrow
