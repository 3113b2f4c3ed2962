// Every record of the golden corpus decodes to its reviewed listing, as tarnwick-decode --offsets prints it.
#include "app/DecodeCli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/Listing.h"
#include "decoder/PacketDecoder.h"
#include "protocol/Registry.h"

namespace {

namespace fs = std::filesystem;

// Where the cases live (tests/decoder/golden) and the variable that rewrites their listings.
const fs::path kCorpus = TARNWICK_GOLDEN_DIR;
constexpr const char* kUpdateVariable = "TARNWICK_GOLDEN_UPDATE";

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The case names: the stems of the .hex files, sorted so that every run decodes them in one order.
std::vector<std::string> CaseNames() {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus))
        if (entry.path().extension() == ".hex") names.insert(entry.path().stem().string());
    return {names.begin(), names.end()};
}

// The line that starts the next record of a case that shows several values of one field.
constexpr const char* kNextRecord = "# next record";

struct Case {
    std::string reason; // the first line's comment
    std::vector<std::vector<uint8_t>> records;
};

// A .hex file: "# reason" first, then the records' hex with '#' comment lines between, each
// read as tarnwick-decode reads hex, records apart by a "# next record" line.
Case ReadCase(const fs::path& path) {
    std::istringstream in(ReadText(path));
    Case c;
    std::vector<std::string> hexes(1);
    std::string line;
    for (bool first = true; std::getline(in, line); first = false) {
        if (!line.starts_with("#")) {
            hexes.back() += line + "\n";
        } else if (line == kNextRecord) {
            hexes.emplace_back();
        } else if (first) {
            c.reason = line.substr(std::min(line.find_first_not_of("# "), line.size()));
        }
    }
    EXPECT_FALSE(c.reason.empty()) << path << " does not start with \"# <why this case>\"";
    for (const std::string& hex : hexes) {
        std::string error;
        const auto bytes = decode_cli::ParseHex(hex, error);
        EXPECT_TRUE(bytes) << path << ": " << error;
        if (bytes) c.records.push_back(*bytes);
    }
    return c;
}

// The typed header fields of a decode hold the words the protocol registry places there (the other home of the
// header's layout, which the record summary reads): command, sequence and status, by offset.
void ExpectHeaderFieldsAsTheRegistryPlacesThem(const std::vector<uint8_t>& record, uint16_t code,
                                               const std::vector<DecodeLine>& lines) {
    const int index = protocol::IndexOf(code);
    if (index < 0)
        return;
    const protocol::Protocol& p = protocol::kProtocols[index];
    const auto word = [&](uint32_t at) -> int64_t {
        const size_t from = 16 + at;
        return from + 4 <= record.size() ? int64_t(record[from]) << 24 | record[from + 1] << 16 | record[from + 2] << 8 | record[from + 3]
                                         : -1;
    };
    const std::pair<uint32_t, bool> words[] = {{p.commandOffset, true}, {p.sequenceOffset, p.sequenceSize == 4},
                                               {p.statusOffset, p.statusOffset != 0}};
    for (const auto& [at, held] : words) {
        const auto line = std::find_if(lines.begin(), lines.end(), [&](const DecodeLine& l) {
            return !l.isGroup && l.offset == int32_t(16 + at) && l.width == 4;
        });
        if (!held || word(at) < 0 || line == lines.end())
            continue;
        EXPECT_EQ(line->type, FieldType::Number) << line->text;
        EXPECT_EQ(line->number, word(at)) << line->text;
        EXPECT_TRUE(line->field.starts_with(std::string(p.cliName).substr(0, 4))) << line->field;
    }
}

// The icon a line must carry: 152/159 on the capture header, the protocol's own pair on its
// header, 161/163 on every body; an error line carries the icon of the field it replaces.
int32_t ExpectedIcon(int groupIndex, bool isGroup, uint16_t protocol) {
    if (groupIndex == 1) return isGroup ? 152 : 159;
    if (groupIndex > 2) return isGroup ? 161 : 163;
    switch (protocol) {
    case 1: // CMPP 2.0
    case 4: // CMPP 3.0
        return isGroup ? 153 : 157;
    case 3: // SMGP 2.0
    case 9:  // SMGP 3.0
    case 10: // SMGP 1.3
        return isGroup ? 155 : 158;
    default:
        return isGroup ? 160 : 156;
    }
}

