// Captured records as the control API shows them: one JSON object per record, with its decode lines.
#pragma once

#include "analysis/Concatenations.h"
#include "capture/PacketLog.h"
#include "decoder/PacketDecoder.h"

#include <QByteArray>
#include <QString>
#include <QUrlQuery>

#include <cstdint>
#include <string>

// Which records GET /pdus lists.
struct PduQuery {
    int64_t since = 0;       // records with a higher seq
    QString command;         // as "command" names it; empty for any
    uint64_t connection = 0; // 0 for any
    int limit = 1000;
};

// Reads since, command, connection, limit and waitMs (0 when absent) from a /pdus query; the error
// names the parameter, and is empty when all are good.
QString ReadPduQuery(const QUrlQuery& parameters, PduQuery* query, int64_t* waitMs);

// Turns capture records into JSON (record_json::AppendRecord), with the reassembled text on the record that
// completes a long message. A record's seq is its serial number in the capture log, so it stays the same over
// the log's wipes and never names another record. Owns a copy of the decoder and follows the log's long
// messages; UI thread only.
class CPduJson {
public:
    CPduJson(CPacketLog& log, const CPacketDecoder& decoder);

    // Appends the record's object.
    void AppendRecord(std::string& out, int64_t seq, const uint8_t* record, uint32_t length,
                      const PacketSummary& context);
    // The command's name as the decoder gives it ("submit_sm"), or its id as "0x%08X" when it has none.
    std::string CommandName(const PacketSummary& summary) const;

    // {"pdus": [...], "next": N}, where next is the since that continues after this page.
    QByteArray Query(const CPacketLog& log, const PduQuery& query);
    // Whether a record after since matches the query (the test a long poll waits on).
    bool HasMatch(const CPacketLog& log, const PduQuery& query) const;

private:
    template <typename Visit>
    void Scan(const CPacketLog& log, const PduQuery& query, Visit visit) const;

    CPacketDecoder m_decoder;
    CConcatenations m_concatenations;
};
