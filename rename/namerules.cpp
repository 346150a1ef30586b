// Name rules of the prepare pass. Every index here counts characters, never bytes, so a cut
// or a "___" mark always falls between two characters of a UTF-8 name.
#include "rename/namerules.h"

#include <algorithm>

#include "backup/backuprecord.h"
#include "platform/text.h"

namespace kestrow {

namespace {

bool IsDelimiter(char32_t c) {
    switch (c) {
        case U' ':
        case U'_':
        case U'-':
        case U'(':
        case U')':
        case U'[':
        case U']':
        case U'.':
        case U',':
            return true;
        default:
            return false;
    }
}

bool IsDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// upper is an ASCII capital; its lower-case form matches too.
bool IsLetter(char32_t c, char upper) {
    return c == static_cast<char32_t>(upper) || c == static_cast<char32_t>(upper + ('a' - 'A'));
}

int Length(const NameChars& s) {
    return static_cast<int>(s.size());
}
std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

NameChars Ascii(std::string_view s) {
    return NameChars(s.begin(), s.end());
}

// Names the "VA" exception leaves alone.
bool IsListOrImageExtension(std::string_view ext) {
    for (std::string_view e : {".m3u", ".nfo", ".sfv", ".jpg", ".gif"}) {
        if (platform::IEquals(ext, e)) return true;
    }
    return false;
}

// Empty, ".", ".." and any other run of dots cannot name a file or directory.
bool IsNotAName(std::string_view title) {
    return title.find_first_not_of('.') == std::string_view::npos;
}

// Steps 2 to 8 of the rules: everything that works on the name alone.
class WorkingName {
public:
    WorkingName(RenameOptions options, const GroupTagMap* groupTags, std::string_view name,
                std::string_view extension, bool isDirectory, int maximum)
        : m_options(options),
          m_groupTags(groupTags),
          m_extension(extension),
          m_isDirectory(isDirectory),
          m_maximum(maximum),
          m_name(DecodeName(name)),
          m_extLength(static_cast<int>(platform::CharCount(extension))),
          m_originalLength(Length(m_name)) {}

    // False when not even one character of the name fits before the extension.
    bool Shorten() {
        Dots();
        if (TooLong()) {
            // Recorded for the directory's record whatever the later steps make of the name.
            m_operation |= kOpTruncated;
            if (Has(RenameOption::PreserveGrptag) && m_groupTags) GroupTag();
        }
        if (TooLong() && m_keptLength == 0 && !YearCut()) return false;
        if (TooLong() && (m_isDirectory || !platform::IEquals(m_extension, ".mp3"))) Year();
        Va();
        The();
        if (m_cutByYearCut || TooLong()) return Cut();
        // A kept tag that fits after all stays where it stands in the name.
        m_keptEnd.clear();
        m_keptLength = 0;
        return true;
    }

    const NameChars& Name() const { return m_name; }
    const NameChars& KeptEnd() const { return m_keptEnd; }
    int Operation() const { return m_operation; }

private:
    bool Has(RenameOption o) const { return m_options.Has(o); }
    bool TooLong() const { return Length(m_name) + m_extLength > m_maximum; }

    void Dots() {
        if (!m_isDirectory) {
            if (Has(RenameOption::ReplaceDots)) std::replace(m_name.begin(), m_name.end(), U'.', U',');
            return;
        }
        if (!Has(RenameOption::RemoveDotsInDirs)) return;
        if (!Has(RenameOption::RemoveDotsInDirsFrontOnly)) {
            std::erase(m_name, U'.');
            m_operation |= kOpDotsRemoved;
            return;
        }
        // Dots after the first hyphen often belong to the title ("Lean.Into.It").
        const std::size_t front = std::min(m_name.find(U'-'), m_name.size());
        NameChars head = m_name.substr(0, front);
        std::erase(head, U'.');
        m_name = head + m_name.substr(front);
        m_operation |= kOpDotsRemoved | kOpDotsFrontOnly;
    }

