// kestrow-mp3info: reads MP3 files for the program, one escaped path per input line, one answer
// line per file. Runs apart from the program because the tag library crashes on some tags.
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tagline/id3reader.h"
#include "tagline/mp3info.h"
#include "tagline/mp3infohelper.h"

namespace {

// A file the library hangs on ends this process even when nobody is left to kill it.
constexpr unsigned kSelfTimeoutSeconds = 120;

void LimitResources() {
    rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);  // a crash must not leave a core file in a release folder
#ifndef KESTROW_SANITIZED
    // Damaged sizes in a tag must not eat the machine. The address sanitizer reserves terabytes of
    // shadow address space up front, so under it the cap would stop the helper before it starts.
    rlimit memory{1024ul * 1024 * 1024, 1024ul * 1024 * 1024};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("kestrow-mp3info %s\n", KESTROW_VERSION);
        return 0;
    }
    LimitResources();
    std::ios::sync_with_stdio(false);
    // Tests prove that the program survives a hang; real files cannot be made to hang on demand.
    const char* hangEnv = std::getenv("KESTROW_MP3INFO_TEST_HANG");
    std::string hangSuffix = hangEnv ? hangEnv : "";

    std::string line;
    kestrow::Id3Reader reader;
    while (std::getline(std::cin, line)) {
        std::string path = kestrow::UnescapeField(line);
        ::alarm(kSelfTimeoutSeconds);
        if (!hangSuffix.empty() && EndsWith(path, hangSuffix)) {
            for (;;) ::pause();
        }
        kestrow::Mp3Info info;
        reader.Read(path, info);
        std::cout << info.Serialize() << '\n' << std::flush;
        ::alarm(0);
    }
    return 0;
}
