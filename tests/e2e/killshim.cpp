// Preloaded into kestrow-cli by the end-to-end tests: counts the calls that change names on disk
// (renames and unlinks) and kills the process just before call number KESTROW_KILL_AT, so that a
// test can stop a prepare between any two of its operations. With KESTROW_KILL_SIGNAL=INT the
// process is interrupted instead, as by Ctrl-C, and the call then goes ahead. KESTROW_KILL_ON_OPEN
// names a piece of a path: the first open of such a path sends the signal instead of a count.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <string_view>

namespace {

std::atomic<long> g_calls{0};

int Signal() {
    static const int signal = [] {
        const char* v = std::getenv("KESTROW_KILL_SIGNAL");
        return v && std::string_view(v) == "INT" ? SIGINT : SIGKILL;
    }();
    return signal;
}

void Tick() {
    static const long killAt = [] {
        const char* v = std::getenv("KESTROW_KILL_AT");
        return v ? std::atol(v) : 0L;
    }();
    if (killAt > 0 && ++g_calls == killAt) ::raise(Signal());
}

void Opening(const char* path) {
    static const char* piece = std::getenv("KESTROW_KILL_ON_OPEN");
    static std::atomic<bool> sent{false};
    if (piece && path && std::string_view(path).find(piece) != std::string_view::npos && !sent.exchange(true))
        ::raise(Signal());
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int rename(const char* from, const char* to) {
    Tick();
    static auto real = Next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

int unlink(const char* path) {
    Tick();
    static auto real = Next<int (*)(const char*)>("unlink");
    return real(path);
}

using OpenFunction = int (*)(const char*, int, ...);

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    Opening(path);
    static auto real = Next<OpenFunction>("open");
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    va_end(ap);
    Opening(path);
    static auto real = Next<OpenFunction>("open64");
    return real(path, flags, mode);
}

long syscall(long number, ...) {
    va_list ap;
    va_start(ap, number);
    long a[6];
    for (long& v : a) v = va_arg(ap, long);
    va_end(ap);
    if (number == SYS_renameat2) Tick();
    static auto real = Next<long (*)(long, ...)>("syscall");
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

}  // extern "C"
