// libFuzzer target for the settings reader: the file text as the private-profile accessor holds it,
// the options read from it, and edits written back into it.
#include <cstdint>
#include <string>

#include "platform/text.h"
#include "settings/csettingsfile.h"
#include "settings/options.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrow;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CSettingsFile file;
    file.SetContent(text);
    // Holding a text is stable: what is written out reads back to the same text.
    const std::string once = file.Serialize();
    CSettingsFile again;
    again.SetContent(once);
    check(again.Serialize() == once);

    ProcessOptions options;
    ReadOptions(file, options);

    // Every section the text names, with each of its keys read back within the value limit.
    for (const std::string& section : {std::string("GENERAL"), std::string("GTAGS")}) {
        for (const std::string& line : file.ReadSectionLines(section)) {
            const std::string key = line.substr(0, line.find('='));
            check(platform::CharCount(file.ReadString(key, section)) <= CSettingsFile::kMaxValueChars);
            (void)file.ReadInt(key, section);
        }
        (void)file.ReadSectionMap(section);
    }

    // Edits keep the lines they do not own and read back as written.
    WriteOptions(file, options);
    if (file.WriteString("on", "FuzzKey", "GENERAL")) check(file.ReadString("FuzzKey", "GENERAL") == "on");
    check(file.WriteString("2", "Extra", "Fuzz Section"));
    check(file.ReadInt("Extra", "Fuzz Section") == 2 && file.SectionExists("fuzz section"));
    ProcessOptions reread;
    CSettingsFile written;
    written.SetContent(file.Serialize());
    ReadOptions(written, reread);
    // The round trip holds for values the format carries as they are: a value that stands in
    // quotes loses them on every read and edge blanks or NUL bytes are trimmed, as the Windows
    // functions do; an empty prefix reads back as the default one.
    auto plain = [](const std::string& v) {
        const bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
        return !v.empty() && !quoted && v.find('\0') == std::string::npos && v.front() > ' ' &&
               v.back() > ' ';
    };
    if (plain(options.lastDir)) check(reread.lastDir == options.lastDir);
    if (plain(options.TaglinePrefix)) check(reread.TaglinePrefix == options.TaglinePrefix);
    return 0;
}
