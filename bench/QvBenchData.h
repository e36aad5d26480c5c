#pragma once
// Inputs of the benchmarks, built in memory the same way on every run, and a scratch
// folder for the benchmarks that read and write files.
#include <cstddef>
#include <string>
#include <vector>

namespace QvBenchData {

// UTF-8 text of about `bytes` bytes: ASCII sentences, Latin letters with diacritics, CJK
// and an occasional supplementary character, in whole characters.
std::string MixedText(size_t bytes);
// Printable ASCII of exactly `bytes` bytes, with line breaks.
std::string AsciiText(size_t bytes);
// `count` Windows paths of about 70 bytes; one in four holds non-ASCII folder names.
std::vector<std::string> ShortPaths(size_t count);

// A settings file of about `bytes` bytes: the usual attributes, file sets, volumes and as
// many watched folders as make up the size.
std::string SettingsOfSize(size_t bytes);
// A settings file with exactly `folders` watched folders.
std::string SettingsWithFolders(int folders);
// Hostile inputs of `bytes` bytes for the snippet search: a run of '<', and
// 'name="name="...' with no blank before any name.
std::string RunOfLessThan(size_t bytes);
std::string RepeatedNameEquals(size_t bytes);
// Openings of the searched tag that never close: '<qvdirfilter <qvdirfilter ...'.
std::string UnclosedOpenings(size_t bytes);

// A fresh folder under $TMPDIR (or /tmp), removed with its content at exit.
const std::string& ScratchDir();
bool WriteFile(const std::string& path, const std::string& content);
// A client installation in the scratch folder (registry store, install and data
// directories, temporary folder), made once; the POSIX backend's variables point there.
// Every benchmark that asks the library for a directory calls it first, since the library
// keeps the directories it found.
const std::string& ClientInstallation();

}  // namespace QvBenchData
