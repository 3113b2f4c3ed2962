// The table-driven decoder that turns one capture record into named, positioned decode lines.
#pragma once

#include <algorithm>
#include <array>
#include <memory>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decoder/DecodeLine.h"
#include "decoder/DecodeTable.h"
#include "decoder/FieldDescriptor.h"
#include "decoder/Formatters.h"
#include "decoder/NameIndex.h"

namespace wire {
class Cursor;
}

// The texts of the two error lines that end a walk early.
inline constexpr std::string_view kLengthErrorText = "消息长度错误!";
inline constexpr std::string_view kUnknownErrorText = "未知错误!";
// The start of the line that closes a walk which ended before the last octet of the record; the
// count of those octets and their hex follow. It carries an id no descriptor has.
inline constexpr std::string_view kTrailingOctetsText = "Octets not decoded:";
inline constexpr int32_t kTrailingOctetsLineId = 0;
inline constexpr std::string_view kTrailingOctetsField = "undecoded";

// The one decoder of the program. It walks the shared decode table (DecodeTable::Whole, or a table of its
// own families) and owns the lines of the last decode. Copies share the table and keep lines of their own.
// Not thread-safe: one decode at a time, on the thread that owns it.
//
// Bounds: Decode never reads a byte at or past `total`, whatever the record holds. A field that
// does not fit ends the walk with a "未知错误!" line, an impossible width with "消息长度错误!";
// an error line covers at most what remains of the record from its offset (never negative).
class CPacketDecoder {
public:
    // The whole decode table: capture header, CMPP/TEST, SMGP, SGIP/CNGP, SMPP, in that order, shared.
    CPacketDecoder();
    // A table made of the given families, in order (tests use tables of their own). The row
    // texts are not copied and must outlive the decoder, as the static tables do.
    explicit CPacketDecoder(std::span<const decode_table::Family> families);

    // Decodes one record (capture header included) of `total` bytes and replaces Lines().
    // True when the walk ended normally; false after an error line, a selector value without
    // a case, or a case that leads nowhere (a command without a body).
    // A walk that ends without an error line before the record's last octet closes with one
    // "Octets not decoded:" line over the octets it did not reach.
    bool Decode(const uint8_t* record, int32_t total);
    const std::vector<DecodeLine>& Lines() const { return m_lines; }

    // What SMPP data_coding 0 is read as: GSM 03.38 unless the SMSC means another alphabet.
    void SetDefaultAlphabet(DefaultAlphabet alphabet) { m_defaultAlphabet = alphabet; }
    DefaultAlphabet GetDefaultAlphabet() const { return m_defaultAlphabet; }

    // The decode icon list: the icon ids of the lines, in the order of the views' image list.
    static constexpr std::array<int32_t, 11> kIconIds = {153, 157, 155, 158, 152, 159, 160, 156, 161, 162, 163};
    // Position of an icon id in the decode icon list, -1 for an id not in it.
    static int IconIndex(int32_t iconId);

    // "未知" when the table has no row for the code.
    std::string LookupCodeName(int32_t tableId, uint32_t code) const;
    // Empty for a negative value or a value without a name.
    std::string LookupValueName(int32_t category, int32_t value) const;
    // The name a field's value has a row of its own for (a wildcard's name does not count), through
    // the category the field reads its names from; empty when it has none.
    std::string OwnValueName(int32_t descriptorId, int32_t value) const;
    // " (name)" for a field whose value has a name, else empty. `field` holds `available`
    // readable bytes (bytes the field's kind needs beyond them count as absent: no suffix).
    std::string ValueSuffix(int32_t descriptorId, const uint8_t* field, int32_t available) const;

    // Rows of the loaded table ahead of its terminator.
    int DescriptorCount() const { return static_cast<int>(m_table->rows.size()) - 1; }
    // The loaded rows; `next` holds a table position (or -1, -2, 0), not an id. The last row
    // is the terminator.
    const std::vector<FieldDescriptor>& Descriptors() const { return m_table->rows; }
    // Position of the first row with that id, -1 when no row has it.
    int32_t PositionOf(int32_t id) const;
    const NameIndex& Names() const { return m_table->names; }
    // The table the decoder walks: the one every decoder of the whole table shares.
    const DecodeTable& Table() const { return *m_table; }

private:
    struct Field; // the outcome of decoding one descriptor

