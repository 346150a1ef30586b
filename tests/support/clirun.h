// Runs the built kestrow-cli ($KESTROW_BIN) on fixtures in a temporary folder, capturing its output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace kestrow::test {

// Single-quoted for the shell.
inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string CliPath() {
    const char* bin = std::getenv("KESTROW_BIN");
    return std::string(bin ? bin : ".") + "/kestrow-cli";
}

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines;  // out, split at the line breaks
};

// Runs in tmp/lib with HOME and the config folder inside tmp and standard input from /dev/null
// (nobody to answer); `env` is put before the program as NAME=value words.
inline CliResult RunCli(const TempDir& tmp, const std::string& args, const std::string& env = "") {
    const std::string errFile = tmp / "stderr.txt";
    const std::string cmd = "cd " + Quote(tmp / "lib") + " && env HOME=" + Quote(tmp.path()) +
                            " XDG_CONFIG_HOME=" + Quote(tmp / "config") + " " + env + " " + Quote(CliPath()) +
                            " " + args + " </dev/null 2>" + Quote(errFile);
    CliResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int raw = ::pclose(p);
    // A signal shows as the shell shows it, 128 + the signal, whether or not a shell stood between.
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    r.err = ReadFile(errFile);
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

}  // namespace kestrow::test
