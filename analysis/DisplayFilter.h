// The packet list's display filter: which captured records the list shows.
#pragma once

#include "analysis/PacketPairs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Space-separated terms that must all hold, each negated by a leading '!':
//   a command name as the list shows it, alone or with its protocol (submit_sm, SMPP:deliver_sm_resp,
//   提交短信, CMPP3:提交短信, ...; case ignored),
//   error (a status other than success, or no answer), unanswered, status:0x58 (or decimal),
//   port:N and ip:A.B.C.D (either end), seq:N, text:WORD (in the decoded short message), conn:N,
//   a field by its name, present (smpp.tlv.message_payload) or of a value (smpp.destination_addr=10086,
//   smpp.data_coding=8, smpp.dest_addr_ton=international: its number, its text, its value's name or its value
//   as shown, case ignored).
// An empty filter shows every record. Matching reads the log, the pairs and a decoder of its own.
class CDisplayFilter {
public:
    explicit CDisplayFilter(const CPacketDecoder& decoder);
    ~CDisplayFilter();

    // Replaces the terms; false with error naming the first term it does not know (the old terms stay).
    bool Parse(std::string_view text, std::string& error);
    bool IsEmpty() const;
    // Whether a term reads what changes with time alone (error, unanswered): re-applied as time passes.
    bool DependsOnTime() const;
    bool Matches(int32_t index, const CPacketLog& log, const CPacketPairs& pairs) const;
    // How text: reads SMPP data_coding 0, as the decoder the window shows is told.
    void SetDefaultAlphabet(DefaultAlphabet alphabet) { m_decoder.SetDefaultAlphabet(alphabet); }

private:
    struct Terms;
    std::unique_ptr<Terms> m_terms;
    mutable CPacketDecoder m_decoder;
};
