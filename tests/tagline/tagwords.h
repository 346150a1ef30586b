// ID3v2 tags written in a table row of tests/data (shared by the tag reader tests).
#pragma once

#include <string>
#include <vector>

#include "tests/support/golden.h"
#include "tests/support/mp3builder.h"

namespace kestrow::test {

// A tag written as a table row shows it: the major version, then one word per frame in order,
// ID=TEXT (Latin-1 bytes as given), ID:utf8=TEXT, ID!=BYTES (the frame's data as it is), COMM=TEXT
// and WXXX=URL; words are unescaped as test::Unescape does. No words give no tag.
inline std::string Id3v2FromWords(const std::string& description) {
    const std::vector<std::string> words = Words(description);
    if (words.empty()) return {};
    Id3v2Builder tag(std::stoi(words[0]));
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::size_t eq = words[i].find('=');
        const std::string id = words[i].substr(0, 4), how = words[i].substr(4, eq - 4);
        const std::string text = Unescape(words[i].substr(eq + 1));
        if (id == "COMM")
            tag.Comment(text);
        else if (id == "WXXX")
            tag.UserUrl(text);
        else if (how == "!")
            tag.Raw(id, text);
        else
            tag.Text(id, text, how == ":utf8" ? TextEncoding::Utf8 : TextEncoding::Latin1);
    }
    return tag.Bytes();
}

}  // namespace kestrow::test
