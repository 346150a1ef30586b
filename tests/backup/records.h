// Backup records for the backup tests: one of each kind, and seeded random record sets.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "backup/backupdata.h"
#include "backup/backuprecord.h"

namespace kestrow::test {

inline BackupRecord File(std::string original, std::string renamed) {
    return {BackupRecordKind::File, std::move(original), std::move(renamed), 0};
}
inline BackupRecord Temp(std::string original, std::string renamed) {
    return {BackupRecordKind::TempFile, std::move(original), std::move(renamed), 0};
}
inline BackupRecord Dir(std::string original, std::string renamed, std::int32_t op) {
    return {BackupRecordKind::Directory, std::move(original), std::move(renamed), op};
}

inline BackupData DataOf(const std::vector<BackupRecord>& records) {
    BackupData data;
    for (const auto& r : records) data.AppendRecord(r);
    return data;
}

// A name of any bytes but those no record may hold.
inline std::string RandomName(std::mt19937& rng, std::size_t maxLen) {
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<std::size_t> len(1, maxLen);
    for (;;) {
        std::string name;
        for (std::size_t n = len(rng); n > 0; --n) name += static_cast<char>(byte(rng));
        if (IsStorableBackupName(name)) return name;
    }
}

// Up to 12 file records, perhaps a directory record, a few temp-file records.
inline std::vector<BackupRecord> RandomRecords(std::mt19937& rng, std::size_t maxLen) {
    std::vector<BackupRecord> records;
    std::uniform_int_distribution<int> count(0, 12);
    for (int i = count(rng); i > 0; --i)
        records.push_back(File(RandomName(rng, maxLen), RandomName(rng, maxLen)));
    if (rng() % 2)
        records.push_back(
            Dir(RandomName(rng, maxLen), RandomName(rng, maxLen), static_cast<std::int32_t>(rng())));
    for (int i = count(rng) / 3; i > 0; --i)
        records.push_back(Temp(RandomName(rng, maxLen), RandomName(rng, maxLen)));
    return records;
}

}  // namespace kestrow::test
