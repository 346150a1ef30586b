// The program's side of the helper process "kestrow-mp3info", which runs the tag library on one
// file at a time: a file that crashes or hangs the library takes only the helper down.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

namespace kestrow {

// Each request is one line (the escaped path) and each answer one line (Mp3Info::Serialize).
// The helper is started on first use, restarted after it died, and killed when it does not
// answer within the time-out.
class Mp3InfoHelper {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    // The process-wide helper; safe to use from any thread (requests are serialised).
    static Mp3InfoHelper& Instance();

    Mp3InfoHelper() = default;
    ~Mp3InfoHelper();
    Mp3InfoHelper(const Mp3InfoHelper&) = delete;
    Mp3InfoHelper& operator=(const Mp3InfoHelper&) = delete;

    // The answer line for one file; false when the helper could not be started, died on the
    // file or did not answer in time.
    bool Query(const std::string& path, std::string& answer);

    void SetTimeout(std::chrono::milliseconds timeout);
    // The helper program; empty (the default) means $KESTROW_MP3INFO, else
    // DefaultMp3InfoHelperPath().
    void SetExecutable(std::string path);
    // Ends the helper; the next query starts a new one.
    void Stop();

    // How many helper processes were started so far, and the running one's id (-1 if none).
    int StartCount() const;
    pid_t Pid() const;
    // Why the last start failed, empty when it did not.
    std::string LastError() const;

private:
    bool StartLocked();
    void StopLocked();
    bool SendLocked(const std::string& line);
    enum class ReadResult { Answer, Died, TimedOut };
    ReadResult ReadAnswerLocked(std::string& answer);
    std::string ExecutableLocked() const;

    mutable std::mutex m_mutex;
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_pending;  // bytes read past the last answer
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    std::string m_executable;
    int m_startCount = 0;
    int m_answered = 0;  // answers of the running helper
    std::string m_lastError;
    bool m_warned = false;
};

// "kestrow-mp3info" in the helper folder found from the running executable's folder
// (../libexec/kestrow/ in the usual layout), so that it is found under any prefix.
std::string DefaultMp3InfoHelperPath();

// Escapes tab, CR, LF and backslash so that any byte string fits in one field of a line.
std::string EscapeField(std::string_view text);
std::string UnescapeField(std::string_view text);

}  // namespace kestrow
