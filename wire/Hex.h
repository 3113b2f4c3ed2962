// Bytes typed or pasted as hex digits: the one grammar of the command line and the "Decode hex" dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

// A text is runs of hex digits between separators (blanks, line breaks, commas, colons, dashes). A run
// may open with 0x or 0X and holds whole bytes, two digits each: "0x0010", "00-10" and "00:10" are the
// same two bytes, "0 0 1 0" is refused rather than guessed at. An empty text is no error: zero bytes.
struct HexError {
    enum class Kind : uint8_t {
        None,
        NotHexDigit,   // the character at `position` is neither a digit nor a separator
        NotWholeBytes, // the run at `position`, `length` characters with its 0x, has an odd number of digits
    };
    Kind kind = Kind::None;
    std::size_t position = 0; // 0-based, in characters of the text (bytes of its UTF-8)
    std::size_t length = 0;   // of the offending character or run

    bool operator==(const HexError&) const = default;
};

struct HexResult {
    std::vector<uint8_t> bytes; // empty after an error
    HexError error;

    bool Ok() const { return error.kind == HexError::Kind::None; }
};

HexResult ParseHex(std::string_view text);

// The value of a hex digit in either case, or -1 for any other character.
int HexDigit(char c);
// Octets as upper-case hex digits, two each and nothing between, as the SMSC protocols' hex fields carry
// them, and back (either case; nullopt for an odd count or a non-hex digit).
std::string ToHex(std::span<const uint8_t> octets);
std::optional<std::vector<uint8_t>> FromHex(std::string_view hex);

} // namespace wire
