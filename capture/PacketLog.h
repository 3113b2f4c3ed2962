// The capture log: every PDU the servers receive or send, filtered, in one fixed byte area.
#pragma once

#include "capture/PacketRecord.h"
#include "capture/PacketSummary.h"
#include "protocol/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

// Told of what happens to the capture log, on the UI thread, in the order it happens. A listener
// may read the log during a call but must not add to it or reset it.
class CPacketLogListener {
public:
    virtual ~CPacketLogListener() = default;
    // Records first .. first + count - 1 have just been stored.
    virtual void OnPacketsAdded(int32_t first, int32_t count) = 0;
    // Every record is gone (Clear content, or the wipe of a full log); numbering starts again at 0.
    // The wipe happens inside the add that found the log full, whose record is told of next.
    virtual void OnLogReset() = 0;
    // Every record is about to go: the last moment they can be read.
    virtual void OnLogResetting() {}
};

// Keeps PacketRecords (16-byte capture header + PDU) back to back in a 1 MiB area that is
// allocated by the first Reset and wiped whole, never evicted record by record: a record that
// finds the area full wipes it and is stored first in the fresh one, so no record is lost. Beside
// each record it keeps its PacketSummary, worked out as it is stored; a live record's time is
// the one clock read of its PDU. Plain C++, no Qt; called from the UI thread only.
//
// Capture header, little-endian except the address: packetLength u32, time u32,
// sourceAddress 4 bytes first octet first, sourcePort u16, protocol u16.
class CPacketLog {
public:
    static constexpr uint32_t kAreaSize = 1048576;
    static constexpr uint32_t kHeaderSize = packet_record::kHeaderSize;
    static constexpr int kFilterLength = protocol::filter::kRows; // one flag per row of the capture filter
    static constexpr int kUnknownFilterIndex = -1;

    using TimeSource = int64_t (*)(); // microseconds since 1970

    // A connection number no other connection of this program has had: the servers' connections
    // and the streams of capture files draw from one counter, so a number names one conversation.
    static uint64_t NewConnectionId();

    CPacketLog();
    ~CPacketLog();
    CPacketLog(const CPacketLog&) = delete;
    CPacketLog& operator=(const CPacketLog&) = delete;

    // A PDU the servers received or sent, stored now unless the filter drops it. sourceAddress:
    // first octet in the most significant byte. False when there is no area or the record is
    // larger than the whole area; true otherwise, also when the filter drops the PDU.
    bool AddPacket(uint16_t protocol, uint32_t sourceAddress, uint16_t sourcePort,
                   const uint8_t* pdu, uint32_t length, int32_t filterIndex, PacketPeer peer = {},
                   uint64_t connection = 0, bool fromServer = false);
    // A PDU opened from a capture file: stored with its own time (microseconds) and past the
    // filter, which sorts only what the servers see; false as for AddPacket.
    bool AddCaptured(uint16_t protocol, int64_t timeUs, uint32_t sourceAddress, uint16_t sourcePort,
                     PacketPeer peer, const uint8_t* pdu, uint32_t length, uint64_t connection = 0,
                     bool fromServer = false);
    // A PDU the user typed in, stored now, past the filter, with no address, port or connection.
    bool AddTyped(uint16_t protocol, const uint8_t* pdu, uint32_t length);
    bool Reset();
    // How often a record found the area full and wiped it, since the log was made.
    int64_t WipeCount() const { return m_wipes; }
    int32_t GetCount() const { return static_cast<int32_t>(m_offsets.size()); }
    // Records stored since the log was made, over every reset: a record's serial number (from 1)
    // is this base plus its index plus one, and never names another record of the run.
    int64_t SerialBase() const { return m_serialBase; }
    // Copies the whole record into buffer, which must hold its packetLength (at most kAreaSize).
    bool GetPacket(int32_t index, uint8_t* buffer, uint32_t* length) const;
    // The stored record in place, or nullptr; valid until the next Reset.
    const uint8_t* PacketAt(int32_t index, uint32_t* length) const;
    // The other end of record index's connection; zero for an index outside the records.
    PacketPeer PeerAt(int32_t index) const { return SummaryAt(index).peer; }
    // What record index is summarised by; all zero for an index outside the records. Inline: the pairing,
    // the statistics and the filter each ask for every record as it is captured.
    const PacketSummary& SummaryAt(int32_t index) const {
        return index >= 0 && index < GetCount() ? m_summaries[static_cast<size_t>(index)] : kNoSummary;
    }
    void SetFilter(const std::string& filter) { m_filter = filter; }
    std::string GetFilter() const { return m_filter; }

    // "Setup"/"ShowUnknown", kept current by the application; applies to the next PDU.
    void SetShowUnknown(bool show) { m_showUnknown = show; }
    bool GetShowUnknown() const { return m_showUnknown; }
    void SetTimeSource(TimeSource source) { m_time = source; }

    // The PDUs a server cuts from one read of a connection arrived together, and share one clock read: the
    // first of them stored after BeginArrivals reads the clock, the others take its time, until EndArrivals.
    // None takes a time before that of a record stored earlier, so a live capture's times never go back.
    // What the servers send is stamped as it goes, each with its own read.
    void BeginArrivals() { m_arrivals = true, m_arrivalUs = kNoTime; }
    void EndArrivals() { m_arrivals = false; }

    // Listeners are not owned and must be removed before they are destroyed.
    void AddListener(CPacketLogListener* listener);
    void RemoveListener(CPacketLogListener* listener);

private:
    static inline const PacketSummary kNoSummary{};
    // Makes room for a record of length PDU octets, wiping a full area; false when it can never fit.
    bool MakeRoom(uint32_t length);
    // The time of a live PDU: its own clock read, or its read's when it arrived with others.
    int64_t LiveTime(bool fromServer);
    // summary holds everything but what the PDU's header says.
    bool Store(PacketSummary& summary, const uint8_t* pdu, uint32_t length);

    std::vector<uint8_t> m_area; // empty until the first Reset
    std::vector<uint32_t> m_offsets;
    std::vector<PacketSummary> m_summaries; // one per offset
    uint32_t m_used = 0;
    int64_t m_serialBase = 0;
    int64_t m_wipes = 0;
    bool m_showUnknown = true;
    std::string m_filter = std::string(kFilterLength, '1');
    TimeSource m_time;
    static constexpr int64_t kNoTime = INT64_MIN;
    bool m_arrivals = false;
    int64_t m_arrivalUs = kNoTime; // the clock read the arrivals share, once the first is stored
    int64_t m_lastLiveUs = kNoTime;
    std::vector<CPacketLogListener*> m_listeners;
};
