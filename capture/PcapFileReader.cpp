// libpcap's offline reading: pcap and pcapng alike.
#include "capture/PcapFileReader.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <cstdio>

namespace {

pcap_t* Handle(void* handle) { return static_cast<pcap_t*>(handle); }

int64_t SizeOf(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return 0;
    const long size = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    return size < 0 ? 0 : size;
}

} // namespace

CPcapFileReader::~CPcapFileReader() {
    if (m_handle)
        pcap_close(Handle(m_handle)); // closes the file too
}

bool CPcapFileReader::Open(const std::string& path, std::string& error) {
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_open_offline(path.c_str(), errorBuffer);
    if (!handle) {
        // libpcap names the file in some messages (it cannot open it) and not in others (not a capture).
        const std::string message = errorBuffer;
        error = message.rfind(path, 0) == 0 ? message : path + ": " + message;
        return false;
    }
    m_handle = handle;
    if (std::FILE* file = pcap_file(handle))
        m_size = SizeOf(file);
    return true;
}

bool CPcapFileReader::OpenMemory(const uint8_t* bytes, size_t size, std::string& error) {
    std::FILE* file = size ? fmemopen(const_cast<uint8_t*>(bytes), size, "rb") : nullptr;
    if (!file) {
        error = "the file is empty";
        return false;
    }
    char errorBuffer[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_fopen_offline(file, errorBuffer);
    if (!handle) {
        std::fclose(file);
        error = errorBuffer;
        return false;
    }
    m_handle = handle;
    m_size = static_cast<int64_t>(size);
    return true;
}

int CPcapFileReader::LinkType() const { return m_handle ? pcap_datalink(Handle(m_handle)) : -1; }

CPcapFileReader::Result CPcapFileReader::Next(PcapFrame& frame) {
    if (!m_handle)
        return Result::End;
    struct pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int result = pcap_next_ex(Handle(m_handle), &header, &data);
    if (result == PCAP_ERROR_BREAK)
        return Result::End;
    if (result != 1)
        return Result::Error;
    frame.timeUs = int64_t(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
    frame.captured = header->caplen;
    frame.length = header->len;
    frame.data = data;
    return Result::Frame;
}

std::string CPcapFileReader::Error() const { return m_handle ? pcap_geterr(Handle(m_handle)) : std::string(); }

double CPcapFileReader::Progress() const {
    std::FILE* file = m_handle ? pcap_file(Handle(m_handle)) : nullptr;
    const long at = file ? std::ftell(file) : -1;
    if (at < 0 || m_size <= 0)
        return 0.0;
    return std::min(1.0, double(at) / double(m_size));
}
