// CConnection: a connection's name and its reads and writes.
#include "engine/Connection.h"

#include "engine/Stream.h"

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
    return m_stream->Read(buffer, length);
}

int64_t CConnection::Send(const void* buffer, int64_t length) {
    if (length < 0 || (buffer == nullptr && length > 0))
        return -1;
    return m_stream->Write(buffer, length);
}

bool CConnection::HoldReadingIfBacklogged() {
    if (!m_readingHeld && Unsent() > kMaxUnsentOctets) {
        m_readingHeld = true;
        m_stream->SetReading(false);
    }
    return m_readingHeld;
}

int64_t CConnection::Unsent() const {
    return m_stream->Unsent();
}
