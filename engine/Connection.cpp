// CConnection: a connection's name and its reads and writes.
#include "engine/Connection.h"

#include <QSslSocket>

#include <cstring>

void CConnection::SetName(const char* name) {
    const char* source = name == nullptr ? "" : name;
    std::size_t length = 0;
    while (length < kNameSize - 1 && source[length] != '\0')
        ++length;
    std::memmove(m_name, source, length); // the name may be set from itself
    std::memset(m_name + length, 0, kNameSize - length);
}

int64_t CConnection::Receive(void* buffer, int64_t length) {
    if (buffer == nullptr || length <= 0 || m_closing)
        return -1;
    if (HoldReadingIfBacklogged())
        return -1;
    if (m_socket->bytesAvailable() > 0)
        return m_socket->read(static_cast<char*>(buffer), length);
    return m_socket->state() == QAbstractSocket::ConnectedState ? -1 : 0;
}

int64_t CConnection::Send(const void* buffer, int64_t length) {
    if (length < 0 || (buffer == nullptr && length > 0))
        return -1;
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    if (length == 0)
        return 0;
    return m_socket->write(static_cast<const char*>(buffer), length);
}

bool CConnection::HoldReadingIfBacklogged() {
    if (!m_readingHeld && Unsent() > kMaxUnsentOctets)
        m_readingHeld = true;
    return m_readingHeld;
}

int64_t CConnection::Unsent() const {
    // A TLS socket's own count is of the plain text still to encrypt; what it has encrypted waits below it.
    const int64_t encrypted = m_tls ? static_cast<const QSslSocket*>(m_socket)->encryptedBytesToWrite() : 0;
    return m_socket->bytesToWrite() + encrypted;
}
