// libFuzzer target for stored backup data read from a release: the escaped "[V100" text with its
// packed block, and the record text behind it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "backup/backupdata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kestrow::BackupData;
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The input as an encoded text; a decoded block must parse into valid records only.
    BackupData encoded;
    encoded.SetEncodedText(input);
    if (encoded.Decode()) {
        BackupData again;
        again.SetPlainText(encoded.PlainText());
        if (!again.Parse() || again.Records().size() != encoded.Records().size()) std::abort();
    }
    // The same bytes wrapped as an encoded text, so that the escaping is reached too.
    BackupData wrapped;
    wrapped.SetEncodedText(std::string(kestrow::kEncodedStart) + input + std::string(kestrow::kEncodedEnd));
    wrapped.Decode();

    // The input as a record text. The escaping leaves '!' as it is, so a packed block that holds
    // a token's characters cannot be read back (the store checks its own output and refuses it);
    // what does read back must give the same records.
    BackupData plain;
    plain.SetPlainText(input);
    if (plain.Parse() && !plain.HoldsUnstorableRecord() && plain.Encode() && !plain.EncodedText().empty()) {
        BackupData back;
        back.SetEncodedText(plain.EncodedText());
        if (back.Decode() && back.Records().size() != plain.Records().size()) std::abort();
    }
    return 0;
}
