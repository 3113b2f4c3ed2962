// Concatenated messages put back together from their parts in the capture log.
#pragma once

#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A line the decode tree ends with for a part of a concatenated message; record is the captured
// record it names, -1 for none.
struct ReassemblyLine {
    std::string text;
    int32_t record = -1;
};

// The lines as a decode listing ends a record with them: the first at the left, the others under it indented by two
// blanks; with `offsets`, each behind the blanks a listing's offset and width columns take. Each ends in '\n'.
std::string ReassemblyListing(const std::vector<ReassemblyLine>& lines, bool offsets);

// A long message put back together: how many parts it has, its whole text, and the serial numbers of the
// records of its parts in order (the seq /pdus gives them).
struct Reassembled {
    int32_t parts = 0;
    std::string text;
    std::vector<int64_t> seqs;
};

// Knows the parts of concatenated messages (UDH with 8- or 16-bit reference, or the SAR TLVs) in the
// capture log: parts belong together by connection, direction, source and destination address and
// reference. Forgets everything with the log's reset. UI thread only.
class CConcatenations : public CPacketLogListener {
public:
    CConcatenations(CPacketLog& log, const CPacketDecoder& decoder);
    ~CConcatenations() override;
    CConcatenations(const CConcatenations&) = delete;
    CConcatenations& operator=(const CConcatenations&) = delete;

    // For the record that completes a message: "Reassembled message (N parts)", the whole text, and
    // one line per part naming its row; for a part of a message still missing parts once a later
    // part arrived, a line that says which are missing. Empty for any other record.
    std::vector<ReassemblyLine> LinesFor(int32_t index) const;
    // The message the record at `index` completes; nothing for any other record.
    std::optional<Reassembled> ReassembledAt(int32_t index) const;
    const CPacketLog& Log() const { return m_log; }
    // How the whole text reads SMPP data_coding 0, as the decoder the window shows is told.
    void SetDefaultAlphabet(DefaultAlphabet alphabet) { m_decoder.SetDefaultAlphabet(alphabet); }

    void OnPacketsAdded(int32_t first, int32_t count) override;
    void OnLogReset() override;

    // What a record says of the message it is a part of, read from its bytes; kept apart for the tests
    // that feed it short and garbled PDUs. Nothing for a record that is no part of an SMPP submit_sm,
    // deliver_sm or data_sm with a concatenation UDH element (UDHI set) or all three SAR parameters.
    struct PartOf {
        std::string source, destination;
        int32_t reference = 0, total = 0, number = 0;
        int32_t dataCoding = 0;
        int32_t textOffset = 0, textLength = 0; // the part's text in the record, behind any user data header
    };
    static std::optional<PartOf> ReadPart(const uint8_t* record, uint32_t length);

private:
    // A message that is, or was, gathering its parts.
    struct Message {
        std::vector<int32_t> parts; // the record of each part, -1 while it is missing
        int32_t present = 0;
        int32_t highest = 0;        // the highest part number that has arrived
        int32_t completedBy = -1;   // the record whose arrival completed it
    };
    // Parts belong together by connection, sending end, addresses, reference and count.
    struct Key {
        uint64_t connection = 0;
        uint64_t sender = 0; // address and port of the end that sent the part
        std::string source, destination;
        int32_t reference = 0, total = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };

    void Add(int32_t index);
    std::string WholeText(const Message& message) const;

    CPacketLog& m_log;
    CPacketDecoder m_decoder;
    std::vector<int32_t> m_messageOf;             // per record: its message, -1 for none
    std::vector<Message> m_messages;
    std::unordered_map<Key, int32_t, KeyHash> m_open; // the message still missing parts under a key
};