    void GroupTag() {
        const int last = Length(m_name) - 1;
        int p = last;
        bool internal = false;
        if (Length(m_name) >= 4 && IsLetter(m_name[At(last - 2)], 'I') &&
            IsLetter(m_name[At(last - 1)], 'N') && IsLetter(m_name[At(last)], 'T') &&
            (m_name[At(last - 3)] == U'_' || m_name[At(last - 3)] == U'-')) {
            internal = true;
            p = last - 4;
        }
        while (p >= 0 && !IsDelimiter(m_name[At(p)])) --p;
        if (p < 0) return;
        m_separator = m_name[At(p)];
        NameChars tag = m_name.substr(At(p + 1));
        // "-INT" marks a group's internal release; the group's own tag is the key.
        NameChars key = internal ? tag.substr(0, tag.size() - 4) : tag;
        if (tag.empty() || p == 0) return;
        if (m_groupTags->count(platform::AsciiUpper(EncodeName(key))) == 0) return;
        m_keptLength = Length(tag);
        m_keptEnd = std::move(tag);
    }

    // Cuts an over-long name without a recognised tag at the maximum, or, when a delimited year
    // stands past the maximum, just after the year so that whatever followed it goes.
    bool YearCut() {
        const int limit = m_maximum - m_extLength;
        if (limit < 1) return false;
        int cutAt = limit;
        for (int i = Length(m_name) - 1; i > limit && i >= 5; --i) {
            if (!IsDelimiter(m_name[At(i)]) || !IsDelimiter(m_name[At(i - 5)])) continue;
            bool digits = true;
            for (int k = i - 4; k < i; ++k) digits = digits && IsDigit(m_name[At(k)]);
            if (digits) {
                cutAt = i;
                break;
            }
        }
        m_name.resize(At(std::min(cutAt, Length(m_name))));
        m_cutByYearCut = true;
        return true;
    }

    void Year() {
        const int last = Length(m_name) - 1;
        const int s = last - m_keptLength;  // the delimiter before the tag, or the last character
        int yearEnd = -1;
        int before = -1;
        for (int i = s; i >= 1; --i) {
            const char32_t c = m_name[At(i)];
            if (IsDigit(c)) {
                const bool ends = m_keptLength > 0 ? IsDelimiter(m_name[At(i + 1)]) : i == last;
                if (yearEnd < 0 && ends) yearEnd = i;
            } else if (IsDelimiter(c)) {
                if (yearEnd >= 0) {
                    before = i;
                    break;
                }
            } else {
                break;
            }
        }
        if (yearEnd < 0 || before < 1 || yearEnd - before != 4) return;
        if (Has(RenameOption::PreserveRlsyear)) {
            // Everything between the year and the tag travels with them, so "(2004) GRP" keeps
            // its bracket and blank and the kept length matches the kept text.
            NameChars kept =
                m_name.substr(At(before + 1), 4) + m_name.substr(At(yearEnd + 1), At(s - yearEnd));
            m_keptEnd = kept + m_keptEnd;
            m_keptLength = Length(m_keptEnd);
        } else {
            m_name = m_name.substr(0, At(before + 1)) + m_name.substr(At(Length(m_name) - m_keptLength));
        }
    }

    void Va() {
        bool wanted =
            Has(RenameOption::PreserveVAtag) || (m_isDirectory && Has(RenameOption::StripVAtagDirs));
        if (wanted && Has(RenameOption::PreserveVAtagException1) && IsListOrImageExtension(m_extension)) {
            wanted = false;
        }
        // "Strip VA at beginning" touches a directory only when it needs truncation.
        if (wanted && m_isDirectory && !Has(RenameOption::StripVAtagDirs) &&
            m_originalLength + m_extLength <= m_maximum) {
            wanted = false;
        }
        if (!wanted || Length(m_name) < 2) return;
        int i = 0;
        while (i < Length(m_name) - 1) {
            const char32_t c = m_name[At(i)];
            if (IsLetter(c, 'V')) {
                if (i + 3 < Length(m_name) - 1 && IsLetter(m_name[At(i + 1)], 'A') &&
                    IsDelimiter(m_name[At(i + 2)])) {
                    m_name.erase(At(i), 3);
                    if (m_isDirectory) m_operation |= kOpVaStripped;
                    // What now stands at i has not been looked at: it may end the scan.
                    continue;
                }
            } else if (!IsDigit(c) && !IsDelimiter(c)) {
                break;
            }
            ++i;
        }
    }

