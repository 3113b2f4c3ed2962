// Every SMPP request and response decodes to its exact lines: texts, offsets, widths, icons and names.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/PacketDecoder.h"
#include "tests/support/Bytes.h"
#include "tests/support/DecodeExpect.h"

namespace {

using test_bytes::Builder;
using test_bytes::CaptureRecord;
using test_bytes::SmppPdu;
using namespace test_decode;

Bytes CasePdu(uint32_t commandId, const Bytes& body) { return SmppPdu(commandId, 7, body); }

const Protocol kSmpp{2, "SMPP", 1890, "SMPP: ----- SMPP protocol -----", 160, 156,
                     {{1891, "SMPP: Command length", 4}, {1892, "SMPP: Command ID", 4},
                      {1893, "SMPP: Command status", 4}, {1894, "SMPP: Sequence number", 4}},
                     CasePdu, {"0x00000000 (No Error)", "7"}};

CPacketDecoder& Decoder() {
    static CPacketDecoder decoder;
    return decoder;
}

void RunCases(const std::vector<PduCase>& cases) { RunPduCases(Decoder(), kSmpp, cases); }

const Bytes kScInterfaceVersion = Builder().u16(0x0210).u16(1).u8(0x34);
const std::vector<Field> kTrxRespHead = {{2110, "BNDRCV_RESP: ----- ESME Transceiver resp -----", 0},
                                         {2111, "BNDRCV_RESP: system_id = ", 1}};

// The capture header once; commands without a body end after the sequence number with no error
// line and report false; statuses are named by a row, by the wildcard, or not at all when too
// large to look up.
TEST(SmppTable, Headers) {
    const char* kThrottled = "0x00000058 (Throttling error (ESME has exceeded allowed message limits))";
    Expect whole;
    whole.CaptureHeader(kSmpp, 32).Header(kSmpp, {"16", "0x00000015 (enquire_link)", "0x00000000 (No Error)", "7"});
    ExpectDecode(Decoder(), CaptureRecord(2, SmppPdu(0x15, 7)), false, whole.lines());
    RunCases({
        {"enquire_link_resp", 0x80000015, "enquire_link_resp", {}, {}, false},
        {"unbind", 0x00000006, "unbind", {}, {}, false},
        {"unbind_resp", 0x80000006, "unbind_resp", {}, {}, false},
        {"replace_sm_resp", 0x80000007, "replace_sm_resp", {}, {}, false},
        {"cancel_sm_resp", 0x80000008, "cancel_sm_resp", {}, {}, false},
        {"outbind", 0x0000000B, "outbind", {}, {}, false},
        {"alert_notification", 0x00000102, "alert_notification", {}, {}, false},
        {"unknown command", 0x00000099, "未知", {}, {}, false},
    });
    const struct {
        uint32_t status;
        const char* text;
    } statuses[] = {
        {3, "0x00000003 (Invalid Command ID)"},
        {0x58, kThrottled},
        {9, "0x00000009 (Reserved)"},
        {0x42, "0x00000042 (Invalid ‘submit with replace’ request(i.e. submit_sm with replace_if_present_flag set))"},
        {0xFF, "0x000000FF (Unknown Error)"},
        {0x400, "0x00000400 (Reserved)"},
        {0x80000001, "0x80000001"},
    };
    for (const auto& st : statuses) {
        SCOPED_TRACE(st.text);
        const Bytes record = CaptureRecord(2, SmppPdu(0x80000000, 0x7FFFFFFF, {}, st.status));
        ExpectDecode(Decoder(), record, false,
                     Expect().Header(kSmpp, {"16", "0x80000000 (generic_nack)", st.text, "2147483647"}).lines(), 6);
    }
    // A status response may come without its body: the walk ends normally after the header.
    ExpectDecode(Decoder(), CaptureRecord(2, SmppPdu(0x80000004, 3, {}, 0x58)), true,
                 Expect().Header(kSmpp, {"16", "0x80000004 (submit_sm_resp)", kThrottled, "3"}).lines(), 6);
    // A record cut inside the header fails on the header field that does not fit.
    const Bytes enquire = SmppPdu(0x15, 7);
    ExpectDecode(Decoder(), CaptureRecord(2, Bytes(enquire.begin(), enquire.begin() + 10)), false,
                 Expect().Header(kSmpp, {"16", "0x00000015 (enquire_link)"}).lines(), 6);
}

TEST(SmppTable, BindsAndTheirResponses) {
    RunCases({
        {"bind_receiver", 0x00000001, "bind_receiver",
         Builder().cstr("esme01").cstr("secret").cstr("").u8(0x34).u8(1).u8(1).cstr(""),
         {{1900, "BNDRCV: ----- ESME Receiver -----", 0}, {1901, "BNDRCV: system_id = esme01", 7},
          {1902, "BNDRCV: password = secret", 7}, {1903, "BNDRCV: system_type = ", 1},
          {1904, "BNDRCV: interface_version = 3.4", 1}, {1905, "BNDRCV: addr_ton = 1 (International)", 1},
          {1906, "BNDRCV: addr_npi = 1 (ISDN - E163/E164)", 1}, {1907, "BNDRCV: address_range = ", 1}}},
        {"bind_transmitter", 0x00000002, "bind_transmitter",
         Builder().cstr("smsc_tx").cstr("pw").cstr("VMS").u8(0x33).u8(5).u8(0).cstr("1380013"),
         {{1920, "BNDTRN: ----- ESME Transmitter -----", 0}, {1921, "BNDTRN: system_id = smsc_tx", 8},
          {1922, "BNDTRN: password = pw", 3}, {1923, "BNDTRN: system_type = VMS", 4},
          {1924, "BNDTRN: interface_version = 3.3", 1}, {1925, "BNDTRN: addr_ton = 5 (Alphanumeric)", 1},
          {1926, "BNDTRN: addr_npi = 0 (Unknown)", 1}, {1927, "BNDTRN: address_range = 1380013", 8}}},
        {"bind_transceiver with unnamed ton and npi", 0x00000009, "bind_transceiver",
         Builder().cstr("trx").cstr("").cstr("").u8(0x50).u8(7).u8(2).cstr(""),
         {{2100, "BNDRCV: ----- ESME Transceiver -----", 0}, {2101, "BNDRCV: system_id = trx", 4},
          {2102, "BNDRCV: password = ", 1}, {2103, "BNDRCV: system_type = ", 1},
          {2104, "BNDRCV: interface_version = 5.0", 1}, {2105, "BNDRCV: addr_ton = 7 (Reserved)", 1},
          {2106, "BNDRCV: addr_npi = 2 (reserved)", 1}, {2107, "BNDRCV: address_range = ", 1}}},
        {"bind_receiver_resp", 0x80000001, "bind_receiver_resp", Builder().cstr("esme01").raw(kScInterfaceVersion),
         {{1910, "BNDRCV_RESP: ----- ESME Receiver resp -----", 0}, {1911, "BNDRCV_RESP: system_id = esme01", 7},
          {1912, "BNDRCV_RESP TLV: SC_interface_version(Generic) = 52", 5}}},
        {"bind_transmitter_resp", 0x80000002, "bind_transmitter_resp",
         Builder().cstr("smsc_tx").raw(kScInterfaceVersion),
         {{1930, "BNDTRN_RESP: ----- ESME Transmitter resp -----", 0}, {1931, "BNDTRN_RESP: system_id = smsc_tx", 8},
          {1932, "BNDTRN_RESP TLV: SC_interface_version(Generic) = 52", 5}}},
        {"bind_transceiver_resp to an empty system_id", 0x80000009, "bind_transceiver_resp",
         Builder().cstr("").raw(kScInterfaceVersion),
         Join(kTrxRespHead, {{2112, "BNDRCV_RESP TLV: SC_interface_version(Generic) = 52", 5}})},
        {"bind_receiver_resp without optional parameters", 0x80000001, "bind_receiver_resp", Builder().cstr("esme01"),
         {{1910, "BNDRCV_RESP: ----- ESME Receiver resp -----", 0}, {1911, "BNDRCV_RESP: system_id = esme01", 7}}},
    });
}

// A submit_sm from no one to 10086 with the given data_coding and short message.
Bytes SubmitSmBody(uint8_t dataCoding, const Bytes& message, const Bytes& tail = {}) {
    return Builder().cstr("").u8(0).u8(0).cstr("").u8(1).u8(1).cstr("10086").u8(0).u8(0).u8(0).cstr("").cstr("")
        .u8(0).u8(0).u8(dataCoding).u8(0).u8(static_cast<uint32_t>(message.size())).raw(message).raw(tail);
}

// Its lines up to sm_length, and from sm_length on.
std::vector<Field> SubmitSmHead(const std::string& coding) {
    return {{1940, "SUB_SM: ----- ESME submit a short message -----", 0},
            {1941, "SUB_SM: service_type = ", 1}, {1942, "SUB_SM: source_addr_ton = 0 (Unknown)", 1},
            {1943, "SUB_SM: source_addr_npi = 0 (Unknown)", 1}, {1944, "SUB_SM: source_addr = ", 1},
            {1945, "SUB_SM: dest_addr_ton = 1 (International)", 1},
            {1946, "SUB_SM: dest_addr_npi = 1 (ISDN - E163/E164)", 1}, {1947, "SUB_SM: destination_addr = 10086", 6},
            {1948, "SUB_SM: esm_class = 00000000 (GSM=No specific features selected; Type=Default message Type; Mode=Default SMSC Mode)", 1},
            {1950, "SUB_SM: protocol_id = 0", 1}, {1951, "SUB_SM: priority_flag = 0 (Level 0 (lowest) priority)", 1},
            {1952, "SUB_SM: schedule_delivery_time = ", 1}, {1953, "SUB_SM: validity_period = ", 1},
            {1954, "SUB_SM: registered_delivery = 0 (No SMSC Delivery Receipt requested)", 1},
            {1955, "SUB_SM: replace_if_present_flag = 0 (Don't replace)", 1},
            {1956, "SUB_SM: data_coding = " + coding, 1},
            {1957, "SUB_SM: sm_default_msg_id = 0", 1}};
}
std::vector<Field> SubmitSmLines(const std::string& coding, const std::string& length, const std::string& message,
                                 int32_t width) {
    return Join(SubmitSmHead(coding),
                {{1958, "SUB_SM: sm_length = " + length, 1}, {1959, "SUB_SM: short_message = " + message, width}});
}

// submit_multi from 10086 up to its number_of_dests, and submit_multi_resp up to no_unsuccess.
std::vector<Field> MultiHead(int count) {
    return {{2180, "SUB_MULTI: ----- ESME submit a SM for delivery to multiple recipients -----", 0},
            {2181, "SUB_MULTI: service_type = ", 1}, {2182, "SUB_MULTI: source_addr_ton = 1 (International)", 1},
            {2183, "SUB_MULTI: source_addr_npi = 1 (ISDN - E163/E164)", 1}, {2184, "SUB_MULTI: source_addr = 10086", 6},
            {2185, "SUB_MULTI: number_of_dests = " + std::to_string(count), 1}};
}
std::vector<Field> MultiRespHead(int failed) {
    return {{2205, "SUB_MULTI_RESP: ----- ESME submit a SM for delivery to multiple recipients resp -----", 0},
            {2206, "SUB_MULTI_RESP: message_id = 000003", 7},
            {2207, "SUB_MULTI_RESP: no_unsuccess = " + std::to_string(failed), 1}};
}

TEST(SmppTable, MessageOperations) {
    const Bytes multiResp =
        Builder().cstr("000003").u8(2).u8(1).u8(1).cstr("111").u32(0x11).u8(0).u8(0).cstr("").u32(0x58);
    RunCases({
        {"submit_sm with optional parameters", 0x00000004, "submit_sm",
         Builder().cstr("").u8(1).u8(1).cstr("8613800138000").u8(0).u8(9).cstr("10086").u8(0x40).u8(0).u8(3)
             .cstr("").cstr("000001000000000R").u8(1).u8(0).u8(0).u8(0).u8(5).raw("hello")
             .u16(0x020C).u16(2).u16(42).u16(0x020E).u16(1).u8(3).u16(0x020F).u16(1).u8(1).u16(0x1234).u16(2).raw("ab"),
         {{1940, "SUB_SM: ----- ESME submit a short message -----", 0}, {1941, "SUB_SM: service_type = ", 1},
          {1942, "SUB_SM: source_addr_ton = 1 (International)", 1},
          {1943, "SUB_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1},
          {1944, "SUB_SM: source_addr = 8613800138000", 14}, {1945, "SUB_SM: dest_addr_ton = 0 (Unknown)", 1},
          {1946, "SUB_SM: dest_addr_npi = 9 (Private)", 1}, {1947, "SUB_SM: destination_addr = 10086", 6},
          {1948, "SUB_SM: esm_class = 01000000 (GSM=UDHI Indicator; Type=Default message Type; Mode=Default SMSC Mode)", 1},
          {1950, "SUB_SM: protocol_id = 0", 1}, {1951, "SUB_SM: priority_flag = 3 (Level 3 (highest) priority)", 1},
          {1952, "SUB_SM: schedule_delivery_time = ", 1}, {1953, "SUB_SM: validity_period = 000001000000000R", 17},
          {1954, "SUB_SM: registered_delivery = 1 (SMSC Delivery Receipt requested where final delivery outcome is delivery success or failure)", 1},
          {1955, "SUB_SM: replace_if_present_flag = 0 (Don't replace)", 1},
          {1956, "SUB_SM: data_coding = 0 (SMSC Default Alphabet)", 1}, {1957, "SUB_SM: sm_default_msg_id = 0", 1},
          {1958, "SUB_SM: sm_length = 5", 1}, {1959, "SUB_SM: short_message = hello", 5},
          {1963, "SUB_SM TLV: sar_msg_ref_num(Generic) = 42", 6},
          {1963, "SUB_SM TLV: sar_total_segments(Generic) = 3", 5},
          {1963, "SUB_SM TLV: sar_segment_seqnum(Generic) = 1", 5}, {1963, "SUB_SM TLV: 未知(0x1234) = ab", 6}}},
        // an empty short message followed by an optional parameter: the message line covers no byte
        {"submit_sm with its text in message_payload", 0x00000004, "submit_sm",
         SubmitSmBody(0, {}, Builder().u16(0x0424).u16(2).raw("hi")),
         Join(SubmitSmLines("0 (SMSC Default Alphabet)", "0 (no user data in short message field)", "", 0),
              {{1963, "SUB_SM TLV: message_payload(Generic) = hi", 6}})},
        {"submit_sm_resp", 0x80000004, "submit_sm_resp", Builder().cstr("000000"),
         {{1965, "SUB_SM_RESP: ----- ESME submit a short message resp -----", 0},
          {1966, "SUB_SM_RESP: message_id = 000000", 7}}},
        // a delivery receipt in UCS-2; the optional parameter after the short message shows no line
        {"deliver_sm", 0x00000005, "deliver_sm",
         Builder().cstr("").u8(1).u8(1).cstr("8613800138000").u8(2).u8(8).cstr("10086").u8(0x04).u8(0).u8(0)
             .cstr("").cstr("").u8(1).u8(0).u8(8).u8(0).u8(4).u16(0x4F60).u16(0x597D).u16(0x001E).u16(4).cstr("abc"),
         {{1970, "DELIVER_SM: ----- SMSC send a message to an ESME -----", 0}, {1971, "DELIVER_SM: service_type = ", 1},
          {1972, "DELIVER_SM: source_addr_ton = 1 (International)", 1},
          {1973, "DELIVER_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1},
          {1974, "DELIVER_SM: source_addr = 8613800138000", 14}, {1975, "DELIVER_SM: dest_addr_ton = 2 (National)", 1},
          {1976, "DELIVER_SM: dest_addr_npi = 8 (National)", 1}, {1977, "DELIVER_SM: destination_addr = 10086", 6},
          {1980, "DELIVER_SM: esm_class = 00000100 (GSM=No specific features selected; Type=Short Message contains SMSC Delivery Receipt; Mode=not applicable)", 1},
          {1981, "DELIVER_SM: protocol_id = 0", 1},
          {1982, "DELIVER_SM: priority_flag = 0 (Level 0 (lowest) priority)", 1},
          {1983, "DELIVER_SM: schedule_delivery_time = ", 1}, {1984, "DELIVER_SM: validity_period = ", 1},
          {1985, "DELIVER_SM: registered_delivery = 1 (SMSC Delivery Receipt)", 1},
          {1986, "DELIVER_SM: replace_if_present_flag = 0 (Don’t replace)", 1},
          {1987, "DELIVER_SM: data_coding = 8 (UCS2 (ISO/IEC-10646))", 1},
          {1988, "DELIVER_SM: sm_default_msg_id = 0", 1}, {1990, "DELIVER_SM: sm_length = 4", 1},
          {1991, "DELIVER_SM: short_message = 你好", 4}}},
        {"deliver_sm_resp", 0x80000005, "deliver_sm_resp", Builder().cstr(""),
         {{1995, "DELIVER_SM_RESP: ----- SMSC send a message to an ESME resp -----", 0},
          {1996, "DELIVER_SM_RESP: message_id = ", 1}}},
        {"query_sm", 0x00000003, "query_sm", Builder().cstr("000042").u8(1).u8(1).cstr("8613800138000"),
         {{2120, "QUERY_SM: ----- ESME query the status of a previously submitted SM -----", 0},
          {2121, "QUERY_SM: message_id = 000042", 7}, {2122, "QUERY_SM: source_addr_ton = 1 (International)", 1},
          {2123, "QUERY_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1},
          {2124, "QUERY_SM: source_addr = 8613800138000", 14}}},
        {"query_sm_resp", 0x80000003, "query_sm_resp", Builder().cstr("000042").cstr("231114221320000+").u8(2).u8(0),
         {{2130, "QUERY_SM_RESP: ----- ESME query the status of a previously submitted SM resp -----", 0},
          {2131, "QUERY_SM_RESP: message_id = 000042", 7}, {2132, "QUERY_SM_RESP: final_date = 231114221320000+", 17},
          {2133, "QUERY_SM_RESP: message_state = 2", 1}, {2134, "QUERY_SM_RESP: error_code = 0", 1}}},
        // replace_sm carries no data_coding, so its short message cannot be read
        {"replace_sm", 0x00000007, "replace_sm",
         Builder().cstr("000001").u8(1).u8(1).cstr("10086").cstr("").cstr("").u8(1).u8(0).u8(5).raw("hello"),
         {{2140, "REPLACE_SM: ----- ESME replace a previously submitted short message -----", 0},
          {2141, "REPLACE_SM: message_id = 000001", 7}, {2142, "REPLACE_SM: source_addr_ton = 1 (International)", 1},
          {2143, "REPLACE_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1}, {2144, "REPLACE_SM: source_addr = 10086", 6},
          {2145, "REPLACE_SM: schedule_delivery_time = ", 1}, {2146, "REPLACE_SM: validity_period = ", 1},
          {2147, "REPLACE_SM: registered_delivery = 1", 1}, {2148, "REPLACE_SM: sm_default_msg_id = 0", 1},
          {2149, "REPLACE_SM: sm_length = 5", 1},
          {2150, "REPLACE_SM: short_message = Unknown data_coding，can't parse!", 5}}},
        {"cancel_sm", 0x00000008, "cancel_sm",
         Builder().cstr("").cstr("000007").u8(1).u8(1).cstr("10086").u8(1).u8(1).cstr("8613800138000"),
         {{2160, "CANCEL_SM: ----- ESME cancel previously submitted short messages -----", 0},
          {2161, "CANCEL_SM: service_type = ", 1}, {2162, "CANCEL_SM: message_id = 000007", 7},
          {2163, "CANCEL_SM: source_addr_ton = 1 (International)", 1},
          {2164, "CANCEL_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1}, {2165, "CANCEL_SM: source_addr = 10086", 6},
          {2166, "CANCEL_SM: dest_addr_ton = 1 (International)", 1},
          {2167, "CANCEL_SM: dest_addr_npi = 1 (ISDN - E163/E164)", 1},
          {2168, "CANCEL_SM: destination_addr = 8613800138000", 14}}},
        {"submit_multi_resp with two failed destinations", 0x80000021, "submit_multi_resp", multiResp,
         {{2205, "SUB_MULTI_RESP: ----- ESME submit a SM for delivery to multiple recipients resp -----", 0},
          {2206, "SUB_MULTI_RESP: message_id = 000003", 7}, {2207, "SUB_MULTI_RESP: no_unsuccess = 2", 1},
          {2208, "SUB_MULTI_RESP: unsuccess_sme(s) = 111", 10}, {2208, "SUB_MULTI_RESP: unsuccess_sme(s) = ", 7}}},
        {"data_sm with optional parameters", 0x00000103, "data_sm",
         Builder().cstr("WAP").u8(1).u8(1).cstr("8613800138000").u8(1).u8(1).cstr("10086").u8(0x03).u8(0).u8(0)
             .u16(0x020A).u16(2).u16(2948).u16(0x020B).u16(2).u16(9200).u16(0x0424).u16(8).raw("hi there"),
         {{2210, "DATA_SM: ----- Transfering data between the SMSC and the ESME -----", 0},
          {2211, "DATA_SM: service_type = WAP", 4}, {2212, "DATA_SM: source_addr_ton = 1 (International)", 1},
          {2213, "DATA_SM: source_addr_npi = 1 (ISDN - E163/E164)", 1},
          {2214, "DATA_SM: source_addr = 8613800138000", 14}, {2215, "DATA_SM: dest_addr_ton = 1 (International)", 1},
          {2216, "DATA_SM: dest_addr_npi = 1 (ISDN - E163/E164)", 1}, {2217, "DATA_SM: destination_addr = 10086", 6},
          {2218, "DATA_SM: esm_class = 00000011 (GSM=No specific features selected; Type=Default message Type; Mode=Store and Forward mode)", 1},
          {2219, "DATA_SM: registered_delivery = 0 (No SMSC Delivery Receipt requested)", 1},
          {2220, "DATA_SM: data_coding = 0 (SMSC Default Alphabet)", 1},
          {2221, "DATA_SM TLV: source_port(Generic) = 2948", 6},
          {2221, "DATA_SM TLV: destination_port(Generic) = 9200", 6},
          {2221, "DATA_SM TLV: message_payload(Generic) = hi there", 12}}},
        {"data_sm_resp", 0x80000103, "data_sm_resp", Builder().cstr("000004"),
         {{2230, "DATA_SM_RESP: ----- Transfering data between the SMSC and the ESME resp -----", 0},
          {2231, "DATA_SM_RESP: message_id = 000004", 7}}},
    });
    // The second deliver_sm carries its text in message_payload: names for other values, an empty message.
    const Bytes record = Record(kSmpp, 5,
                                Builder().cstr("CMT").u8(0).u8(0).cstr("").u8(6).u8(14).cstr("1.2.3.4").u8(0xC0).u8(0)
                                    .u8(1).cstr("").cstr("").u8(0).u8(1).u8(0).u8(0).u8(0)
                                    .u16(0x0424).u16(2).raw("hi"));
    RunLineCases(Decoder(), {
        {"dest_addr_ton 6", record, 1975, "DELIVER_SM: dest_addr_ton = 6 (Abbreviated)", 1},
        {"dest_addr_npi 14", record, 1976, "DELIVER_SM: dest_addr_npi = 14 (Internet - IP)", 1},
        {"esm_class 0xC0", record, 1980,
         "DELIVER_SM: esm_class = 11000000 (GSM=UDHI and Reply Path; Type=Default message Type; Mode=not applicable)", 1},
        {"priority 1", record, 1982, "DELIVER_SM: priority_flag = 1 (Level 1 priority)", 1},
        {"no receipt", record, 1985, "DELIVER_SM: registered_delivery = 0 (NO SMSC Delivery Receipt)", 1},
        {"replace", record, 1986, "DELIVER_SM: replace_if_present_flag = 1 (Replace)", 1},
        {"default alphabet", record, 1987, "DELIVER_SM: data_coding = 0 (SMSC Default Alphabet)", 1},
        {"sm_length 0", record, 1990, "DELIVER_SM: sm_length = 0 (no user data in short message field)", 1},
        // the last line: the parameter after it shows no line
        {"empty short message", record, 1991, "DELIVER_SM: short_message = ", 0,
         static_cast<int32_t>(record.size()) - 6},
    });
}

// submit_multi with its destination list in several shapes; the fields after the list stay in place.
TEST(SmppTable, SubmitMultiDestinationList) {
    const struct {
        const char* name;
        uint8_t count;
        Bytes destinations;
        std::string text;
        int32_t width;
    } shapes[] = {
        {"no destination", 0, {}, "", 0},
        {"one SME address", 1, Builder().u8(1).u8(1).u8(1).cstr("111"), "111", 7},
        {"two SME addresses", 2, Builder().u8(1).u8(1).u8(1).cstr("111").u8(1).u8(2).u8(8).cstr("222"), "111,222", 14},
        {"a distribution list", 1, Builder().u8(2).cstr("friends"), "friends", 9},
        {"an SME address and a distribution list", 2, Builder().u8(1).u8(1).u8(1).cstr("111").u8(2).cstr("friends"),
         "111,friends", 16},
    };
    for (const auto& s : shapes) {
        RunCases({{s.name, 0x00000021, "submit_multi",
                   Builder().cstr("").u8(1).u8(1).cstr("10086").u8(s.count).raw(s.destinations).u8(0).u8(0).u8(2)
                       .cstr("").cstr("").u8(2).u8(1).u8(4).u8(0).u8(3).u8(0x01).u8(0x02).u8(0x03).u16(0x0204).u16(2)
                       .u16(7),
                   Join(MultiHead(s.count),
                        {{2186, "SUB_MULTI: dest_address(es) = " + s.text, s.width},
                         {2187, "SUB_MULTI: esm_class = 00000000 (GSM=No specific features selected; Type=Default message Type; Mode=Default SMSC Mode)", 1},
                         {2188, "SUB_MULTI: protocol_id = 0", 1},
                         {2189, "SUB_MULTI: priority_flag = 2 (Level 2 priority)", 1},
                         {2190, "SUB_MULTI: schedule_delivery_time = ", 1}, {2191, "SUB_MULTI: validity_period = ", 1},
                         {2192, "SUB_MULTI: registered_delivery = 2 (SMSC Delivery Receipt requested where the final delivery outcome is delivery failure)", 1},
                         {2193, "SUB_MULTI: replace_if_present_flag = 1 (Replace)", 1},
                         {2194, "SUB_MULTI: data_coding = 4 (Octet unspecified (8-bit binary))", 1},
                         {2195, "SUB_MULTI: sm_default_msg_id = 0", 1}, {2196, "SUB_MULTI: sm_length = 3", 1},
                         {2197, "SUB_MULTI: short_message = 8-bit binary", 3},
                         {2201, "SUB_MULTI TLV: user_message_reference(Generic) = 7", 6}})}});
    }
}

// The short message by data_coding, and sm_length names by value.
TEST(SmppTable, ShortMessageByDataCoding) {
    const std::string kNoRule = "Unknown data_coding，can't parse!";
    const struct {
        const char* name;
        uint8_t dataCoding;
        Bytes message;
        std::string coding, text, lengthName;
    } rows[] = {
        {"default alphabet", 0, Builder().raw("hello"), "0 (SMSC Default Alphabet)", "hello", ""},
        {"default alphabet ends at a NUL", 0, Builder().raw("hi").u8(0).raw("yo"), "0 (SMSC Default Alphabet)", "hi",
         ""},
        {"UCS-2", 8, Builder().u16(0x4F60).u16(0x597D), "8 (UCS2 (ISO/IEC-10646))", "你好", ""},
        {"UCS-2 of odd length drops the last byte", 8, Builder().u16(0x0041).u16(0x0042).u8(0x00),
         "8 (UCS2 (ISO/IEC-10646))", "AB", ""},
        {"GB2312 text", 15, Builder().u8(0xD6).u8(0xD0).u8(0xCE).u8(0xC4), "15 (GB2312)", "中文", ""},
        {"8-bit data", 4, Builder().u8(0x00).u8(0xFF), "4 (Octet unspecified (8-bit binary))", "8-bit binary", ""},
        {"Latin 1 has no rule", 3, Builder().raw("abc"), "3 (Latin 1 (ISO-8859-1))", kNoRule, ""},
        {"IA5 has no rule", 1, Builder().raw("abc"), "1 (IA5 (CCITT T.50)/ASCII (ANSI X3.4))", kNoRule, ""},
        {"a coding without a name", 11, Builder().raw("abc"), "11 (reserved)", kNoRule, ""},
        {"seventeen octets", 0, Builder().raw("abcdefghijklmnopq"), "0 (SMSC Default Alphabet)", "abcdefghijklmnopq",
         ""},
        {"255 octets", 0, Builder().fill(255, 'x'), "0 (SMSC Default Alphabet)", std::string(255, 'x'),
         " (not allowed)"},
    };
    for (const auto& r : rows) {
        const auto width = static_cast<int32_t>(r.message.size());
        RunCases({{r.name, 0x00000004, "submit_sm", SubmitSmBody(r.dataCoding, r.message),
                   SubmitSmLines(r.coding, std::to_string(width) + r.lengthName, r.text, width)}});
    }
}

// Each optional parameter rule on the line after a bind_transceiver_resp with an empty system_id.
TEST(SmppTable, OptionalParameterLines) {
    const struct {
        const char* name;
        Bytes tlv;
        std::string text; // after "BNDRCV_RESP TLV: "
    } rows[] = {
        {"subunit shows its case byte", Builder().u16(0x0005).u16(1).u8(2), "dest_addr_subunit(GSM) = case 0x02"},
        {"telematics id shows its case byte", Builder().u16(0x0010).u16(1).u8(0xAB),
         "source_telematics_id(GSM) = case 0xAB"},
        {"32-bit value", Builder().u16(0x0017).u16(4).u32(3600), "qos_time_to_live(Generic) = 3600"},
        {"16-bit value", Builder().u16(0x020C).u16(2).u16(0xFFFF), "sar_msg_ref_num(Generic) = 65535"},
        {"one-byte value", Builder().u16(0x0427).u16(1).u8(2), "message_state(Generic) = 2"},
        {"alert has no value text", Builder().u16(0x130C).u16(0), "alert_on_message_delivery(CDMA) = "},
        {"text value without a NUL", Builder().u16(0x001E).u16(3).raw("abc"), "receipted_message_id(Generic) = abc"},
        {"charging number", Builder().u16(0x1738).u16(11).raw("13800138000"), "计费号码) = 13800138000"},
        {"reserved tag", Builder().u16(0xFFFF).u16(0), "Reserved) = "},
        {"unknown tag", Builder().u16(0x1234).u16(2).raw("ab"), "未知(0x1234) = ab"},
    };
    for (const auto& r : rows) {
        RunCases({{r.name, 0x80000009, "bind_transceiver_resp", Builder().cstr("").raw(r.tlv),
                   Join(kTrxRespHead, {{2112, "BNDRCV_RESP TLV: " + r.text, static_cast<int32_t>(r.tlv.size())}})}});
    }
}

// Records that end where the PDU says more follows. The last line is the error line of the field
// that does not fit, at that field's offset, covering only the bytes the record still holds.
TEST(SmppTable, RecordsCutShort) {
    const Bytes submit = SubmitSmBody(0, Builder().raw("hello"));
    std::vector<Field> cutInDestination = SubmitSmHead("");
    cutInDestination.resize(8);
    cutInDestination.back() = {1947, kUnknownError, kRest}; // "100" of "10086"
    std::vector<Field> cutInMessage = SubmitSmLines("0 (SMSC Default Alphabet)", "5", "", 0);
    cutInMessage.back() = {1959, kUnknownError, kRest}; // "he" of "hello"
    const Bytes multiStart = Builder().cstr("").u8(1).u8(1).cstr("10086").u8(2);
    const Bytes multiRespStart = Builder().cstr("000003").u8(1).u8(1).u8(1);
    auto at = [&](int32_t id) { return std::vector<Field>{{id, kUnknownError, kRest}}; };
    RunCases({
        {"inside the destination address", 0x00000004, "submit_sm", submit, cutInDestination, false, 18},
        {"inside the short message", 0x00000004, "submit_sm", submit, cutInMessage, false, 3},
        {"optional parameter longer than the record", 0x80000009, "bind_transceiver_resp",
         Builder().cstr("").u16(0x020C).u16(10).u16(42), Join(kTrxRespHead, at(2112)), false},
        {"optional parameter without its length", 0x80000009, "bind_transceiver_resp",
         Builder().cstr("").u16(0x020C).u8(0), Join(kTrxRespHead, at(2112)), false},
        {"one byte of an optional parameter", 0x80000009, "bind_transceiver_resp", Builder().cstr("").u8(0x02),
         Join(kTrxRespHead, at(2112)), false},
        {"a whole parameter, then a broken one", 0x80000009, "bind_transceiver_resp",
         Builder().cstr("").raw(kScInterfaceVersion).u16(0x0017).u16(4).u16(1),
         Join(kTrxRespHead,
              {{2112, "BNDRCV_RESP TLV: SC_interface_version(Generic) = 52", 5}, {2112, kUnknownError, kRest}}),
         false},
        {"failed destination without its error code", 0x80000021, "submit_multi_resp",
         Builder().raw(multiRespStart).cstr("111").u16(0), Join(MultiRespHead(1), at(2208)), false},
        {"failed destination address without a NUL", 0x80000021, "submit_multi_resp",
         Builder().raw(multiRespStart).raw("11"), Join(MultiRespHead(1), at(2208)), false},
        {"fewer destinations than counted", 0x00000021, "submit_multi",
         Builder().raw(multiStart).u8(1).u8(1).u8(1).cstr("111"), Join(MultiHead(2), at(2186)), false},
        {"destination address without a NUL", 0x00000021, "submit_multi",
         Builder().raw(multiStart).u8(1).u8(1).u8(1).raw("11"), Join(MultiHead(2), at(2186)), false},
    });
}

TEST(SmppTable, NameLookups) {
    EXPECT_EQ(Decoder().LookupCodeName(1892, 0x80000103), "data_sm_resp");
    EXPECT_EQ(Decoder().LookupCodeName(6, 5), "未知");
    const struct {
        int32_t category;
        int32_t value;
        const char* name;
    } rows[] = {
        {1956, 6, "Cyrllic (ISO-8859-5)"},
        {1987, 15, "GB2312"},
        {1958, 17, ""},               // the wildcard of sm_length has no name
        {1893, -5, ""},               // negative values are never named
        {2653, 200, "not applicable"},
        {2652, 32, ""},               // no wildcard: an unlisted value has no name
        {2655, 64, "UDHI Indicator set"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Decoder().LookupValueName(r.category, r.value), r.name) << r.category << "/" << r.value;
}

} // namespace
