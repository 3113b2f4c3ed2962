// libpcap's file reading behind a header of our own: libpcap's `struct pcap` and the `pcap` namespace
// of the capture-file code cannot meet in one translation unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PcapFrame {
    int64_t timeUs = 0; // microseconds since 1970, as libpcap gives them (nanosecond files rounded down)
    uint32_t captured = 0; // octets in data
    uint32_t length = 0;   // octets on the wire
    const uint8_t* data = nullptr;
};

// Reads a pcap or pcapng file frame by frame; the frame's data stays valid until the next call.
class CPcapFileReader {
public:
    enum class Result { Frame, End, Error };

    CPcapFileReader() = default;
    ~CPcapFileReader();
    CPcapFileReader(const CPcapFileReader&) = delete;
    CPcapFileReader& operator=(const CPcapFileReader&) = delete;

    bool Open(const std::string& path, std::string& error);
    // bytes are read in place and must outlive the reader.
    bool OpenMemory(const uint8_t* bytes, size_t size, std::string& error);
    int LinkType() const; // libpcap's DLT number
    Result Next(PcapFrame& frame);
    std::string Error() const; // after Result::Error
    double Progress() const;   // 0 .. 1

private:
    void* m_handle = nullptr;
    int64_t m_size = 0;
};