// The first line where the listings differ, both versions side by side.
std::string FirstDifference(const std::string& want, const std::string& got) {
    std::istringstream w(want), g(got);
    std::string wantLine, gotLine;
    for (int number = 1;; ++number) {
        const bool moreWant = static_cast<bool>(std::getline(w, wantLine));
        const bool moreGot = static_cast<bool>(std::getline(g, gotLine));
        if (!moreWant && !moreGot) return "the listings differ only in their line ends";
        if (!moreWant || !moreGot || wantLine != gotLine) {
            return "first difference at line " + std::to_string(number) + "\n  expected: " +
                   (moreWant ? wantLine : "(end of listing)") + "\n  actual:   " + (moreGot ? gotLine : "(end of listing)");
        }
    }
}

class GoldenTest : public ::testing::TestWithParam<std::string> {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1); // capture times are shown in local time
        tzset();
    }
    // One decoder for the whole corpus: nothing may survive from one record into the next.
    static CPacketDecoder& Decoder() {
        static CPacketDecoder decoder;
        return decoder;
    }
};

TEST_P(GoldenTest, DecodesToItsListing) {
    const fs::path hexPath = kCorpus / (GetParam() + ".hex");
    const fs::path txtPath = kCorpus / (GetParam() + ".txt");
    const Case c = ReadCase(hexPath);
    SCOPED_TRACE(c.reason);

    // The listing of a case is the listings of its records, one after the other.
    std::string listing;
    for (const std::vector<uint8_t>& record : c.records) {
        // A buffer of exactly the record's size, so that a read past its end is a real overrun.
        const auto total = static_cast<int32_t>(record.size());
        auto exact = std::make_unique<uint8_t[]>(record.size());
        std::copy(record.begin(), record.end(), exact.get());
        const bool ok = Decoder().Decode(exact.get(), total);
        const std::vector<DecodeLine>& lines = Decoder().Lines();
        listing += decode_listing::Lines(lines, true) + "result: " + (ok ? "true" : "false") + "\n";

        const uint16_t protocol = total >= 16 ? static_cast<uint16_t>(record[14] | record[15] << 8) : 0;
        ExpectHeaderFieldsAsTheRegistryPlacesThem(record, protocol, lines);
        int groupIndex = 0;
        for (const DecodeLine& line : lines) {
            groupIndex += line.isGroup;
            EXPECT_EQ(line.iconId, ExpectedIcon(groupIndex, line.isGroup != 0, protocol)) << line.text;
        }
    }

    const char* update = std::getenv(kUpdateVariable);
    if (update && *update && std::string(update) != "0") {
        if (!fs::exists(txtPath) || ReadText(txtPath) != listing) {
            std::ofstream(txtPath, std::ios::binary) << listing;
            std::cout << "rewrote " << txtPath.filename() << "\n";
        }
        return;
    }
    ASSERT_TRUE(fs::exists(txtPath)) << txtPath << " is missing; after review, run with " << kUpdateVariable
                                     << "=1 to write it. The decoder prints:\n" << listing;
    const std::string want = ReadText(txtPath);
    if (want != listing) {
        ADD_FAILURE() << txtPath << ": " << FirstDifference(want, listing) << "\nThe decoder prints:\n" << listing
                      << "If the change is meant, review it and run with " << kUpdateVariable << "=1.";
    }
}

// Test names are the case names, so --gtest_filter='*smpp_submit*' picks cases by file name.
INSTANTIATE_TEST_SUITE_P(Corpus, GoldenTest, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Every listing has its record, and the corpus is where the build says it is.
TEST(GoldenCorpus, EveryListingHasItsRecord) {
    ASSERT_TRUE(fs::is_directory(kCorpus)) << kCorpus;
    EXPECT_GT(CaseNames().size(), 100u);
    for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus)) {
        const fs::path& path = entry.path();
        if (path.extension() == ".txt") {
            EXPECT_TRUE(fs::exists(fs::path(path).replace_extension(".hex"))) << path << " has no .hex";
        } else if (path.extension() == ".hex") {
            const std::string stem = path.stem().string();
            EXPECT_EQ(stem.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string::npos)
                << path << ": case names are lower-case letters, digits and '_'";
        } else {
            EXPECT_EQ(path.filename(), "README.md") << "unexpected file in the corpus";
        }
    }
}

} // namespace
