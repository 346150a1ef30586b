// libFuzzer target for the lists read from a release: the line reader with its fixed buffer, and
// the SFV and M3U parsers on top of it. The readers take files, so each input is written to a
// scratch file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "content/linereader.h"
#include "content/m3ulist.h"
#include "content/sfvlist.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

class Silent : public kestrow::platform::Questioner {
public:
    kestrow::platform::Answer Ask(const std::string&, const std::string&, kestrow::platform::Buttons,
                                  kestrow::platform::Icon) override {
        return kestrow::platform::Answer::Ok;
    }
};

// A plain array: the clean-up at exit must not outlive the name it removes.
char g_scratch[512];

const char* ScratchPath() {
    if (g_scratch[0] == '\0') {
        const char* dir = std::getenv("TMPDIR");
        std::snprintf(g_scratch, sizeof g_scratch, "%s/kestrow-fuzz-lists-%ld", dir && *dir ? dir : "/tmp",
                      static_cast<long>(::getpid()));
        std::atexit([] { ::unlink(g_scratch); });
    }
    return g_scratch;
}

std::vector<std::string> AllLines(kestrow::LineReader& reader) {
    std::vector<std::string> lines;
    std::string line;
    unsigned last = 0;
    while (unsigned n = reader.ReadLine(line)) {
        check(n > last && !line.empty());
        check(line.find_first_of("\r\n") == std::string::npos);
        last = n;
        lines.push_back(line);
    }
    check(line.empty());
    return lines;
}

// Every entry is found again by its own text, at its place or at an earlier entry of equal text.
template <typename List, typename Name>
void CheckLookups(const List& list, Name name) {
    for (std::size_t i = 0; i < list.EntryCount(); ++i) {
        const int found = list.FindEntry(name(i));
        check(found >= 0 && static_cast<std::size_t>(found) <= i &&
              name(static_cast<std::size_t>(found)) == name(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrow;
    if (size == 0) return 0;
    // The first byte picks the reader's buffer: tiny ones cut lines, the default one rarely does.
    const unsigned capacity = data[0] < 128 ? 2u + data[0] % 32u : LineReader::kDefaultCapacity;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    {
        std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        check(static_cast<bool>(out));
    }
    Silent silent;

    // Lines are the text without its break bytes, in order, none longer than the buffer allows.
    LineReader reader(capacity, &silent);
    check(reader.Open(ScratchPath()));
    const std::vector<std::string> lines = AllLines(reader);
    std::string joined;
    for (const std::string& l : lines) {
        check(l.size() < capacity);
        joined += l;
    }
    std::string expected = text;
    if (capacity >= 3 && expected.rfind("\xEF\xBB\xBF", 0) == 0) expected.erase(0, 3);
    std::erase_if(expected, [](char c) { return c == '\r' || c == '\n'; });
    check(joined == expected);
    reader.Close();

    const PathName path(ScratchPath(), false);
    SfvList sfv(path);
    std::string error;
    if (sfv.Load(&error, &silent)) {
        check(sfv.Loaded() && error.empty());
        CheckLookups(sfv, [&](std::size_t i) { return sfv.EntryName(i); });
        for (std::size_t i = 0; i < sfv.EntryCount(); ++i) {
            // A data line written back from an entry parses into the same name and CRC.
            const std::string line = sfv.EntryName(i) + " " + sfv.EntryCrc(i);
            const auto again = SfvList::ParseDataLine(TrimText(line));
            check(again && again->Text() == sfv.EntryName(i) && again->Crc() == sfv.EntryCrc(i));
        }
        if (sfv.EntryCount() > 1) {
            check(sfv.SetEntry(sfv.EntryName(0), std::nullopt, sfv.EntryCount() - 1));
            CheckLookups(sfv, [&](std::size_t i) { return sfv.EntryName(i); });
        }
    } else {
        check(!sfv.Loaded() && sfv.EntryCount() == 0 && !error.empty());
    }

    M3uList m3u(path);
    if (m3u.Load(&error, &silent)) {
        CheckLookups(m3u, [&](std::size_t i) { return m3u.EntryPath(i); });
        if (m3u.EntryCount() > 0) {
            check(m3u.AddEntry(m3u.EntryPath(m3u.EntryCount() - 1), 0));
            check(m3u.ReplaceEntry(m3u.EntryPath(0), m3u.EntryCount() - 1));
            CheckLookups(m3u, [&](std::size_t i) { return m3u.EntryPath(i); });
        }
    } else {
        check(!m3u.Loaded() && m3u.EntryCount() == 0 && m3u.CommentCount() == 0);
    }
    return 0;
}
