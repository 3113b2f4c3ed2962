// The GSM 7-bit default alphabet and its extension table, as an ESME means "the default alphabet": the
// decoder reads septets through them and the composers write text into them.
#pragma once

#include <cstdint>
#include <iterator>

namespace protocol::gsm {

// The character of each septet, 0x00 to 0x7F. 0x1B is the escape to the extension table
// (kept here as itself); LF and CR are the only control characters.
inline constexpr char32_t GsmDefaultAlphabet[128] = {
    U'@',    U'£', U'$', U'¥', U'è', U'é', U'ù', U'ì', U'ò', U'Ç', U'\n', U'Ø', U'ø', U'\r', U'Å', U'å', // 0x00
    U'Δ',    U'_', U'Φ', U'Γ', U'Λ', U'Ω', U'Π', U'Ψ', U'Σ', U'Θ', U'Ξ', 0x1B, U'Æ', U'æ', U'ß', U'É',  // 0x10
    U' ',    U'!', U'"', U'#', U'¤', U'%', U'&', U'\'', U'(', U')', U'*', U'+', U',', U'-', U'.', U'/', // 0x20
    U'0',    U'1', U'2', U'3', U'4', U'5', U'6', U'7', U'8', U'9', U':', U';', U'<', U'=', U'>', U'?',  // 0x30
    U'¡',    U'A', U'B', U'C', U'D', U'E', U'F', U'G', U'H', U'I', U'J', U'K', U'L', U'M', U'N', U'O',  // 0x40
    U'P',    U'Q', U'R', U'S', U'T', U'U', U'V', U'W', U'X', U'Y', U'Z', U'Ä', U'Ö', U'Ñ', U'Ü', U'§',  // 0x50
    U'¿',    U'a', U'b', U'c', U'd', U'e', U'f', U'g', U'h', U'i', U'j', U'k', U'l', U'm', U'n', U'o',  // 0x60
    U'p',    U'q', U'r', U's', U't', U'u', U'v', U'w', U'x', U'y', U'z', U'ä', U'ö', U'ñ', U'ü', U'à',  // 0x70
};
static_assert(std::size(GsmDefaultAlphabet) == 128);

inline constexpr uint8_t kGsmEscape = 0x1B;

// The septets that follow an escape; any other septet after an escape reads as in the main table.
struct GsmExtension {
    uint8_t septet;
    char32_t character;
};

inline constexpr GsmExtension GsmExtensionTable[] = {
    {0x0A, U'\f'}, // page break
    {0x14, U'^'},
    {0x28, U'{'},
    {0x29, U'}'},
    {0x2F, U'\\'},
    {0x3C, U'['},
    {0x3D, U'~'},
    {0x3E, U']'},
    {0x40, U'|'},
    {0x65, U'€'},
};
static_assert(std::size(GsmExtensionTable) == 10);

} // namespace protocol::gsm
