// The MP3 information record: reading through the helper process and the line form that
// carries it between the two processes.
#include "tagline/mp3info.h"

#include <array>
#include <charconv>
#include <utility>

#include "tagline/mp3infohelper.h"

namespace kestrow {

namespace {

using TextMember = Mp3Info::Text Mp3Info::*;
using IntMember = int Mp3Info::*;
using BoolMember = bool Mp3Info::*;

constexpr std::array<std::pair<std::string_view, TextMember>, 16> kTexts = {{
    {"bitrateText", &Mp3Info::bitrateText},
    {"layerText", &Mp3Info::layerText},
    {"versionText", &Mp3Info::versionText},
    {"channelText", &Mp3Info::channelText},
    {"artist", &Mp3Info::artist},
    {"title", &Mp3Info::title},
    {"album", &Mp3Info::album},
    {"comment", &Mp3Info::comment},
    {"trackText", &Mp3Info::trackText},
    {"yearText", &Mp3Info::yearText},
    {"genre", &Mp3Info::genre},
    {"composer", &Mp3Info::composer},
    {"rightsNote", &Mp3Info::rightsNote},
    {"encodedBy", &Mp3Info::encodedBy},
    {"originalArtist", &Mp3Info::originalArtist},
    {"userUrl", &Mp3Info::userUrl},
}};

constexpr std::array<std::pair<std::string_view, IntMember>, 7> kInts = {{
    {"bitrate", &Mp3Info::bitrate},
    {"vbrBitrate", &Mp3Info::vbrBitrate},
    {"effectiveBitrate", &Mp3Info::effectiveBitrate},
    {"sampleRate", &Mp3Info::sampleRate},
    {"seconds", &Mp3Info::seconds},
    {"trackNumber", &Mp3Info::trackNumber},
    {"year", &Mp3Info::year},
}};

constexpr std::array<std::pair<std::string_view, BoolMember>, 4> kBools = {{
    {"hasLyrics", &Mp3Info::hasLyrics},
    {"hasV1Tag", &Mp3Info::hasV1Tag},
    {"hasV2Tag", &Mp3Info::hasV2Tag},
    {"valid", &Mp3Info::valid},
}};

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int LeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (negative || (i < text.size() && text[i] == '+')) ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF) return 0;  // not a track number or a year
    }
    return static_cast<int>(negative ? -value : value);
}

void Mp3Info::Reset() {
    *this = Mp3Info();
}

bool Mp3Info::Read(const std::string& filePath) {
    Reset();
    std::string answer;
    if (!Mp3InfoHelper::Instance().Query(filePath, answer) || !Parse(answer) || !valid) {
        Reset();
        return false;
    }
    path = filePath;
    return valid;
}

std::string Mp3Info::Serialize() const {
    std::string out = "path=" + EscapeField(path);
    auto add = [&out](std::string_view key, std::string_view value) {
        out += '\t';
        out += key;
        out += '=';
        out += EscapeField(value);
    };
    for (const auto& [key, member] : kBools) add(key, this->*member ? "1" : "0");
    add("fileSize", std::to_string(fileSize));
    for (const auto& [key, member] : kInts) add(key, std::to_string(this->*member));
    for (const auto& [key, member] : kTexts) {
        if (this->*member) add(key, *(this->*member));
    }
    return out;
}

bool Mp3Info::Parse(std::string_view line) {
    Reset();
    bool sawValid = false;
    while (!line.empty()) {
        std::size_t tab = line.find('\t');
        std::string_view field = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        std::size_t eq = field.find('=');
        if (eq == std::string_view::npos) return false;
        std::string_view key = field.substr(0, eq);
        std::string value = UnescapeField(field.substr(eq + 1));
        if (key == "path") {
            path = value;
        } else if (key == "fileSize") {
            if (!ParseNumber(value, fileSize)) return false;
        }
        for (const auto& [name, member] : kBools) {
            if (key == name) {
                this->*member = value == "1";
                sawValid = sawValid || key == "valid";
            }
        }
        for (const auto& [name, member] : kInts) {
            if (key == name && !ParseNumber(value, this->*member)) return false;
        }
        for (const auto& [name, member] : kTexts) {
            if (key == name) {
                this->*member = std::move(value);
                break;
            }
        }
    }
    return sawValid;
}

}  // namespace kestrow