    void The() {
        if (!m_isDirectory || !Has(RenameOption::StripTHEtagDirs)) return;
        if (Length(m_name) < 6 || !IsLetter(m_name[0], 'T') || !IsLetter(m_name[1], 'H') ||
            !IsLetter(m_name[2], 'E') || !IsDelimiter(m_name[3])) {
            return;
        }
        m_operation |= kOpTheStripped;
        const char32_t delimiter = m_name[3];
        const NameChars word = m_name.substr(0, 3);
        const bool brackets = Has(RenameOption::StripTHEtagDirsMoveAddBrackets);
        NameChars moved(1, delimiter);
        moved += brackets ? U"(" + word + U")" : word;
        if (delimiter == U' ') moved += U' ';
        if (Has(RenameOption::StripTHEtagDirsMove)) {
            const auto p = m_name.find_first_of(U"-(", 4);
            if (p != NameChars::npos && p > 4) {
                m_name = m_name.substr(4, p - 4) + moved + m_name.substr(p);
                m_operation |= kOpTheMoved;
                if (brackets) m_operation |= kOpBracketsAdded;
                return;
            }
        }
        m_name.erase(0, 4);
    }

    bool Cut() {
        int c = m_maximum - m_extLength - m_keptLength;
        if (c < 1 && m_keptLength > 0) {
            // A tag longer than the room left goes; the name itself is what must fit.
            m_keptEnd.clear();
            m_keptLength = 0;
            c = m_maximum - m_extLength;
        }
        if (c < 1) return false;
        if (Length(m_name) + m_extLength >= m_maximum + 4 && c >= 3) {
            std::fill(m_name.begin() + (c - 3), m_name.begin() + c, U'_');
        }
        if (Length(m_name) > c) m_name.resize(At(c));
        if (!m_name.empty() && m_name.back() != U'-' && m_name.back() != U'_' && m_name.back() != U' ') {
            m_name.back() = m_separator;
        }
        return true;
    }

