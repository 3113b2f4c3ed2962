// Decode rows of SMPP 3.4 and 5.0's broadcast family: header, command-id cases, one body per command, command names
// and value names.
#include "decoder/tables/TableChecks.h"
#include "decoder/tables/TableIds.h"
#include "decoder/tables/Tables.h"
#include "protocol/DataCoding.h"
#include "protocol/SmppCommands.h"
#include "protocol/SmppFields.h"
#include "protocol/SmppStatus.h"
#include "protocol/SmppValues.h"

#include <array>
#include <iterator>
#include <string_view>

namespace decode_table {
namespace {

constexpr int32_t kHeaderGroup = 160;
constexpr int32_t kHeaderField = 156;
constexpr int32_t kBodyGroup = 161;
constexpr int32_t kBodyField = 163;
constexpr int32_t kCommandStatus = 1893; // the header field whose names every error_status_code borrows
constexpr int32_t kQueryMessageState = 2133; // query_sm_resp message_state

// Columns: {id, kind, width, label, caseOwner, next, isGroup, iconId, selectorId, widthSourceId}
constexpr FieldDescriptor kDescriptors[] = {
    // SMPP header; the sequence number dispatches on the command id
    {1890, 0,   0, "SMPP: ----- SMPP protocol -----", kNone, 1891,      1, kHeaderGroup, kNone, kNone},
    {1891, 2,   4, "SMPP: Command length =",          kNone, 1892,      0, kHeaderField, kNone, kNone},
    {1892, 104, 4, "SMPP: Command ID =",              kNone, 1893,      0, kHeaderField, kNone, kNone},
    {1893, 8,   4, "SMPP: Command status =",          kNone, 1894,      0, kHeaderField, kNone, kNone},
    {1894, 2,   4, "SMPP: Sequence number =",         kNone, kDispatch, 0, kHeaderField, 1892,  kNone},

    // Command-id cases: the selector text is the command id as eight upper-case hex digits
    {1892, 8,  4, "80000000", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000001", 0, 1900, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000001", 0, 1910, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000002", 0, 1920, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000002", 0, 1930, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000003", 0, 2120, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000003", 0, 2130, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000004", 0, 1940, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000004", 0, 1965, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000005", 0, 1970, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000005", 0, 1995, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000006", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000006", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000007", 0, 2140, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000007", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000008", 0, 2160, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000008", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000009", 0, 2100, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "0000000B", 0, 2170, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000009", 0, 2110, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000021", 0, 2180, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000021", 0, 2205, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000102", 0, 2240, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000103", 0, 2210, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000103", 0, 2230, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000111", 0, 2270, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000111", 0, 2283, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000112", 0, 2680, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000112", 0, 2686, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "00000113", 0, 2690, 0, kHeaderField, kNone, kNone},
    {1892, 8,  4, "80000113", 0, kEnd, 0, kHeaderField, kNone, kNone},
    {1892, -1, 0, "",         0, kEnd, 0, kHeaderField, kNone, kNone}, // ends the case list

    // bind_receiver (case "00000001")
    {1900, 0,  0,  "BNDRCV: ----- ESME Receiver -----", kNone, 1901, 1, kBodyGroup, kNone, kNone},
    {1901, 55, 16, "BNDRCV: system_id =",               kNone, 1902, 0, kBodyField, kNone, kNone},
    {1902, 55, 9,  "BNDRCV: password =",                kNone, 1903, 0, kBodyField, kNone, kNone},
    {1903, 55, 13, "BNDRCV: system_type =",             kNone, 1904, 0, kBodyField, kNone, kNone},
    {1904, 33, 1,  "BNDRCV: interface_version =",       kNone, 1905, 0, kBodyField, kNone, kNone},
    {1905, 9,  1,  "BNDRCV: addr_ton =",                kNone, 1906, 0, kBodyField, kNone, kNone},
    {1906, 9,  1,  "BNDRCV: addr_npi =",                kNone, 1907, 0, kBodyField, kNone, kNone},
    {1907, 55, 41, "BNDRCV: address_range =",           kNone, kEnd, 0, kBodyField, kNone, kNone},

    // bind_receiver_resp (case "80000001")
    {1910, 0,  0,         "BNDRCV_RESP: ----- ESME Receiver resp -----", kNone, 1911, 1, kBodyGroup, kNone, kNone},
    {1911, 55, 16,        "BNDRCV_RESP: system_id =",                    kNone, 1912, 0, kBodyField, kNone, kNone},
    {1912, 71, kVariable, "BNDRCV_RESP TLV:",                            kNone, 1912, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // bind_transmitter (case "00000002")
    {1920, 0,  0,  "BNDTRN: ----- ESME Transmitter -----", kNone, 1921, 1, kBodyGroup, kNone, kNone},
    {1921, 55, 16, "BNDTRN: system_id =",                  kNone, 1922, 0, kBodyField, kNone, kNone},
    {1922, 55, 9,  "BNDTRN: password =",                   kNone, 1923, 0, kBodyField, kNone, kNone},
    {1923, 55, 13, "BNDTRN: system_type =",                kNone, 1924, 0, kBodyField, kNone, kNone},
    {1924, 33, 1,  "BNDTRN: interface_version =",          kNone, 1925, 0, kBodyField, kNone, kNone},
    {1925, 9,  1,  "BNDTRN: addr_ton =",                   kNone, 1926, 0, kBodyField, kNone, kNone},
    {1926, 9,  1,  "BNDTRN: addr_npi =",                   kNone, 1927, 0, kBodyField, kNone, kNone},
    {1927, 55, 41, "BNDTRN: address_range =",              kNone, kEnd, 0, kBodyField, kNone, kNone},

    // bind_transmitter_resp (case "80000002")
    {1930, 0,  0,         "BNDTRN_RESP: ----- ESME Transmitter resp -----", kNone, 1931, 1, kBodyGroup, kNone, kNone},
    {1931, 55, 16,        "BNDTRN_RESP: system_id =",                       kNone, 1932, 0, kBodyField, kNone, kNone},
    {1932, 71, kVariable, "BNDTRN_RESP TLV:",                               kNone, 1932, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // bind_transceiver (case "00000009")
    {2100, 0,  0,  "BNDRCV: ----- ESME Transceiver -----", kNone, 2101, 1, kBodyGroup, kNone, kNone},
    {2101, 55, 16, "BNDRCV: system_id =",                  kNone, 2102, 0, kBodyField, kNone, kNone},
    {2102, 55, 9,  "BNDRCV: password =",                   kNone, 2103, 0, kBodyField, kNone, kNone},
    {2103, 55, 13, "BNDRCV: system_type =",                kNone, 2104, 0, kBodyField, kNone, kNone},
    {2104, 33, 1,  "BNDRCV: interface_version =",          kNone, 2105, 0, kBodyField, kNone, kNone},
    {2105, 9,  1,  "BNDRCV: addr_ton =",                   kNone, 2106, 0, kBodyField, kNone, kNone},
    {2106, 9,  1,  "BNDRCV: addr_npi =",                   kNone, 2107, 0, kBodyField, kNone, kNone},
    {2107, 55, 41, "BNDRCV: address_range =",              kNone, kEnd, 0, kBodyField, kNone, kNone},

    // bind_transceiver_resp (case "80000009")
    {2110, 0,  0,         "BNDRCV_RESP: ----- ESME Transceiver resp -----", kNone, 2111, 1, kBodyGroup, kNone, kNone},
    {2111, 55, 16,        "BNDRCV_RESP: system_id =",                       kNone, 2112, 0, kBodyField, kNone, kNone},
    {2112, 71, kVariable, "BNDRCV_RESP TLV:",                               kNone, 2112, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // submit_sm (case "00000004")
    {1940, 0,   0,         "SUB_SM: ----- ESME submit a short message -----", kNone, 1941, 1, kBodyGroup, kNone, kNone},
    {1941, 55,  6,         "SUB_SM: service_type =",                          kNone, 1942, 0, kBodyField, kNone, kNone},
    {1942, 9,   1,         "SUB_SM: source_addr_ton =",                       kNone, 1943, 0, kBodyField, kNone, kNone},
    {1943, 9,   1,         "SUB_SM: source_addr_npi =",                       kNone, 1944, 0, kBodyField, kNone, kNone},
    {1944, 55,  21,        "SUB_SM: source_addr =",                           kNone, 1945, 0, kBodyField, kNone, kNone},
    {1945, 9,   1,         "SUB_SM: dest_addr_ton =",                         kNone, 1946, 0, kBodyField, kNone, kNone},
    {1946, 9,   1,         "SUB_SM: dest_addr_npi =",                         kNone, 1947, 0, kBodyField, kNone, kNone},
    {1947, 55,  21,        "SUB_SM: destination_addr =",                      kNone, 1948, 0, kBodyField, kNone, kNone},
    {1948, 75,  1,         "SUB_SM: esm_class =",                             kNone, 1950, 0, kBodyField, kNone, kNone},
    {1950, 9,   1,         "SUB_SM: protocol_id =",                           kNone, 1951, 0, kBodyField, kNone, kNone},
    {1951, 9,   1,         "SUB_SM: priority_flag =",                         kNone, 1952, 0, kBodyField, kNone, kNone},
    {1952, 55,  17,        "SUB_SM: schedule_delivery_time =",                kNone, 1953, 0, kBodyField, kNone, kNone},
    {1953, 55,  17,        "SUB_SM: validity_period =",                       kNone, 1954, 0, kBodyField, kNone, kNone},
    {1954, 9,   1,         "SUB_SM: registered_delivery =",                   kNone, 1955, 0, kBodyField, kNone, kNone},
    {1955, 9,   1,         "SUB_SM: replace_if_present_flag =",               kNone, 1956, 0, kBodyField, kNone, kNone},
    {1956, 38,  1,         "SUB_SM: data_coding =",                           kNone, 1957, 0, kBodyField, kNone, kNone},
    {1957, 9,   1,         "SUB_SM: sm_default_msg_id =",                     kNone, 1958, 0, kBodyField, kNone, kNone},
    {1958, 9,   1,         "SUB_SM: sm_length =",                             kNone, 1959, 0, kBodyField, kNone, kNone},
    {1959, 105, kVariable, "SUB_SM: short_message =",                         kNone, 1963, 0, kBodyField, kNone, 1958},
    {1963, 71,  kVariable, "SUB_SM TLV:",                                     kNone, 1963, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // submit_sm_resp (case "80000004")
    {1965, 0,  0,  "SUB_SM_RESP: ----- ESME submit a short message resp -----", kNone, 1966, 1, kBodyGroup, kNone, kNone},
    {1966, 55, 65,        "SUB_SM_RESP: message_id =",                                 kNone, 1967, 0, kBodyField, kNone, kNone},
    {1967, 71, kVariable, "SUB_SM_RESP TLV:",                                          kNone, 1967, 0, kBodyField, kNone, kNone}, // repeats: SMPP 5.0's answer parameters

    // deliver_sm (case "00000005")
    {1970, 0,   0,         "DELIVER_SM: ----- SMSC send a message to an ESME -----", kNone, 1971, 1, kBodyGroup, kNone, kNone},
    {1971, 55,  6,         "DELIVER_SM: service_type =",                             kNone, 1972, 0, kBodyField, kNone, kNone},
    {1972, 9,   1,         "DELIVER_SM: source_addr_ton =",                          kNone, 1973, 0, kBodyField, kNone, kNone},
    {1973, 9,   1,         "DELIVER_SM: source_addr_npi =",                          kNone, 1974, 0, kBodyField, kNone, kNone},
    {1974, 55,  21,        "DELIVER_SM: source_addr =",                              kNone, 1975, 0, kBodyField, kNone, kNone},
    {1975, 9,   1,         "DELIVER_SM: dest_addr_ton =",                            kNone, 1976, 0, kBodyField, kNone, kNone},
    {1976, 9,   1,         "DELIVER_SM: dest_addr_npi =",                            kNone, 1977, 0, kBodyField, kNone, kNone},
    {1977, 55,  21,        "DELIVER_SM: destination_addr =",                         kNone, 1980, 0, kBodyField, kNone, kNone},
    {1980, 75,  1,         "DELIVER_SM: esm_class =",                                kNone, 1981, 0, kBodyField, kNone, kNone},
    {1981, 9,   1,         "DELIVER_SM: protocol_id =",                              kNone, 1982, 0, kBodyField, kNone, kNone},
    {1982, 9,   1,         "DELIVER_SM: priority_flag =",                            kNone, 1983, 0, kBodyField, kNone, kNone},
    {1983, 55,  17,        "DELIVER_SM: schedule_delivery_time =",                   kNone, 1984, 0, kBodyField, kNone, kNone},
    {1984, 55,  17,        "DELIVER_SM: validity_period =",                          kNone, 1985, 0, kBodyField, kNone, kNone},
    {1985, 9,   1,         "DELIVER_SM: registered_delivery =",                      kNone, 1986, 0, kBodyField, kNone, kNone},
    {1986, 9,   1,         "DELIVER_SM: replace_if_present_flag =",                  kNone, 1987, 0, kBodyField, kNone, kNone},
    {1987, 38,  1,         "DELIVER_SM: data_coding =",                              kNone, 1988, 0, kBodyField, kNone, kNone},
    {1988, 9,   1,         "DELIVER_SM: sm_default_msg_id =",                        kNone, 1990, 0, kBodyField, kNone, kNone},
    {1990, 9,   1,         "DELIVER_SM: sm_length =",                                kNone, 1991, 0, kBodyField, kNone, kNone},
    {1991, 105, kVariable, "DELIVER_SM: short_message =",                            kNone, 1992, 0, kBodyField, kNone, 1990},
    {1992, 71,  kVariable, "DELIVER_SM TLV:",                                        kNone, 1992, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // deliver_sm_resp (case "80000005")
    {1995, 0,  0, "DELIVER_SM_RESP: ----- SMSC send a message to an ESME resp -----", kNone, 1996, 1, kBodyGroup, kNone, kNone},
    {1996, 55, 9,         "DELIVER_SM_RESP: message_id =",                                    kNone, 1997, 0, kBodyField, kNone, kNone},
    {1997, 71, kVariable, "DELIVER_SM_RESP TLV:",                                             kNone, 1997, 0, kBodyField, kNone, kNone}, // repeats: SMPP 5.0's answer parameters

    // query_sm (case "00000003")
    {2120, 0,  0,  "QUERY_SM: ----- ESME query the status of a previously submitted SM -----", kNone, 2121, 1, kBodyGroup, kNone, kNone},
    {2121, 55, 65, "QUERY_SM: message_id =",                                                   kNone, 2122, 0, kBodyField, kNone, kNone},
    {2122, 9,  1,  "QUERY_SM: source_addr_ton =",                                              kNone, 2123, 0, kBodyField, kNone, kNone},
    {2123, 9,  1,  "QUERY_SM: source_addr_npi =",                                              kNone, 2124, 0, kBodyField, kNone, kNone},
    {2124, 55, 21, "QUERY_SM: source_addr =",                                                  kNone, kEnd, 0, kBodyField, kNone, kNone},

    // query_sm_resp (case "80000003")
    {2130, 0,  0,  "QUERY_SM_RESP: ----- ESME query the status of a previously submitted SM resp -----", kNone, 2131, 1, kBodyGroup, kNone, kNone},
    {2131, 55, 65, "QUERY_SM_RESP: message_id =",                                                        kNone, 2132, 0, kBodyField, kNone, kNone},
    {2132, 55, 17, "QUERY_SM_RESP: final_date =",                                                        kNone, 2133, 0, kBodyField, kNone, kNone},
    {2133, 9,  1,  "QUERY_SM_RESP: message_state =",                                                     kNone, 2134, 0, kBodyField, kNone, kNone},
    {2134, 9,  1,  "QUERY_SM_RESP: error_code =",                                                        kNone, kEnd, 0, kBodyField, kNone, kNone},

    // replace_sm (case "00000007")
    {2140, 0,   0,         "REPLACE_SM: ----- ESME replace a previously submitted short message -----", kNone, 2141, 1, kBodyGroup, kNone, kNone},
    {2141, 55,  65,        "REPLACE_SM: message_id =",                                                  kNone, 2142, 0, kBodyField, kNone, kNone},
    {2142, 9,   1,         "REPLACE_SM: source_addr_ton =",                                             kNone, 2143, 0, kBodyField, kNone, kNone},
    {2143, 9,   1,         "REPLACE_SM: source_addr_npi =",                                             kNone, 2144, 0, kBodyField, kNone, kNone},
    {2144, 55,  21,        "REPLACE_SM: source_addr =",                                                 kNone, 2145, 0, kBodyField, kNone, kNone},
    {2145, 55,  17,        "REPLACE_SM: schedule_delivery_time =",                                      kNone, 2146, 0, kBodyField, kNone, kNone},
    {2146, 55,  17,        "REPLACE_SM: validity_period =",                                             kNone, 2147, 0, kBodyField, kNone, kNone},
    {2147, 9,   1,         "REPLACE_SM: registered_delivery =",                                         kNone, 2148, 0, kBodyField, kNone, kNone},
    {2148, 9,   1,         "REPLACE_SM: sm_default_msg_id =",                                           kNone, 2149, 0, kBodyField, kNone, kNone},
    {2149, 9,   1,         "REPLACE_SM: sm_length =",                                                   kNone, 2150, 0, kBodyField, kNone, kNone},
    {2150, 105, kVariable, "REPLACE_SM: short_message =",                                               kNone, 2151, 0, kBodyField, kNone, 2149}, // no data_coding: plain ASCII
    {2151, 71,  kVariable, "REPLACE_SM TLV:",                                                           kNone, 2151, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // cancel_sm (case "00000008")
    {2160, 0,  0,  "CANCEL_SM: ----- ESME cancel previously submitted short messages -----", kNone, 2161, 1, kBodyGroup, kNone, kNone},
    {2161, 55, 6,  "CANCEL_SM: service_type =",                                              kNone, 2162, 0, kBodyField, kNone, kNone},
    {2162, 55, 65, "CANCEL_SM: message_id =",                                                kNone, 2163, 0, kBodyField, kNone, kNone},
    {2163, 9,  1,  "CANCEL_SM: source_addr_ton =",                                           kNone, 2164, 0, kBodyField, kNone, kNone},
    {2164, 9,  1,  "CANCEL_SM: source_addr_npi =",                                           kNone, 2165, 0, kBodyField, kNone, kNone},
    {2165, 55, 21, "CANCEL_SM: source_addr =",                                               kNone, 2166, 0, kBodyField, kNone, kNone},
    {2166, 9,  1,  "CANCEL_SM: dest_addr_ton =",                                             kNone, 2167, 0, kBodyField, kNone, kNone},
    {2167, 9,  1,  "CANCEL_SM: dest_addr_npi =",                                             kNone, 2168, 0, kBodyField, kNone, kNone},
    {2168, 55, 21, "CANCEL_SM: destination_addr =",                                          kNone, kEnd, 0, kBodyField, kNone, kNone},

    // outbind (case "0000000B")
    {2170, 0,  0,  "OUTBIND: ----- SMSC ask an ESME to bind -----", kNone, 2171, 1, kBodyGroup, kNone, kNone},
    {2171, 55, 16, "OUTBIND: system_id =",                          kNone, 2172, 0, kBodyField, kNone, kNone},
    {2172, 55, 9,  "OUTBIND: password =",                           kNone, kEnd, 0, kBodyField, kNone, kNone},

    // submit_multi (case "00000021")
    {2180, 0,   0,         "SUB_MULTI: ----- ESME submit a SM for delivery to multiple recipients -----", kNone, 2181, 1, kBodyGroup, kNone, kNone},
    {2181, 55,  6,         "SUB_MULTI: service_type =",                                                   kNone, 2182, 0, kBodyField, kNone, kNone},
    {2182, 9,   1,         "SUB_MULTI: source_addr_ton =",                                                kNone, 2183, 0, kBodyField, kNone, kNone},
    {2183, 9,   1,         "SUB_MULTI: source_addr_npi =",                                                kNone, 2184, 0, kBodyField, kNone, kNone},
    {2184, 55,  21,        "SUB_MULTI: source_addr =",                                                    kNone, 2185, 0, kBodyField, kNone, kNone},
    {2185, 9,   1,         "SUB_MULTI: number_of_dests =",                                                kNone, 2186, 0, kBodyField, kNone, kNone},
    {2186, 45,  kVariable, "SUB_MULTI: dest_address(es) =",                                               kNone, 2187, 0, kBodyField, 2250,  2185}, // number_of_dests entries from 2250
    {2187, 75,  1,         "SUB_MULTI: esm_class =",                                                      kNone, 2188, 0, kBodyField, kNone, kNone},
    {2188, 9,   1,         "SUB_MULTI: protocol_id =",                                                    kNone, 2189, 0, kBodyField, kNone, kNone},
    {2189, 9,   1,         "SUB_MULTI: priority_flag =",                                                  kNone, 2190, 0, kBodyField, kNone, kNone},
    {2190, 55,  17,        "SUB_MULTI: schedule_delivery_time =",                                         kNone, 2191, 0, kBodyField, kNone, kNone},
    {2191, 55,  17,        "SUB_MULTI: validity_period =",                                                kNone, 2192, 0, kBodyField, kNone, kNone},
    {2192, 9,   1,         "SUB_MULTI: registered_delivery =",                                            kNone, 2193, 0, kBodyField, kNone, kNone},
    {2193, 9,   1,         "SUB_MULTI: replace_if_present_flag =",                                        kNone, 2194, 0, kBodyField, kNone, kNone},
    {2194, 38,  1,         "SUB_MULTI: data_coding =",                                                    kNone, 2195, 0, kBodyField, kNone, kNone},
    {2195, 9,   1,         "SUB_MULTI: sm_default_msg_id =",                                              kNone, 2196, 0, kBodyField, kNone, kNone},
    {2196, 9,   1,         "SUB_MULTI: sm_length =",                                                      kNone, 2197, 0, kBodyField, kNone, kNone},
    {2197, 105, kVariable, "SUB_MULTI: short_message =",                                                  kNone, 2201, 0, kBodyField, kNone, 2196},
    {2201, 71,  kVariable, "SUB_MULTI TLV:",                                                              kNone, 2201, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // submit_multi dest_address: its dest_flag picks an SME address or a distribution list name
    {2250, 9,  1,  "SUB_MULTI: dest_flag =",        kNone, kDispatch, 0, kBodyField, 2250,  kNone},
    {2250, 9,  1,  "1",                             0,     2251,      0, kBodyField, kNone, kNone}, // SME Address
    {2250, 9,  1,  "2",                             0,     2254,      0, kBodyField, kNone, kNone}, // Distribution List Name
    {2250, -1, 0,  "",                              0,     kEnd,      0, kBodyField, kNone, kNone}, // ends the case list
    {2251, 9,  1,  "SUB_MULTI: dest_addr_ton =",    kNone, 2252,      0, kBodyField, kNone, kNone},
    {2252, 9,  1,  "SUB_MULTI: dest_addr_npi =",    kNone, 2253,      0, kBodyField, kNone, kNone},
    {2253, 55, 21, "SUB_MULTI: destination_addr =", kNone, 2186,      0, kBodyField, kNone, kNone}, // back to the list
    {2254, 55, 21, "SUB_MULTI: dl_name =",          kNone, 2186,      0, kBodyField, kNone, kNone}, // back to the list

    // submit_multi_resp (case "80000021")
    {2205, 0,  0,         "SUB_MULTI_RESP: ----- ESME submit a SM for delivery to multiple recipients resp -----", kNone, 2206, 1, kBodyGroup, kNone, kNone},
    {2206, 55, 65,        "SUB_MULTI_RESP: message_id =",                                                          kNone, 2207, 0, kBodyField, kNone, kNone},
    {2207, 9,  1,         "SUB_MULTI_RESP: no_unsuccess =",                                                        kNone, 2208, 0, kBodyField, kNone, kNone},
    {2208, 45, kVariable, "SUB_MULTI_RESP: unsuccess_sme(s) =",                                                    kNone, kEnd, 0, kBodyField, 2260,  2207}, // no_unsuccess entries from 2260

    // submit_multi_resp unsuccess_sme: the address a message could not go to, and why
    {2260, 9,  1,  "SUB_MULTI_RESP: dest_addr_ton =",     kNone, 2261, 0, kBodyField, kNone, kNone},
    {2261, 9,  1,  "SUB_MULTI_RESP: dest_addr_npi =",     kNone, 2262, 0, kBodyField, kNone, kNone},
    {2262, 55, 21, "SUB_MULTI_RESP: destination_addr =",  kNone, 2263, 0, kBodyField, kNone, kNone},
    {2263, 8,  4,  "SUB_MULTI_RESP: error_status_code =", kNone, 2208, 0, kBodyField, kNone, kNone}, // back to the list

    // data_sm (case "00000103")
    {2210, 0,  0,         "DATA_SM: ----- Transfering data between the SMSC and the ESME -----", kNone, 2211, 1, kBodyGroup, kNone, kNone},
    {2211, 55, 6,         "DATA_SM: service_type =",                                             kNone, 2212, 0, kBodyField, kNone, kNone},
    {2212, 9,  1,         "DATA_SM: source_addr_ton =",                                          kNone, 2213, 0, kBodyField, kNone, kNone},
    {2213, 9,  1,         "DATA_SM: source_addr_npi =",                                          kNone, 2214, 0, kBodyField, kNone, kNone},
    {2214, 55, 65,        "DATA_SM: source_addr =",                                              kNone, 2215, 0, kBodyField, kNone, kNone},
    {2215, 9,  1,         "DATA_SM: dest_addr_ton =",                                            kNone, 2216, 0, kBodyField, kNone, kNone},
    {2216, 9,  1,         "DATA_SM: dest_addr_npi =",                                            kNone, 2217, 0, kBodyField, kNone, kNone},
    {2217, 55, 65,        "DATA_SM: destination_addr =",                                         kNone, 2218, 0, kBodyField, kNone, kNone},
    {2218, 75, 1,         "DATA_SM: esm_class =",                                                kNone, 2219, 0, kBodyField, kNone, kNone},
    {2219, 9,  1,         "DATA_SM: registered_delivery =",                                      kNone, 2220, 0, kBodyField, kNone, kNone},
    {2220, 38, 1,         "DATA_SM: data_coding =",                                              kNone, 2221, 0, kBodyField, kNone, kNone},
    {2221, 71, kVariable, "DATA_SM TLV:",                                                        kNone, 2221, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // alert_notification (case "00000102")
    {2240, 0,  0,         "ALERT_NOTIFICATION: ----- SMSC alert an ESME that a mobile is available -----", kNone, 2241, 1, kBodyGroup, kNone, kNone},
    {2241, 9,  1,         "ALERT_NOTIFICATION: source_addr_ton =",                                         kNone, 2242, 0, kBodyField, kNone, kNone},
    {2242, 9,  1,         "ALERT_NOTIFICATION: source_addr_npi =",                                         kNone, 2243, 0, kBodyField, kNone, kNone},
    {2243, 55, 65,        "ALERT_NOTIFICATION: source_addr =",                                             kNone, 2244, 0, kBodyField, kNone, kNone},
    {2244, 9,  1,         "ALERT_NOTIFICATION: esme_addr_ton =",                                           kNone, 2245, 0, kBodyField, kNone, kNone},
    {2245, 9,  1,         "ALERT_NOTIFICATION: esme_addr_npi =",                                           kNone, 2246, 0, kBodyField, kNone, kNone},
    {2246, 55, 65,        "ALERT_NOTIFICATION: esme_addr =",                                               kNone, 2247, 0, kBodyField, kNone, kNone},
    {2247, 71, kVariable, "ALERT_NOTIFICATION TLV:",                                                       kNone, 2247, 0, kBodyField, kNone, kNone}, // repeats: ms_availability_status and any other

    // data_sm_resp (case "80000103")
    {2230, 0,  0,  "DATA_SM_RESP: ----- Transfering data between the SMSC and the ESME resp -----", kNone, 2231, 1, kBodyGroup, kNone, kNone},
    {2231, 55, 65,        "DATA_SM_RESP: message_id =",                                                    kNone, 2232, 0, kBodyField, kNone, kNone},
    {2232, 71, kVariable, "DATA_SM_RESP TLV:",                                                             kNone, 2232, 0, kBodyField, kNone, kNone}, // repeats: the answer's optional parameters

    // broadcast_sm (case "00000111", SMPP 5.0): no destination and no short message; the areas, content type,
    // repetitions and interval come as optional parameters
    {2270, 0,  0,         "BCAST_SM: ----- ESME broadcast a message to areas -----", kNone, 2271, 1, kBodyGroup, kNone, kNone},
    {2271, 55, 6,         "BCAST_SM: service_type =",                                kNone, 2272, 0, kBodyField, kNone, kNone},
    {2272, 9,  1,         "BCAST_SM: source_addr_ton =",                             kNone, 2273, 0, kBodyField, kNone, kNone},
    {2273, 9,  1,         "BCAST_SM: source_addr_npi =",                             kNone, 2274, 0, kBodyField, kNone, kNone},
    {2274, 55, 21,        "BCAST_SM: source_addr =",                                 kNone, 2275, 0, kBodyField, kNone, kNone},
    {2275, 55, 65,        "BCAST_SM: message_id =",                                  kNone, 2276, 0, kBodyField, kNone, kNone},
    {2276, 9,  1,         "BCAST_SM: priority_flag =",                               kNone, 2277, 0, kBodyField, kNone, kNone},
    {2277, 55, 17,        "BCAST_SM: schedule_delivery_time =",                      kNone, 2278, 0, kBodyField, kNone, kNone},
    {2278, 55, 17,        "BCAST_SM: validity_period =",                             kNone, 2279, 0, kBodyField, kNone, kNone},
    {2279, 9,  1,         "BCAST_SM: replace_if_present_flag =",                     kNone, 2280, 0, kBodyField, kNone, kNone},
    {2280, 38, 1,         "BCAST_SM: data_coding =",                                 kNone, 2281, 0, kBodyField, kNone, kNone},
    {2281, 9,  1,         "BCAST_SM: sm_default_msg_id =",                           kNone, 2282, 0, kBodyField, kNone, kNone},
    {2282, 71, kVariable, "BCAST_SM TLV:",                                           kNone, 2282, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // broadcast_sm_resp (case "80000111")
    {2283, 0,  0,         "BCAST_SM_RESP: ----- ESME broadcast a message to areas resp -----", kNone, 2284, 1, kBodyGroup, kNone, kNone},
    {2284, 55, 65,        "BCAST_SM_RESP: message_id =",                                       kNone, 2285, 0, kBodyField, kNone, kNone},
    {2285, 71, kVariable, "BCAST_SM_RESP TLV:",                                                kNone, 2285, 0, kBodyField, kNone, kNone}, // repeats: the areas that failed, and why

    // query_broadcast_sm (case "00000112")
    {2680, 0,  0,         "QUERY_BCAST_SM: ----- ESME query the state of a broadcast -----", kNone, 2681, 1, kBodyGroup, kNone, kNone},
    {2681, 55, 65,        "QUERY_BCAST_SM: message_id =",                                    kNone, 2682, 0, kBodyField, kNone, kNone},
    {2682, 9,  1,         "QUERY_BCAST_SM: source_addr_ton =",                               kNone, 2683, 0, kBodyField, kNone, kNone},
    {2683, 9,  1,         "QUERY_BCAST_SM: source_addr_npi =",                               kNone, 2684, 0, kBodyField, kNone, kNone},
    {2684, 55, 21,        "QUERY_BCAST_SM: source_addr =",                                   kNone, 2685, 0, kBodyField, kNone, kNone},
    {2685, 71, kVariable, "QUERY_BCAST_SM TLV:",                                             kNone, 2685, 0, kBodyField, kNone, kNone}, // repeats: user_message_reference

    // query_broadcast_sm_resp (case "80000112"): the state, each area and its success rate come as optional parameters
    {2686, 0,  0,         "QUERY_BCAST_SM_RESP: ----- ESME query the state of a broadcast resp -----", kNone, 2687, 1, kBodyGroup, kNone, kNone},
    {2687, 55, 65,        "QUERY_BCAST_SM_RESP: message_id =",                                         kNone, 2688, 0, kBodyField, kNone, kNone},
    {2688, 71, kVariable, "QUERY_BCAST_SM_RESP TLV:",                                                  kNone, 2688, 0, kBodyField, kNone, kNone}, // repeats: one line per optional parameter

    // cancel_broadcast_sm (case "00000113"); its answer has no body
    {2690, 0,  0,         "CANCEL_BCAST_SM: ----- ESME cancel a broadcast -----", kNone, 2691, 1, kBodyGroup, kNone, kNone},
    {2691, 55, 6,         "CANCEL_BCAST_SM: service_type =",                      kNone, 2692, 0, kBodyField, kNone, kNone},
    {2692, 55, 65,        "CANCEL_BCAST_SM: message_id =",                        kNone, 2693, 0, kBodyField, kNone, kNone},
    {2693, 9,  1,         "CANCEL_BCAST_SM: source_addr_ton =",                   kNone, 2694, 0, kBodyField, kNone, kNone},
    {2694, 9,  1,         "CANCEL_BCAST_SM: source_addr_npi =",                   kNone, 2695, 0, kBodyField, kNone, kNone},
    {2695, 55, 21,        "CANCEL_BCAST_SM: source_addr =",                       kNone, 2696, 0, kBodyField, kNone, kNone},
    {2696, 71, kVariable, "CANCEL_BCAST_SM TLV:",                                 kNone, 2696, 0, kBodyField, kNone, kNone}, // repeats: broadcast_content_type, user_message_reference
};

// Command names, also used by the brief list to name each captured SMPP PDU: the registry's commands.
constexpr auto BuildCodeNames() {
    std::array<CodeName, std::size(protocol::smpp::kCommands)> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = {decode_ids::kSmppCommands, protocol::smpp::kCommands[i].id, protocol::smpp::kCommands[i].name.data()};
    return rows;
}
constexpr auto kCodeNames = BuildCodeNames();

// Value names of this table's own; a value of -1 is the category's wildcard and stays the last row of its category.
constexpr ValueName kOwnValueNames[] = {
    // 2250: dest_flag of a submit_multi destination
    {2250, 1,  "SME Address"},
    {2250, 2,  "Distribution List Name"},
    {2250, -1, "reserved"},

    // 1951: priority_flag
    {1951, 0,  "Level 0 (lowest) priority"},
    {1951, 1,  "Level 1 priority"},
    {1951, 2,  "Level 2 priority"},
    {1951, 3,  "Level 3 (highest) priority"},
    {1951, -1, "reserved"},

    // 1954: registered_delivery of submit_sm, submit_multi, data_sm
    {1954, 0,  "No SMSC Delivery Receipt requested"},
    {1954, 1,  "SMSC Delivery Receipt requested where final delivery outcome is delivery success or failure"},
    {1954, 2,  "SMSC Delivery Receipt requested where the final delivery outcome is delivery failure"},
    {1954, -1, "reserved"},

    // 1985: registered_delivery of deliver_sm
    {1985, 0,  "NO SMSC Delivery Receipt"},
    {1985, 1,  "SMSC Delivery Receipt"},
    {1985, -1, "reserved"},

    // 1955: replace_if_present_flag of submit_sm, submit_multi
    {1955, 0,  "Don't replace"},
    {1955, 1,  "Replace"},
    {1955, -1, "reserved"},

    // 1986: replace_if_present_flag of deliver_sm
    {1986, 0,  "Don’t replace"}, // typographic apostrophe, unlike 1955
    {1986, 1,  "Replace"},
    {1986, -1, "reserved"},

    // 1958: sm_length
    {1958, 0,   "no user data in short message field"},
    {1958, 255, "not allowed"},
    {1958, -1,  ""}, // any other length has no name

    // 2670: callback_num digit mode indicator (bits 7-1 reserved)
    {2670, 0,  "TBCD"},
    {2670, 1,  "ASCII"},
    {2670, -1, "reserved"},

    // 2650: esm_class, submitted message: messaging mode (b & 0x03)
    {2650, 0, "Default SMSC Mode"},
    {2650, 1, "Datagram mode"},
    {2650, 2, "Forward"},
    {2650, 3, "Store and Forward mode"},

    // 2651: esm_class, submitted message: message type (b & 0x3C)
    {2651, 0,  "Default message Type"},
    {2651, 8,  "Short Message contains ESME Delivery Acknowledgement"},
    {2651, 16, "Short Message contains ESME Manual/User Acknowledgement"},
    {2651, -1, "reserved"},

    // 2652: esm_class, submitted message: GSM features (b & 0xC0)
    {2652, 0,   "No specific features selected"},
    {2652, 64,  "UDHI Indicator"},
    {2652, 128, "Set Reply Path"},
    {2652, 192, "Set UDHI and Reply Path"},

    // 2653: esm_class, delivered message: messaging mode
    {2653, -1, "not applicable"},

    // 2654: esm_class, delivered message: message type (b & 0x3C)
    {2654, 0,  "Default message Type"},
    {2654, 4,  "Short Message contains SMSC Delivery Receipt"},
    {2654, 8,  "Short Message contains SME Delivery Acknowledgement"},
    {2654, 16, "Short Message contains SME Manual/User Acknowledgment"},
    {2654, 24, "Short Message contains Conversation Abort"},
    {2654, 32, "Short Message contains Intermediate Delivery Notification"},
    {2654, -1, "reserved"},

    // 2660-2662: registered_delivery read bit by bit where its list has no row for the value
    {2660, 0, "No SMSC Delivery Receipt requested"},
    {2660, 1, "SMSC Delivery Receipt requested on success or failure"},
    {2660, 2, "SMSC Delivery Receipt requested on failure"},
    {2660, 3, "reserved"},
    {2661, 0, "No SME acknowledgement requested"},
    {2661, 1, "SME Delivery Acknowledgement requested"},
    {2661, 2, "SME Manual/User Acknowledgement requested"},
    {2661, 3, "Both Delivery and Manual/User Acknowledgement requested"},
    {2662, 0, "No Intermediate notification requested"},
    {2662, 1, "Intermediate notification requested"},

    // 2655: esm_class, delivered message: GSM features (b & 0xC0)
    {2655, 0,   "No specific features selected"},
    {2655, 64,  "UDHI Indicator set"},
    {2655, 128, "Reply Path"},
    {2655, 192, "UDHI and Reply Path"},
};

// The lists the registry keeps, each under its category and closed by its wildcard where it has one. Their
// names are literals, so a view's data() is the NUL-terminated text a row points at.
struct RegistryList {
    int32_t category;
    std::span<const protocol::NamedValue> rows;
    const char* wildcard;
};
constexpr RegistryList kRegistryLists[] = {
    {decode_ids::kTypesOfNumber, protocol::smpp::kTypesOfNumber, protocol::smpp::kReservedTypeOfNumber.data()},
    {decode_ids::kNumberingPlans, protocol::smpp::kNumberingPlans, protocol::smpp::kReservedNumberingPlan.data()},
    {decode_ids::kDataCodings, protocol::data_coding::kNames, protocol::data_coding::kReserved.data()},
    {kQueryMessageState, protocol::smpp::kMessageStates, nullptr}, // a state SMPP has not shows no name
};
constexpr std::size_t kRegistryRows = std::size(protocol::smpp::kStatuses) + 1 + std::size(protocol::smpp::kTypesOfNumber) + 1 +
                                      std::size(protocol::smpp::kNumberingPlans) + 1 + std::size(protocol::data_coding::kNames) + 1 +
                                      std::size(protocol::smpp::kMessageStates);

// Every value name: command_status descriptions and the registry's lists first, then the table's own.
constexpr auto BuildValueNames() {
    std::array<ValueName, kRegistryRows + std::size(kOwnValueNames)> rows{};
    std::size_t at = 0;
    for (const protocol::smpp::Status& status : protocol::smpp::kStatuses)
        rows[at++] = {kCommandStatus, int32_t(status.value), status.description.data()};
    rows[at++] = {kCommandStatus, -1, protocol::smpp::kReservedStatus.data()};
    for (const RegistryList& list : kRegistryLists) {
        for (const protocol::NamedValue& named : list.rows) rows[at++] = {list.category, int32_t(named.value), named.name.data()};
        if (list.wildcard) rows[at++] = {list.category, -1, list.wildcard};
    }
    for (const ValueName& own : kOwnValueNames) rows[at++] = own;
    return rows;
}
constexpr auto kValueNames = BuildValueNames();

// Fields that show the names of a list kept under another field's id: every type of number and
// numbering plan reads the submit_sm lists, and so on.
constexpr NameCategory kNameCategories[] = {
    {1905, 1942}, // bind_receiver addr_ton
    {1906, 1943}, // bind_receiver addr_npi
    {1925, 1942}, // bind_transmitter addr_ton
    {1926, 1943}, // bind_transmitter addr_npi
    {2105, 1942}, // bind_transceiver addr_ton
    {2106, 1943}, // bind_transceiver addr_npi
    {1945, 1942}, // submit_sm dest_addr_ton
    {1946, 1943}, // submit_sm dest_addr_npi
    {1972, 1942}, // deliver_sm source_addr_ton
    {1973, 1943}, // deliver_sm source_addr_npi
    {1975, 1942}, // deliver_sm dest_addr_ton
    {1976, 1943}, // deliver_sm dest_addr_npi
    {1982, 1951}, // deliver_sm priority_flag
    {1990, 1958}, // deliver_sm sm_length
    {2122, 1942}, // query_sm source_addr_ton
    {2123, 1943}, // query_sm source_addr_npi
    {2142, 1942}, // replace_sm source_addr_ton
    {2143, 1943}, // replace_sm source_addr_npi
    {2149, 1958}, // replace_sm sm_length
    {2163, 1942}, // cancel_sm source_addr_ton
    {2164, 1943}, // cancel_sm source_addr_npi
    {2166, 1942}, // cancel_sm dest_addr_ton
    {2167, 1943}, // cancel_sm dest_addr_npi
    {2182, 1942}, // submit_multi source_addr_ton
    {2183, 1943}, // submit_multi source_addr_npi
    {2189, 1951}, // submit_multi priority_flag
    {2192, 1954}, // submit_multi registered_delivery
    {2193, 1955}, // submit_multi replace_if_present_flag
    {1987, 1956}, // deliver_sm data_coding
    {2194, 1956}, // submit_multi data_coding
    {2196, 1958}, // submit_multi sm_length
    {2251, 1942}, // submit_multi dest_addr_ton
    {2252, 1943}, // submit_multi dest_addr_npi
    {2260, 1942}, // submit_multi_resp unsuccess_sme dest_addr_ton
    {2261, 1943}, // submit_multi_resp unsuccess_sme dest_addr_npi
    {2263, 1893}, // submit_multi_resp error_status_code: the command_status names
    {2212, 1942}, // data_sm source_addr_ton
    {2213, 1943}, // data_sm source_addr_npi
    {2215, 1942}, // data_sm dest_addr_ton
    {2216, 1943}, // data_sm dest_addr_npi
    {2219, 1954}, // data_sm registered_delivery
    {2220, 1956}, // data_sm data_coding
    {2241, 1942}, // alert_notification source_addr_ton
    {2242, 1943}, // alert_notification source_addr_npi
    {2244, 1942}, // alert_notification esme_addr_ton
    {2245, 1943}, // alert_notification esme_addr_npi
    {2272, 1942}, // broadcast_sm source_addr_ton
    {2273, 1943}, // broadcast_sm source_addr_npi
    {2276, 1951}, // broadcast_sm priority_flag
    {2279, 1955}, // broadcast_sm replace_if_present_flag
    {2280, 1956}, // broadcast_sm data_coding
    {2682, 1942}, // query_broadcast_sm source_addr_ton
    {2683, 1943}, // query_broadcast_sm source_addr_npi
    {2693, 1942}, // cancel_broadcast_sm source_addr_ton
    {2694, 1943}, // cancel_broadcast_sm source_addr_npi
};

constexpr int HexDigit(char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; }

// The case scan compares "%08X" of the command id with the label byte for byte; each case is a command
// of the registry.
constexpr bool CaseLabelsAreCommandIds() {
    for (const FieldDescriptor& d : kDescriptors) {
        if (d.id != decode_ids::kSmppCommands || KindOf(d) != FieldKind::Hex32 || d.caseOwner != 0) continue;
        std::string_view label = d.label;
        if (label.size() != 8) return false;
        uint32_t id = 0;
        for (char c : label) {
            if (HexDigit(c) < 0) return false;
            id = id << 4 | uint32_t(HexDigit(c));
        }
        if (protocol::smpp::IndexOf(id) < 0) return false;
    }
    return true;
}

// Every C-string field is read at the registry's width: the label's field name ("SUB_SM: source_addr =") gives
// it, long in data_sm and alert_notification. deliver_sm_resp's message_id, unused and NULL in SMPP 3.4, is
// read at nine octets, as some SMSCs fill it.
constexpr bool StringWidthsAreTheRegistrys() {
    for (const FieldDescriptor& d : kDescriptors) {
        if (KindOf(d) != FieldKind::CString || d.caseOwner == 0) continue;
        const std::string_view label = d.label;
        const std::size_t colon = label.find(": "), end = label.rfind(" =");
        if (colon == std::string_view::npos || end == std::string_view::npos || end <= colon + 2) return false;
        const std::string_view command = label.substr(0, colon), name = label.substr(colon + 2, end - colon - 2);
        const bool longAddress = (command == "DATA_SM" || command == "ALERT_NOTIFICATION") && name.ends_with("_addr");
        const uint32_t want = command == "DELIVER_SM_RESP" ? 9
                              : longAddress                ? protocol::smpp::field_width::kLongAddress
                                                           : protocol::smpp::StringFieldOctets(name);
        if (want == 0 || uint32_t(d.width) != want) return false;
    }
    return true;
}

// Group lines open a tree node with the SMPP header or body icon; every other row is a field.
constexpr bool IconsMatchRoles() {
    for (const FieldDescriptor& d : kDescriptors) {
        if (d.caseOwner == 0) continue; // case rows are never shown
        const bool header = d.id >= 1890 && d.id <= 1894;
        const int32_t want = d.isGroup == 1 ? (header ? kHeaderGroup : kBodyGroup) : (header ? kHeaderField : kBodyField);
        if (d.iconId != want || (d.isGroup == 1 && KindOf(d) != FieldKind::Label)) return false;
    }
    return true;
}

// A command case leads to a body group or ends the walk.
constexpr bool CasesLeadToGroups() {
    for (const FieldDescriptor& c : kDescriptors) {
        if (c.id != decode_ids::kSmppCommands || c.caseOwner != 0 || KindOf(c) == FieldKind::CaseListEnd || c.next == kEnd)
            continue;
        bool isGroup = false;
        for (const FieldDescriptor& d : kDescriptors) {
            if (d.id == c.next && d.caseOwner != 0) {
                isGroup = d.isGroup == 1;
                break;
            }
        }
        if (!isGroup) return false;
    }
    return true;
}

constexpr int RowsOf(int32_t category) { return decode_table::RowsOf(kValueNames, category); }

static_assert(RowsOf(1893) == 48 + 19 + 1 && RowsOf(2250) == 3 && RowsOf(2670) == 3 && RowsOf(kQueryMessageState) == 10);
static_assert(RowsOf(1942) == 8 && RowsOf(1943) == 11 && RowsOf(1951) == 5);
static_assert(RowsOf(1954) == 4 && RowsOf(1985) == 3 && RowsOf(1955) == 3 && RowsOf(1986) == 3);
static_assert(RowsOf(1956) == 15 + 16 && RowsOf(1958) == 3 && RowsOf(2650) == 4 && RowsOf(2651) == 4);
static_assert(RowsOf(2652) == 4 && RowsOf(2653) == 1 && RowsOf(2654) == 7 && RowsOf(2655) == 4);
static_assert(RowsOf(2660) == 4 && RowsOf(2661) == 4 && RowsOf(2662) == 2);
static_assert(std::size(kCodeNames) == 33, "one name per SMPP 3.4 command and per 5.0 broadcast command");
static_assert(NoTerminatorLookalike(kDescriptors));
static_assert(CaseListsClosed(kDescriptors));
static_assert(ReferencesResolve(kDescriptors));
static_assert(WildcardsLast(kValueNames));
static_assert(NameCategoriesResolve(kDescriptors, kValueNames, kNameCategories));
static_assert(CaseLabelsAreCommandIds());
static_assert(IconsMatchRoles());
static_assert(StringWidthsAreTheRegistrys(), "every C-string field as wide as SMPP 3.4 makes it");
static_assert(CasesLeadToGroups());

} // namespace

Family SmppFamily() { return {kDescriptors, kCodeNames, kValueNames, kNameCategories}; }

} // namespace decode_table
