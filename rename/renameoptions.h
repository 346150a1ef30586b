// The renaming options of a prepare pass as one set of bits: built from the settings by the
// check/prepare driver and handed to the name rules through the directory's plan.
#pragma once

#include <cstdint>

namespace kestrow {

enum class RenameOption : std::uint32_t {
    PreserveGrptag = 0x1,
    PreserveRlsyear = 0x2,  // set: keep the year before the tag (the setting's value 0)
    PreserveVAtag = 0x4,
    PreserveVAtagException1 = 0x8,
    StripVAtagDirs = 0x10,
    ReplaceDots = 0x20,
    StripTHEtagDirs = 0x40,
    StripTHEtagDirsMove = 0x80,
    StripTHEtagDirsMoveAddBrackets = 0x100,
    RemoveDotsInDirs = 0x200,
    RemoveDotsInDirsFrontOnly = 0x400,
};

// The longest name the rules ever aim for; also the maximum when truncation is off.
inline constexpr int kLongestName = 256;

// A maximum of 0 or below, or above the longest name, means the longest name.
constexpr int ClampNameMaximum(int maximum) {
    return maximum <= 0 || maximum > kLongestName ? kLongestName : maximum;
}

// The maximum the planner hands to the name rules.
constexpr int NameMaximum(bool truncate, int truncateMaxChars) {
    return truncate ? ClampNameMaximum(truncateMaxChars) : kLongestName;
}

class RenameOptions {
public:
    constexpr RenameOptions() = default;
    constexpr explicit RenameOptions(std::uint32_t bits) : m_bits(bits) {}

    constexpr bool Has(RenameOption o) const { return (m_bits & static_cast<std::uint32_t>(o)) != 0; }
    constexpr RenameOptions& Set(RenameOption o, bool on = true) {
        if (on)
            m_bits |= static_cast<std::uint32_t>(o);
        else
            m_bits &= ~static_cast<std::uint32_t>(o);
        return *this;
    }
    constexpr std::uint32_t Bits() const { return m_bits; }
    constexpr bool operator==(const RenameOptions&) const = default;

    // Options is any record whose fields carry the settings keys' names (ProcessOptions). The
    // truncation options only count while truncation itself is on.
    template <class Options>
    static constexpr RenameOptions FromSettings(const Options& o) {
        RenameOptions r;
        const bool truncate = o.Truncate != 0;
        r.Set(RenameOption::PreserveGrptag, truncate && o.preserveGrptag != 0);
        r.Set(RenameOption::PreserveRlsyear, truncate && o.preserveRlsyear == 0);
        r.Set(RenameOption::PreserveVAtag, truncate && o.preserveVAtag != 0);
        r.Set(RenameOption::PreserveVAtagException1, truncate && o.preserveVAtagException1 != 0);
        r.Set(RenameOption::StripVAtagDirs, o.StripVAtagDirs != 0);
        r.Set(RenameOption::ReplaceDots, o.ReplaceDots != 0);
        r.Set(RenameOption::StripTHEtagDirs, o.StripTHEtagDirs != 0);
        r.Set(RenameOption::StripTHEtagDirsMove, o.StripTHEtagDirsMove != 0);
        r.Set(RenameOption::StripTHEtagDirsMoveAddBrackets, o.StripTHEtagDirsMoveAddBrackets != 0);
        r.Set(RenameOption::RemoveDotsInDirs, o.RemoveDotsInDirs != 0);
        r.Set(RenameOption::RemoveDotsInDirsFrontOnly, o.RemoveDotsInDirsFrontOnly != 0);
        return r;
    }

private:
    std::uint32_t m_bits = 0;
};

}  // namespace kestrow
