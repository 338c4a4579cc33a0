#pragma once

// The public detectors detect_accuracy compares with, run as programs on the
// files of one cell (never linked), and what their answers decode to.

#include <string>
#include <vector>

namespace varnel::bench {

struct Reference {
    std::string name; // as the table heads it
    std::string program; // absolute path
    std::vector<std::string> options;
    enum class Output { PathColon, Chardet, NormalizerJson } output;
};

// uchardet, enca (Chinese), chardet and charset-normalizer, from Debian's
// packages uchardet, enca, python3-chardet and python3-charset-normalizer.
const std::vector<Reference> &references();
bool installed(const Reference &r);

// The charset name the reference gave for each file ("" where none).
std::vector<std::string> detect(const Reference &r, const std::vector<std::string> &files);

// The text the bytes give in the charset a detector named, as UTF-8; empty
// when the name is none the converter knows. Names of GB2312 and GBK decode
// as GB18030, as browsers do, so that naming the family is enough; Big5 and
// Big5-HKSCS decode as they say, and "UTF-16" without a mark big-endian.
std::string decodeAs(const std::string &name, const std::string &bytes);

} // namespace varnel::bench
