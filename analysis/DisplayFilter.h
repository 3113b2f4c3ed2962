// The packet list's display filter: which captured records the list shows.
#pragma once

#include "analysis/FilterExpression.h"
#include "analysis/PacketPairs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Terms and field expressions, as a protocol analyser's display filter reads them:
//   a command name as the list shows it, alone or with its protocol (submit_sm, SMPP:deliver_sm_resp,
//   提交短信, CMPP3:提交短信, ...; case ignored),
//   error (a status other than success, or no answer), unanswered, status:0x58 (decimal, or the status's name:
//   status:ESME_RTHROTTLED), port:N and ip:A.B.C.D (either end), seq:N, text:WORD (in the decoded short message,
//   text:"two words"), conn:N,
//   a field by its name alone: present (smpp.tlv.message_payload),
//   a field compared: ==, !=, <, <=, >, >= with a number (decimal or 0x), a quoted text or the name of one of the
//   field's values (smpp.command_status == ESME_RTHROTTLED); contains and matches (a regular expression) for text
//   and octets; name=value is ==.
// Joined by &&/and, ||/or (and binds tighter), !/not and parentheses; terms side by side must all hold.
// A field that occurs more than once holds when any occurrence does; != holds when the field is there and no
// occurrence equals the value. A field's value is its own: a request's smpp.command_status is its header's.
// An empty filter shows every record. Matching reads the log, the pairs and a decoder of its own, which decodes a
// record at most once and only when a term the summary cannot decide needs it.
class CDisplayFilter {
public:
    explicit CDisplayFilter(const CPacketDecoder& decoder);
    ~CDisplayFilter();

    // Replaces the filter; false with where and why it failed (the old filter stays).
    bool Parse(std::string_view text, display_filter::Error& error);
    // Whether text would parse, leaving the filter as it is: cheap enough for every key typed.
    bool Check(std::string_view text, display_filter::Error& error) const;
    bool IsEmpty() const;
    // Whether a term reads what changes with time alone (error, unanswered): re-applied as time passes.
    bool DependsOnTime() const;
    bool Matches(int32_t index, const CPacketLog& log, const CPacketPairs& pairs) const;
    // How text: reads SMPP data_coding 0, as the decoder the window shows is told.
    void SetDefaultAlphabet(DefaultAlphabet alphabet) { m_decoder.SetDefaultAlphabet(alphabet); }

private:
    std::unique_ptr<display_filter::Node> m_root;
    mutable CPacketDecoder m_decoder;
};
