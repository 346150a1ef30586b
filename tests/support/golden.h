// Golden transcripts: the exact texts a test produces (log lines, messages, taglines), kept as
// data files under tests/golden and compared in one place. See tests/golden/README.md.
#pragma once

#include <string>
#include <vector>

namespace kestrow::test {

// Compares `actual` with tests/golden/<name>.txt and fails the test with the first lines that
// differ. Control characters other than the line break, and bytes that are not UTF-8, are
// compared as "\xHH". With KESTROW_UPDATE_GOLDEN=1 in the environment the file is written instead.
// Returns whether they matched, for test frameworks other than GoogleTest (Qt Test).
bool ExpectGolden(const std::string& name, const std::string& actual);

// The path of tests/data/<name>: input files and tables kept beside the goldens.
std::string TestDataPath(const std::string& name);

// The rows of the data table tests/data/<name>: one row a line, fields split at "|" and trimmed;
// blank lines and lines starting with "#" are skipped.
std::vector<std::vector<std::string>> TableRows(const std::string& name);

// A table field as written: "<x*60>" stands for x written 60 times, "\xHH" for that byte, and
// "\r", "\n" and "\t" for the line-break bytes and the tab.
std::string Unescape(const std::string& text);

// `text` split at blanks (runs of blanks count once).
std::vector<std::string> Words(const std::string& text);

// `text` with every `from` replaced by `to` (temporary paths made stable for a transcript).
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace kestrow::test
