// Reads the known-answer files under tests/unit/data/crypto: one vector per
// line, fields separated by blanks, '#' starts a comment line.
#pragma once
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testvectors {

inline std::vector<std::vector<std::string>> ReadVectorFile(const std::string &name)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(std::string(VG_TEST_DATA) + "/crypto/" + name);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<std::string> row;
        std::string field;
        while (fields >> field)
            row.push_back(field);
        if (!row.empty())
            rows.push_back(row);
    }
    return rows;
}

// "-" stands for no bytes.
inline std::vector<uint8_t> Hex(const std::string &text)
{
    std::vector<uint8_t> bytes;
    if (text == "-")
        return bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::string ToHex(const uint8_t *data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; i++) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

inline std::string ToHex(const std::vector<uint8_t> &data) { return ToHex(data.data(), data.size()); }

}  // namespace testvectors