    RenameOptions m_options;
    const GroupTagMap* m_groupTags;
    std::string_view m_extension;
    bool m_isDirectory;
    int m_maximum;
    NameChars m_name;
    int m_extLength;
    int m_originalLength;
    NameChars m_keptEnd;  // group tag and year that survive the cut
    int m_keptLength = 0;
    char32_t m_separator = U'-';
    int m_operation = 0;
    bool m_cutByYearCut = false;
};

}  // namespace

NameRules::NameRules(RenameOptions options, const GroupTagMap* groupTags, const DirContents& dir,
                     const DirContents* parent, NamePlan& plan)
    : m_options(options), m_groupTags(groupTags), m_dir(&dir), m_parent(parent), m_plan(&plan) {}

std::string NameRules::ApplyNameRules(std::string_view name, std::string_view extension, bool isDirectory,
                                      int maximum) {
    maximum = ClampNameMaximum(maximum);
    const std::string original = std::string(name) + std::string(extension);
    WorkingName work(m_options, m_groupTags, name, extension, isDirectory, maximum);
    if (!work.Shorten()) return Unchanged(original, isDirectory, NameProblem::NoRoom);

    const std::string title = EncodeName(work.Name() + work.KeptEnd());
    if (platform::IEquals(title + std::string(extension), original)) {
        return Unchanged(original, isDirectory, {});
    }
    if (IsNotAName(title)) return Unchanged(original, isDirectory, NameProblem::NotAName);

    const auto numbered = FreeTitle(work.Name(), work.KeptEnd(), extension, isDirectory, maximum, original);
    if (!numbered) return Unchanged(original, isDirectory, NameProblem::NoFreeName);
    std::string newName = *numbered + std::string(extension);
    // A number may lead back to the name the entry already has.
    if (platform::IEquals(newName, original)) return Unchanged(original, isDirectory, {});

    if (isDirectory) {
        const auto dot = original.rfind('.');
        const std::string before = dot == std::string::npos ? original : original.substr(0, dot);
        const std::string from = dot == std::string::npos ? std::string() : original.substr(dot);
        m_plan->RenameDir(
            original, newName,
            "<D:;" + newName + ";" + from + ";" + before + "><OP:" + std::to_string(work.Operation()) + ">");
    } else {
        // Both names are split at their last "." as the reader and the store's check expect; a
        // title that keeps a trailing dot would otherwise be split differently from its record.
        m_plan->RenameFile(original, newName,
                           BackupRecordText({BackupRecordKind::File, original, newName, 0}));
    }
    return newName;
}

// Numbers the name until one candidate passes every check at once: the disk, the plan and the
// records. A number chosen against the records is checked against the disk again.
std::optional<std::string> NameRules::FreeTitle(const NameChars& base, const NameChars& keptEnd,
                                                std::string_view extension, bool isDirectory, int maximum,
                                                std::string_view original) {
    const int room = maximum - static_cast<int>(platform::CharCount(extension)) - Length(keptEnd);
    std::string key = EncodeName(base);
    key.append(1, '\0').append(EncodeName(keptEnd)).append(1, '\0').append(extension);
    key.append(1, isDirectory ? 'd' : 'f').append(std::to_string(room));
    auto [slot, fresh] = m_numbering.try_emplace(std::move(key));
    Numbering& state = slot->second;
    // A name passed over as taken may be this entry's own, which is free for it alone.
    if (!fresh && state.passed.Contains(std::string(original))) state = Numbering();

    while (state.k <= kMaxCollisionNumber) {
        NameChars trial = base;
        if (state.k > 0) {
            const NameChars digits = Ascii(std::to_string(state.k));
            const int n = Length(digits);
            if (!isDirectory && !state.recordForm && Length(base) + n <= room) {
                trial = base + digits;
            } else {
                trial = base.substr(0, At(std::max(0, Length(base) - (n + 1)))) + digits;
                if (state.recordForm) trial += U'_';
            }
        }
        // Only a name too short to give up a character for the number grows; larger numbers
        // would grow it further.
        if (Length(trial) > room) return std::nullopt;
        const std::string title = EncodeName(trial + keptEnd);
        const std::string fullName = title + std::string(extension);
        if (IsTaken(fullName, isDirectory, state.k > 0, original)) {
            state.passed.Add(fullName);
            ++state.k;
            continue;
        }
        if (m_plan->IsRecordedName(extension, title)) {
            state.passed.Add(fullName);
            if (state.recordForm) {
                ++state.k;
            } else {
                state.recordForm = true;
                state.k = 1;
            }
            continue;
        }
        return title;
    }
    return std::nullopt;
}

bool NameRules::IsTaken(const std::string& fullName, bool isDirectory, bool numbered,
                        std::string_view original) {
    if (platform::IEquals(fullName, original)) return false;  // the entry's own name
    if (isDirectory) {
        if (!m_parent) return false;
        // A file beside the directory blocks its new name as surely as a directory does. The
        // plain name is looked up directly; a set of the siblings pays only once numbers are tried.
        if (!numbered) return m_parent->FindSubdir(fullName) == 0 || m_parent->GetFile(fullName) != nullptr;
        if (!m_parentNames) m_parentNames = NameSet::Of(*m_parent);
        return m_parentNames->Contains(fullName);
    }
    if (!m_dirNames) m_dirNames = NameSet::Of(*m_dir);
    return m_dirNames->Contains(fullName) || m_plan->IsPlannedName(fullName);
}

std::string NameRules::Unchanged(const std::string& original, bool isDirectory,
                                 std::optional<NameProblem> problem) {
    if (isDirectory) {
        m_plan->KeepDir(original);
    } else {
        m_plan->KeepFile(original);
    }
    if (problem) m_plan->LeftUnchanged(original, isDirectory, *problem);
    return original;
}

}  // namespace kestrow
