// Time and heap allocations of one decode of typical captured SMPP records.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "tests/support/Bytes.h"

// Every heap allocation of the process is counted, so a benchmark can report allocations per decode.
namespace {
std::atomic<long> g_allocations{0};
}

// The replacements pair malloc with free by design; the compiler cannot see that through inlining.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

// A submit_sm as an ESME sends it: addresses, a registered delivery, a 38-character text and the
// three concatenation parameters.
Bytes SubmitSm(const Bytes& text, uint8_t dataCoding) {
    Builder body;
    body.cstr("CMT").u8(1).u8(1).cstr("8613800138000").u8(1).u8(1).cstr("8613900139000");
    body.u8(0x00).u8(0).u8(0).cstr("").cstr("").u8(1).u8(0).u8(dataCoding).u8(0);
    body.u8(static_cast<uint32_t>(text.size())).raw(text);
    body.u16(0x020C).u16(2).u16(17).u16(0x020E).u16(1).u8(2).u16(0x020F).u16(1).u8(1);
    return CaptureRecord(2, SmppPdu(4, 12345, body), 1700000000, 0xC0A80105, 40123);
}

void Run(benchmark::State& state, const Bytes& record) {
    CPacketDecoder decoder;
    const int32_t total = static_cast<int32_t>(record.size());
    decoder.Decode(record.data(), total); // warm the line vector's capacity
    const long before = g_allocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(decoder.Decode(record.data(), total));
        benchmark::DoNotOptimize(decoder.Lines().data());
    }
    const double decodes = static_cast<double>(state.iterations());
    state.counters["lines"] = static_cast<double>(decoder.Lines().size());
    state.counters["allocs/decode"] = static_cast<double>(g_allocations.load() - before) / decodes;
    long longTexts = 0; // texts beyond the small-string buffer need a heap block of their own
    for (const DecodeLine& line : decoder.Lines()) longTexts += line.text.size() > 15;
    state.counters["long texts"] = static_cast<double>(longTexts);
}

void BM_DecodeSubmitSm(benchmark::State& state) {
    Run(state, SubmitSm(Builder().raw("Your verification code is 482913. Bye!"), 0));
}
BENCHMARK(BM_DecodeSubmitSm);

void BM_DecodeSubmitSmGbk(benchmark::State& state) {
    // "你好，验证码482913" in GBK: the text goes through the code-page converter.
    Run(state, SubmitSm(Bytes{0xC4, 0xE3, 0xBA, 0xC3, 0xA3, 0xAC, 0xD1, 0xE9, 0xD6, 0xA4, 0xC2, 0xEB,
                              '4', '8', '2', '9', '1', '3'},
                        15));
}
BENCHMARK(BM_DecodeSubmitSmGbk);

void BM_DecodeSubmitSmUcs2(benchmark::State& state) {
    Run(state, SubmitSm(Builder().u16(0x4F60).u16(0x597D).u16(0xFF0C).u16(0x9A8C).u16(0x8BC1).u16(0x7801), 8));
}
BENCHMARK(BM_DecodeSubmitSmUcs2);

} // namespace

BENCHMARK_MAIN();
