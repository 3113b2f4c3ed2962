// The tarnwick-decode command: one capture record or bare PDU in, the decoder's lines out.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace decode_cli {

// Exit statuses of the command.
inline constexpr int kDecoded = 0;     // the walk ended without an error line
inline constexpr int kErrorLine = 1;   // the walk ended with "未知错误!" or "消息长度错误!"
inline constexpr int kBadInput = 2;    // nothing decodable was given

// Largest input accepted, so that a record length fits the decoder's 32-bit counts comfortably.
inline constexpr size_t kMaxInputBytes = 16 * 1024 * 1024;

// Bytes of a hex text in the grammar of wire::ParseHex (digit pairs; blanks, commas, colons, dashes
// and 0x prefixes between bytes). On failure returns nothing and says why, with the position, in `error`.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text, std::string& error);

// Protocol code of a --protocol name (smpp, cmpp, cmpp3, smgp, smgp3, smgp13, sgip, cngp, test).
std::optional<uint16_t> ProtocolCodeOf(std::string_view name);

// A capture record around a bare PDU: time 0, address 127.0.0.1, port 0, the given protocol.
std::vector<uint8_t> WrapPdu(uint16_t protocol, const std::vector<uint8_t>& pdu);
// A text protocol's frame given as its text ("01/00045/O/51/.../6A"), STX and ETX added where left out;
// nothing for a protocol whose PDUs are not text, or an empty or over-long input.
std::optional<std::vector<uint8_t>> TextFrameOf(std::string_view input, uint16_t protocol);

// Runs the command with its arguments (program name excluded); reads standard input from `in`
// when no hex argument and no --file is given. Returns the exit status.
int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace decode_cli
