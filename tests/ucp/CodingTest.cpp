// The codings inside UCP/EMI fields: AMsg, TMsg and NB, XSer, the packed alphanumeric OAdC, time stamps.
#include "ucp/Coding.h"

#include <gtest/gtest.h>

namespace {

using Octets = std::vector<uint8_t>;

TEST(UcpCoding, AMsgCarriesGsmCodePointsInHexBothWays) {
    const struct {
        std::u32string text;
        const char* hex;
    } cases[] = {
        {U"Hello", "48656C6C6F"},
        {U"@£$¥", "00010203"},       // where GSM 03.38 and ASCII part
        {U"Δ_ÄÖÑÜ§", "10115B5C5D5E5F"}, // not Latin-1 either
        {U"€[]{}", "1B651B3C1B3E1B281B29"}, // the extension table, behind the escape
        {U"a\nb", "610A62"},
        {U"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(ucp::EncodeAMsg(c.text), c.hex);
        EXPECT_EQ(ucp::DecodeAMsg(c.hex), c.text);
    }
    EXPECT_EQ(ucp::DecodeAMsg("48656c6c6f"), U"Hello");
    EXPECT_EQ(ucp::DecodeAMsg("1B41"), U"A"); // an escape before a septet the extension table lacks
    EXPECT_EQ(ucp::DecodeAMsg("411B"), U"A"); // a last escape escapes nothing

    EXPECT_EQ(ucp::EncodeAMsg(U"Жук"), std::nullopt);   // outside both tables
    EXPECT_EQ(ucp::EncodeAMsg(U"\x1B"), std::nullopt);  // the escape is no character
    EXPECT_EQ(ucp::EncodeAMsg(U"`"), std::nullopt);     // ASCII, yet not GSM
    EXPECT_EQ(ucp::DecodeAMsg("486"), std::nullopt);    // half an octet
    EXPECT_EQ(ucp::DecodeAMsg("48G5"), std::nullopt);   // not hex
    EXPECT_EQ(ucp::DecodeAMsg("4880"), std::nullopt);   // over 0x7F: no septet
}

TEST(UcpCoding, TMsgCountsItsNbInBits) {
    const ucp::Transparent written = ucp::EncodeTMsg(Octets{0x05, 0x00, 0x03, 0xAB});
    EXPECT_EQ(written.nb, "32");
    EXPECT_EQ(written.tmsg, "050003AB");
    EXPECT_EQ(ucp::EncodeTMsg(Octets{}).nb, "0");

    EXPECT_EQ(ucp::DecodeTMsg("32", "050003AB"), (Octets{0x05, 0x00, 0x03, 0xAB}));
    EXPECT_EQ(ucp::DecodeTMsg("25", "050003AB"), (Octets{0x05, 0x00, 0x03, 0xAB})); // the last octet partly used
    EXPECT_EQ(ucp::DecodeTMsg("0", ""), Octets{});
    const struct {
        const char* nb;
        const char* tmsg;
    } bad[] = {
        {"4", "050003AB"},      // NB in octets, not bits
        {"24", "050003AB"},     // NB ends an octet early
        {"33", "050003AB"},     // NB runs past TMsg
        {"", "05"},             // no NB
        {"8x", "05"},           // NB not a number
        {"000008", "05"},       // wider than NB is
        {"8", "5"},             // half an octet
        {"8", "0G"},            // not hex
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(std::string(c.nb) + "/" + c.tmsg);
        EXPECT_EQ(ucp::DecodeTMsg(c.nb, c.tmsg), std::nullopt);
    }
}

TEST(UcpCoding, XSerCarriesTheUdhAndTheDcsAsElements) {
    // A concatenated message's UDH (reference 0x45, part 2 of 2), its UDHL first, and DCS 0x08 (UCS-2).
    const std::string xser = ucp::XSerElementHex(ucp::kXSerUdh, Octets{0x05, 0x00, 0x03, 0x45, 0x02, 0x02}) +
                             ucp::XSerElementHex(ucp::kXSerDcs, Octets{0x08});
    EXPECT_EQ(xser, "0106050003450202020108");
    using E = ucp::XSerElement;
    EXPECT_EQ(ucp::ParseXSer(xser), (std::vector<E>{{0x01, "050003450202", 0}, {0x02, "08", 16}}));
    EXPECT_EQ(ucp::ParseXSer("0c00"), (std::vector<E>{{0x0C, "", 0}})); // an empty element of another type
    EXPECT_EQ(ucp::ParseXSer(""), std::vector<E>{});
    EXPECT_EQ(ucp::XSerElementHex(ucp::kXSerUdh, Octets(256)), ""); // its length has one octet
    EXPECT_EQ(ucp::XSerElementHex(ucp::kXSerUdh, Octets(255)).substr(0, 4), "01FF"); // the most it can say

    for (const char* bad : {
             "01",               // a type without a length
             "010605000345",     // data shorter than its length
             "0201080",          // half an octet
             "02010G",           // not hex
         }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ucp::ParseXSer(bad), std::nullopt);
    }
}

TEST(UcpCoding, AlphanumericOAdCIsPackedBehindItsLengthInSemiOctets) {
    const struct {
        std::u32string text;
        const char* oadc;
    } cases[] = {
        {U"ALPHA@NUM", "10412614190438AB4D"}, // the EMI-UCP document's example: 63 bits, 16 semi-octets
        {U"TEST", "07D4E2940A"},              // 28 bits: 7 semi-octets, not 8
        {U"Tarnwick", "0ED4B0DC7D4F8FD7"},    // 56 bits fill 7 octets exactly
        {U"A€", "06C14D19"},                  // 3 septets, the euro behind the escape
        {U"Information", "1449B7F92D6F87E9E9B71B"}, // 11 septets, the most an address holds
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.oadc);
        EXPECT_EQ(ucp::PackAlphanumeric(c.text), c.oadc);
        EXPECT_EQ(ucp::UnpackAlphanumeric(c.oadc), c.text);
    }
    EXPECT_EQ(ucp::UnpackAlphanumeric("08D4E2940A"), U"TEST"); // a peer that counts the octets twice

