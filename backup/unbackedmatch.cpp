// Matching files with list entries when no backup data tells which is which.
#include "backup/unbackedmatch.h"

#include <algorithm>
#include <unordered_map>

#include "backup/similarity.h"
#include "platform/text.h"

namespace kestrow {

namespace {

// CRC texts compare as numbers: without leading zeros and case.
std::string CrcKey(std::string_view crc) {
    const auto digit = crc.find_first_not_of('0');
    return digit == std::string_view::npos ? "0" : platform::AsciiUpper(crc.substr(digit));
}

}  // namespace

UnbackedResult MatchUnbacked(const std::vector<UnbackedFile>& files,
                             const std::vector<UnbackedEntry>& entries) {
    UnbackedResult result;
    std::vector<bool> taken(entries.size(), false);
    auto take = [&](std::size_t file, std::size_t entry, bool byCrc) {
        taken[entry] = true;
        const UnbackedPair pair{file, entry, byCrc};
        (entries[entry].nameTaken ? result.skipped : result.matches).push_back(pair);
        return !entries[entry].nameTaken;
    };

    // Entries by CRC, each list in entry order; taken entries are passed over as they come up.
    std::unordered_map<std::string, std::vector<std::size_t>> byCrc;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        std::string key = CrcKey(entries[e].crc);
        if (key != "0") byCrc[std::move(key)].push_back(e);
    }
    std::vector<std::size_t> left;
    for (std::size_t f = 0; f < files.size(); ++f) {
        bool matched = false;
        if (files[f].crc) {
            auto it = byCrc.find(CrcKey(*files[f].crc));
            if (it != byCrc.end()) {
                auto& candidates = it->second;
                auto first = std::find_if(candidates.begin(), candidates.end(), [&](std::size_t e) {
                    return !taken[e] && !(entries[e].from & files[f].listedIn);
                });
                if (first != candidates.end()) matched = take(f, *first, true);
            }
        }
        // A match that could not be made leaves the file to the name matching.
        if (!matched) left.push_back(f);
    }

    std::vector<std::size_t> open;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        if (!taken[e]) open.push_back(e);
    }
    if (left.empty() || open.empty()) return result;
    std::vector<FoldedName> entryNames;
    entryNames.reserve(entries.size());
    for (const UnbackedEntry& e : entries) entryNames.emplace_back(e.name);

    for (std::size_t k = 0; k < left.size(); ++k) {
        const FoldedName name(files[left[k]].name);
        const std::size_t length = name.Chars().size();
        std::size_t best = open.size();
        int bestScore = 0;
        bool tie = false;
        const unsigned listedIn = files[left[k]].listedIn;
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (entries[open[i]].from & listedIn) continue;
            // No run is longer than the shorter name: an entry that cannot reach the best score
            // can neither replace nor tie with it.
            const std::size_t reach = std::min(length, entryNames[open[i]].Chars().size());
            if (reach < static_cast<std::size_t>(bestScore)) continue;
            const int score = SimilarityScore(name, entryNames[open[i]]);
            if (score > bestScore) {
                best = i;
                bestScore = score;
                tie = false;
            } else if (score == bestScore && score > 0) {
                tie = true;
            }
        }
        if (bestScore == 0) continue;
        if (tie && k + 1 == left.size()) {
            result.ambiguous = true;
            return result;
        }
        take(left[k], open[best], false);
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
        if (open.empty()) break;
    }
    return result;
}

}  // namespace kestrow
