// The records of the decoder's golden corpus (tests/decoder/golden/*.hex), for the fuzzers' seed writers.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace golden_records {

struct Record {
    std::string name; // the case's name, and the record's number within it from the second on
    std::vector<uint8_t> bytes;
};

// Every record of every case in `dir`, in name order: the hex of each record between the case's
// "# next record" lines, comment lines skipped. A line that is no hex is left out of its record.
inline std::vector<Record> Read(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> cases;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".hex") cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    std::vector<Record> records;
    for (const std::filesystem::path& path : cases) {
        std::ifstream file(path);
        std::string line, digits;
        int number = 0;
        const auto close = [&] {
            std::vector<uint8_t> bytes;
            for (size_t i = 0; i + 1 < digits.size(); i += 2) bytes.push_back(uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
            if (!bytes.empty()) records.push_back({path.stem().string() + (number ? "-" + std::to_string(number) : ""), bytes});
            digits.clear();
            ++number;
        };
        while (std::getline(file, line)) {
            if (line == "# next record") close();
            if (line.starts_with("#")) continue;
            std::string hex;
            for (char c : line)
                if (!std::isspace(static_cast<unsigned char>(c))) hex.push_back(c);
            if (hex.size() % 2 == 0 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) digits += hex;
        }
        close();
    }
    return records;
}

} // namespace golden_records
