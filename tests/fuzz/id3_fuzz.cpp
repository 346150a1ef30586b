// libFuzzer target for the tag texts of MP3 files: the ID3v2 text-frame reader, the conversions
// every ID3v1 and ID3v2 text goes through, and the answer line that carries them from the helper
// process to the program. The tag library itself runs apart in the helper and is not fuzzed here.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "tagline/id3v2textreader.h"
#include "tagline/mp3info.h"
#include "tagline/textencoding.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrow;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Names are built from these texts, so whatever a tag holds comes out as valid UTF-8.
    Id3v2TextReader reader;
    if (reader.Parse(input)) {
        check(reader.MajorVersion() == 3 || reader.MajorVersion() == 4);
        for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TDRC", "TCON", "TRCK", "TPE2", "TCOM"}) {
            if (auto text = reader.Text(id)) check(platform::IsValidUtf8(*text));
        }
    }
    check(platform::IsValidUtf8(DecodeId3Text(input)));
    const std::string eight = EightBitToUtf8(input);
    check(platform::IsValidUtf8(eight) && (eight == input || !platform::IsValidUtf8(input)));
    check(platform::IsValidUtf8(Utf16BytesToUtf8(input, true)));
    check(platform::IsValidUtf8(Utf16BytesToUtf8(input, false)));

    // The helper's answer line: whatever parses, written out again, parses to the same record.
    Mp3Info info;
    if (info.Parse(input)) {
        Mp3Info back;
        check(back.Parse(info.Serialize()) && back == info);
    }
    return 0;
}
