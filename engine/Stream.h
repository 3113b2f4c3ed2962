// How a connection's octets travel: a plain TCP descriptor the server reads and writes itself, or Qt's
// TLS socket.
#pragma once

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <string>

class QSocketNotifier;
class QTcpSocket;

// One connection's byte stream, owned by its server until the server lets it go with CloseAfterFlush
// or Abort; from then on it deletes itself. Written octets are queued and go out together when the
// server flushes or on the next turn of the event loop, so the answers to one read leave in one write.
// UI thread only.
class CStream : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Octets read (never more than length); 0 once the peer has closed or the stream failed; -1 when
    // nothing is waiting now.
    virtual int64_t Read(void* buffer, int64_t length) = 0;
    // Reads and drops what is waiting: nobody reads a closing connection, and a talkative peer must not
    // fill our memory.
    virtual void Discard() = 0;
    // Queues the octets; -1 once the stream can no longer send (the peer closed, a send failed).
    virtual int64_t Write(const void* buffer, int64_t length) = 0;
    virtual void Flush() = 0;                // sends what the kernel takes now
    virtual int64_t Unsent() const = 0;      // octets queued and not yet taken by the kernel
    virtual bool IsOpen() const = 0;         // false once the peer closed or the stream failed
    // Off: Readable is not told, and what the peer sends waits in the kernel (TCP slows the peer).
    virtual void SetReading(bool on) = 0;
    // Sends what is queued within limitMs, then closes and deletes itself.
    virtual void CloseAfterFlush(int limitMs) = 0;
    // Drops what is queued, closes and deletes itself.
    virtual void Abort() = 0;
    virtual QHostAddress PeerAddress() const = 0;
    virtual uint16_t PeerPort() const = 0;

signals:
    void Readable(); // octets are waiting (or the peer has closed): Read them
    void Closed();   // the peer closed, or the connection failed
    void Written();  // queued octets went out
};

// A plain TCP connection on its accepted descriptor, read straight into the caller's buffer: no copy
// through a socket class's own buffer and no asking the kernel how much is waiting before each read.
class CPlainStream final : public CStream {
    Q_OBJECT
public:
    // Takes the descriptor (non-blocking from here on) and turns Nagle off: answers are small and a
    // peer waits for each.
    CPlainStream(int descriptor, QObject* parent);
    ~CPlainStream() override;

    int Descriptor() const { return m_fd; }
    int64_t Read(void* buffer, int64_t length) override;
    void Discard() override;
    int64_t Write(const void* buffer, int64_t length) override;
    void Flush() override;
    int64_t Unsent() const override { return int64_t(m_out.size() - m_outStart); }
    bool IsOpen() const override { return m_open; }
    void SetReading(bool on) override;
    void CloseAfterFlush(int limitMs) override;
    void Abort() override;
    QHostAddress PeerAddress() const override { return m_peerAddress; }
    uint16_t PeerPort() const override { return m_peerPort; }

private:
    // The peer closed or a read or send failed: nothing more is read or queued, and the server hears of it
    // on the next turn, once it has finished handling what it was given.
    void Fail();
    void Drop(int reads); // reads and drops what is waiting, at most reads times
    void CloseNow();

    int m_fd;
    QSocketNotifier* m_readable;
    QSocketNotifier* m_writable;
    std::string m_out;         // octets [m_outStart, end) wait to go out
    std::size_t m_outStart = 0;
    bool m_open = true;
    bool m_closeWhenFlushed = false;
    QHostAddress m_peerAddress;
    uint16_t m_peerPort = 0;
};

// Qt's socket, for TLS: it encrypts and decrypts, holding at most kReadBufferOctets read ahead.
class CQtStream final : public CStream {
    Q_OBJECT
public:
    static constexpr int kReadBufferOctets = 64 * 1024;

    // Takes the socket over (it becomes this stream's child).
    CQtStream(QTcpSocket* socket, QObject* parent);

    int64_t Read(void* buffer, int64_t length) override;
    void Discard() override;
    int64_t Write(const void* buffer, int64_t length) override;
    void Flush() override;
    int64_t Unsent() const override;
    bool IsOpen() const override;
    void SetReading(bool /*on*/) override {} // Qt stops reading by itself once its read buffer is full
    void CloseAfterFlush(int limitMs) override;
    void Abort() override;
    QHostAddress PeerAddress() const override;
    uint16_t PeerPort() const override;

private:
    QTcpSocket* m_socket;
};