    EXPECT_EQ(ucp::PackAlphanumeric(U"Informations"), std::nullopt); // 12 septets
    EXPECT_EQ(ucp::PackAlphanumeric(U"Informatio€"), std::nullopt);  // 11 characters, 12 septets
    EXPECT_EQ(ucp::PackAlphanumeric(U""), std::nullopt);             // no sender
    EXPECT_EQ(ucp::PackAlphanumeric(U"Жук"), std::nullopt);          // not GSM
    for (const char* bad : {
             "",                     // nothing
             "10",                   // a length and no septets
             "10412614190438AB",     // one octet short of 16 semi-octets
             "10412614190438AB4D00", // one octet over
             "00",                   // no septet at all
             "18412614190438AB4D00112233", // 13 septets
             "0741D9X0",             // not hex
         }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ucp::UnpackAlphanumeric(bad), std::nullopt);
    }
}

TEST(UcpCoding, TimeStampsAreDayFirstWithTwoDigitYears) {
    using ucp::TimeFormat;
    const ucp::Timestamp scts{2023, 4, 17, 11, 22, 33};
    EXPECT_EQ(ucp::FormatTime(scts), "170423112233");
    EXPECT_EQ(ucp::FormatTime(scts, TimeFormat::Minutes), "1704231122");
    EXPECT_EQ(ucp::ParseTime("170423112233"), scts);
    EXPECT_EQ(ucp::ParseTime("1704231122", TimeFormat::Minutes), (ucp::Timestamp{2023, 4, 17, 11, 22, 0}));
    EXPECT_EQ(ucp::ParseTime("290224000000"), (ucp::Timestamp{2024, 2, 29, 0, 0, 0}));
    EXPECT_EQ(ucp::ParseTime("311299235959"), (ucp::Timestamp{2099, 12, 31, 23, 59, 59}));
    for (const char* bad : {
             "290223000000",  // 2023 is no leap year
             "310423000000",  // 31 April
             "000123000000",  // day 0
             "011323000000",  // month 13
             "010123240000",  // 24 o'clock
             "010123006000",  // minute 60
             "010123000060",  // second 60
             "0101230000",    // DD's width where SCTS is read
             "01012300000a",  // not a digit
         }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ucp::ParseTime(bad), std::nullopt);
    }
    EXPECT_EQ(ucp::ParseTime("170423112233", TimeFormat::Minutes), std::nullopt); // SCTS where DD is read
}

} // namespace
