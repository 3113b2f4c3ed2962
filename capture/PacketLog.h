// The capture log: every PDU the servers receive or send, filtered, in one fixed byte area.
#pragma once

#include "capture/PacketRecord.h"

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
    virtual void OnLogReset() = 0;
    // Every record is about to go: the last moment they can be read.
    virtual void OnLogResetting() {}
};

// The other end of a record's connection: the server's end for a PDU it received, the client's end
// for one it sent. Kept beside the records, not in them, so that a capture file can rebuild both
// ends of every connection; zero address and port when nobody said.
struct PacketPeer {
    uint32_t address = 0; // first octet in the most significant byte
    uint16_t port = 0;
    bool operator==(const PacketPeer&) const = default;
};

// What the log keeps beside each record, outside the record's fixed layout.
struct PacketContext {
    PacketPeer peer;
    int64_t timeUs = 0;      // capture time, microseconds since 1970 (the record keeps whole seconds)
    uint64_t connection = 0; // the connection the PDU travelled on (CPacketLog::NewConnectionId); 0 when unknown
    bool typed = false;      // typed in by the user: no connection carried it, and no capture file gets it
    bool fromServer = false; // the server's end sent it ("out"); false: the server's end received it ("in")
};

// Keeps PacketRecords (16-byte capture header + PDU) back to back in a 1 MiB area that is
// allocated by the first Reset and wiped whole, never evicted record by record. Plain C++,
// no Qt; called from the UI thread only.
//
// Capture header, little-endian except the address: packetLength u32, time u32,
// sourceAddress 4 bytes first octet first, sourcePort u16, protocol u16.
class CPacketLog {
public:
    static constexpr uint32_t kAreaSize = 1048576;
    static constexpr uint32_t kHeaderSize = packet_record::kHeaderSize;
    static constexpr int kFilterLength = 30;
    static constexpr int kUnknownFilterIndex = -1;

    using TimeSource = int64_t (*)(); // microseconds since 1970

    // A connection number no other connection of this program has had: the servers' connections
    // and the streams of capture files draw from one counter, so a number names one conversation.
    static uint64_t NewConnectionId();

    CPacketLog();
    ~CPacketLog();
    CPacketLog(const CPacketLog&) = delete;
    CPacketLog& operator=(const CPacketLog&) = delete;

    // sourceAddress: first octet in the most significant byte. False when there is no area or
    // no room (the log is then full); true otherwise, also when the filter drops the PDU.
    bool AddPacket(uint16_t protocol, uint32_t sourceAddress, uint16_t sourcePort,
                   const uint8_t* pdu, uint32_t length, int32_t filterIndex, PacketPeer peer = {},
                   uint64_t connection = 0, bool fromServer = false);
    // A PDU captured elsewhere (a capture file): stored with its own time (microseconds) and past
    // the filter, which sorts only what the servers see. False when there is no area or no room (then full).
    bool AddCaptured(uint16_t protocol, int64_t timeUs, uint32_t sourceAddress, uint16_t sourcePort,
                     PacketPeer peer, const uint8_t* pdu, uint32_t length, uint64_t connection = 0,
                     bool fromServer = false);
    // A PDU the user typed in, stored now, past the filter, with no address, port or connection.
    bool AddTyped(uint16_t protocol, const uint8_t* pdu, uint32_t length);
    bool Reset();
    // Called by the servers once a received PDU and its answers are captured: a log that filled
    // up is wiped whole here, so capturing goes on. True when it wiped.
    bool WipeIfFull();
    int32_t GetCount() const { return static_cast<int32_t>(m_offsets.size()); }
    // Records stored since the log was made, over every reset: a record's serial number (from 1)
    // is this base plus its index plus one, and never names another record of the run.
    int64_t SerialBase() const { return m_serialBase; }
    // Copies the whole record into buffer, which must hold its packetLength (at most kAreaSize).
    bool GetPacket(int32_t index, uint8_t* buffer, uint32_t* length) const;
    // The stored record in place, or nullptr; valid until the next Reset.
    const uint8_t* PacketAt(int32_t index, uint32_t* length) const;
    // The other end of record index's connection; zero for an index outside the records.
    PacketPeer PeerAt(int32_t index) const { return ContextAt(index).peer; }
    // What is kept beside record index; all zero for an index outside the records.
    const PacketContext& ContextAt(int32_t index) const;
    void SetFilter(const std::string& filter) { m_filter = filter; }
    std::string GetFilter() const { return m_filter; }
    bool IsFull() const { return m_full; }

    // "Setup"/"ShowUnknown", kept current by the application; applies to the next PDU.
    void SetShowUnknown(bool show) { m_showUnknown = show; }
    bool GetShowUnknown() const { return m_showUnknown; }
    void SetTimeSource(TimeSource source) { m_time = source; }

    // Listeners are not owned and must be removed before they are destroyed.
    void AddListener(CPacketLogListener* listener);
    void RemoveListener(CPacketLogListener* listener);

private:
    std::vector<uint8_t> m_area; // empty until the first Reset
    bool Fits(uint32_t length);
    bool Store(uint16_t protocol, uint32_t sourceAddress, uint16_t sourcePort, const PacketContext& context,
               const uint8_t* pdu, uint32_t length);

    std::vector<uint32_t> m_offsets;
    std::vector<PacketContext> m_contexts; // one per offset
    uint32_t m_used = 0;
    int64_t m_serialBase = 0;
    bool m_full = false;
    bool m_showUnknown = true;
    std::string m_filter = std::string(kFilterLength, '1');
    TimeSource m_time;
    std::vector<CPacketLogListener*> m_listeners;
};
