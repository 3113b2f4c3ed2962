// A server engine for protocols whose PDUs open with their own 32-bit big-endian length.
#pragma once

#include "engine/SocketServer.h"

#include <cstdint>

// Cuts PDUs out of each connection's byte stream into a receive buffer of the longest PDU the
// protocol admits (allocated at accept, freed at close), and hands each complete one to the
// derived server. UI thread only.
class CFramedServer : public CSocketServer {
public:
protected:
    // headerSize: octets before the length can be trusted to be there (the whole header);
    // maxPduSize: the receive buffer, and the longest length field accepted.
    CFramedServer(int headerSize, int maxPduSize, QObject* parent);
    ~CFramedServer() override;

    // A complete PDU of length octets (its own length field), header included.
    virtual void HandlePdu(int index, const uint8_t* pdu, uint32_t length) = 0;
    // The header announced a length below the header or above the buffer: the stream can no
    // longer be cut into PDUs. header holds exactly headerSize octets.
    virtual void HandleBadLength(int index, const uint8_t* header) = 0;

    int HeaderSize() const { return m_headerSize; }

    void OnAccept(int index) override;
    void OnReceive(int index) override;
    void OnClose(int index) override;

private:
    void ResetFraming(int index);

    const int m_headerSize;
    const int m_maxPduSize;
};
