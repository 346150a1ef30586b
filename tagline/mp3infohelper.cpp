// Starting, feeding and supervising the helper process over a socket pair.
#include "tagline/mp3infohelper.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace kestrow {

namespace {

constexpr const char* kHelperName = "kestrow-mp3info";

std::string SelfDirectory() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    buffer.resize(static_cast<std::size_t>(n));
    std::size_t slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string() : buffer.substr(0, slash + 1);
}

}  // namespace

std::string DefaultMp3InfoHelperPath() {
    // Installed, the helper lives in libexec beside bin; the build tree keeps the same layout.
    return SelfDirectory() + KESTROW_HELPER_FROM_BIN "/" + kHelperName;
}

namespace {}  // namespace

std::string EscapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string UnescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        char c = text[++i];
        out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    }
    return out;
}

Mp3InfoHelper& Mp3InfoHelper::Instance() {
    static Mp3InfoHelper helper;
    return helper;
}

Mp3InfoHelper::~Mp3InfoHelper() {
    StopLocked();
}

void Mp3InfoHelper::SetTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(m_mutex);
    m_timeout = timeout;
}

void Mp3InfoHelper::SetExecutable(std::string path) {
    std::lock_guard lock(m_mutex);
    m_executable = std::move(path);
}

void Mp3InfoHelper::Stop() {
    std::lock_guard lock(m_mutex);
    StopLocked();
}

int Mp3InfoHelper::StartCount() const {
    std::lock_guard lock(m_mutex);
    return m_startCount;
}

pid_t Mp3InfoHelper::Pid() const {
    std::lock_guard lock(m_mutex);
    return m_pid;
}

std::string Mp3InfoHelper::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::string Mp3InfoHelper::ExecutableLocked() const {
    if (!m_executable.empty()) return m_executable;
    if (const char* env = std::getenv("KESTROW_MP3INFO"); env && *env) return env;
    return DefaultMp3InfoHelperPath();
}

bool Mp3InfoHelper::StartLocked() {
    StopLocked();
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        m_lastError = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    std::string exe = ExecutableLocked();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    // The library's complaints about damaged tags are of no use on the program's console.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* argv[] = {exe.data(), nullptr};
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        m_lastError = "cannot start " + exe + ": " + std::strerror(rc);
        if (!m_warned) {
            // Without the helper every tagline would silently show no genre, year or rate.
            std::fprintf(stderr, "kestrow: %s\n", m_lastError.c_str());
            m_warned = true;
        }
        return false;
    }
    m_pid = pid;
    m_fd = fds[0];
    m_pending.clear();
    m_lastError.clear();
    m_answered = 0;
    ++m_startCount;
    return true;
}

void Mp3InfoHelper::StopLocked() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_pid > 0) {
        // Idle, it would leave on end of input; a hung one would not, so it is not asked.
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    m_pending.clear();
}

bool Mp3InfoHelper::SendLocked(const std::string& line) {
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::send(m_fd, line.data() + done, line.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Mp3InfoHelper::ReadResult Mp3InfoHelper::ReadAnswerLocked(std::string& answer) {
    auto deadline = std::chrono::steady_clock::now() + m_timeout;
    for (;;) {
        std::size_t nl = m_pending.find('\n');
        if (nl != std::string::npos) {
            answer = m_pending.substr(0, nl);
            m_pending.erase(0, nl + 1);
            ++m_answered;
            return ReadResult::Answer;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) return ReadResult::TimedOut;
        pollfd pfd{m_fd, POLLIN, 0};
        int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return ReadResult::Died;
        if (ready == 0) return ReadResult::TimedOut;
        char buffer[4096];
        ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ReadResult::Died;
        m_pending.append(buffer, static_cast<std::size_t>(n));
    }
}

bool Mp3InfoHelper::Query(const std::string& path, std::string& answer) {
    std::lock_guard lock(m_mutex);
    answer.clear();
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;  // died while idle; already reaped
        StopLocked();
    }
    std::string line = EscapeField(path) + "\n";
    // A helper that had answered before and dies on this file may have died of something else
    // (killed from outside): the file gets one more try on a fresh helper. A fresh helper that
    // dies, or any helper that hangs, has failed on this file, which then counts as unreadable.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_pid <= 0 && !StartLocked()) return false;
        bool seasoned = m_answered > 0;
        ReadResult result = SendLocked(line) ? ReadAnswerLocked(answer) : ReadResult::Died;
        if (result == ReadResult::Answer) return true;
        StopLocked();
        answer.clear();
        if (result == ReadResult::TimedOut || !seasoned) return false;
    }
    return false;
}

}  // namespace kestrow