    void Settle(int32_t position, int32_t offset, Field& field) const;
    // The line of the field at `position`, settled to `width` octets at `offset`, and the lines it adds under its own.
    void AddLines(int32_t position, int32_t offset, int32_t width);
    // The typed parts of a field's line: its name, its raw value, where its value and value name sit in its text.
    // valueEnd: the text's length before the value's name was appended.
    void TypeLine(DecodeLine& line, int32_t position, int32_t valueEnd) const;
    // The width of a row the walk settles (width -1) from its bytes: a TLV's own length, or the value of
    // the field its width (or an Entries row's count) comes from; -1 when none can be read.
    int32_t VariableWidth(int32_t position, const wire::Cursor& bytes) const;
    // The position of the row after the one at `position`, decoded at `offset`: its next, or the case its
    // selector picks. A selector that is there but picks no case makes `result` false.
    int32_t NextRow(int32_t position, int32_t offset, bool& result) const;
    // The row after an Entries row at `position`: the first row of the next entry while any is left,
    // else the row after the list. `count`: the entries its count field announces.
    int32_t NextEntry(int32_t position, int32_t count);
    int32_t CaseScan(int32_t dispatcherId, int32_t start, const uint8_t* selector, int32_t available) const;
    // The row a body read at `offset` starts with: the alternative layout's group row when only its fields end
    // where the record does, else `position` itself.
    int32_t LayoutAt(int32_t position, int32_t offset) const;
    void AppendText(std::string& out, int32_t position, const uint8_t* p, int32_t width, int32_t available);
    // The value of a kind that the rest of the PDU reads (data coding, report flag, user data
    // header indicator), remembered as it is shown; false for other kinds. octet: the field's first, 0 if none.
    bool AppendPduState(std::string& out, const FieldDescriptor& row, uint8_t octet);
    // The value of a kind that holds message content or a TLV; false for other kinds.
    bool AppendMessage(std::string& out, int32_t position, const uint8_t* p, int32_t width);
    void AppendSuffix(std::string& out, int32_t position, const uint8_t* p, int32_t available) const;
    int32_t FindLine(int32_t id) const;
    void AppendTrailingOctets(int32_t offset);

    // Message content at p, `at` octets into its field: a user data header first when the PDU
    // says there is one, then the text by the PDU's data coding, then the fields of a receipt.
    enum class ContentRule { Smpp, Gateway };
    void AppendContent(std::string& out, int32_t position, const uint8_t* p, int32_t at, int32_t width, ContentRule rule);
    // Detail lines for the header's length and elements; returns the octets it takes (0 when
    // the length octet claims more than the content holds).
    int32_t AddUserDataHeader(int32_t position, const uint8_t* p, int32_t at, int32_t width);
    // One detail line per field of a delivery receipt's text, each value read as `reading` says; none
    // when the text is not a receipt.
    void AddReceiptFields(int32_t position, const uint8_t* p, int32_t at, int32_t width, SmppText reading);
    void AddDetail(int32_t position, std::string_view text, int32_t at, int32_t width);
    // A structured SMPP optional parameter (SmppTlvParts) of `width` octets at p: a detail line per part
    // of its value, and the last part's text on the parameter's own line.
    void AppendTlvParts(std::string& out, int32_t position, const uint8_t* p, int32_t width);
    // The label up to its first ':' ("SUB_SM:"), which starts the field's detail lines.
    std::string_view LabelPrefix(int32_t position) const;

    // A line that a field adds under its own, to show a part of its bytes (a user data header
    // element, a receipt field); offset and width are relative to the field's first byte.
    struct Detail {
        std::string text;
        int32_t offset;
        int32_t width;
    };

    std::shared_ptr<const DecodeTable> m_table;

    std::vector<DecodeLine> m_lines;
    std::string m_text; // the line being built
    std::vector<Detail> m_details; // lines the field being built adds under its own
    const uint8_t* m_record = nullptr;
    int32_t m_total = 0;
    int32_t m_dataCoding = -1; // last data_coding octet of the current PDU (0..255), -1 when none
    DefaultAlphabet m_defaultAlphabet = DefaultAlphabet::Gsm;
    int32_t m_isReport = 0;   // last status-report flag of the current PDU
    bool m_udhi = false;      // the current PDU's content starts with a user data header
    int32_t m_entriesRow = -1; // position of the Entries row whose entries are being walked, -1 for none
    int32_t m_entriesLeft = 0; // entries of that row still to walk, the current one included
};
