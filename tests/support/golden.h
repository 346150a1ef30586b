// Golden transcripts: the exact texts a test produces (log lines, messages, taglines), kept as
// data files under tests/golden and compared in one place. See tests/golden/README.md.
#pragma once

#include <string>

namespace kestrow::test {

// Compares `actual` with tests/golden/<name>.txt and fails the test with the first lines that
// differ. Control characters other than the line break, and bytes that are not UTF-8, are
// compared as "\xHH". With KESTROW_UPDATE_GOLDEN=1 in the environment the file is written instead.
void ExpectGolden(const std::string& name, const std::string& actual);

// `text` with every `from` replaced by `to` (temporary paths made stable for a transcript).
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace kestrow::test
