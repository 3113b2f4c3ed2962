// The codings inside CIMD2 parameters: user data with its _ escapes, hex octets, time stamps.
#include "cimd/Coding.h"

#include "protocol/GsmAlphabet.h"

#include <gtest/gtest.h>

namespace {

TEST(CimdCoding, UserDataEscapesWhatAsciiLacksBothWays) {
    const struct {
        std::u32string text;
        const char* written;
    } cases[] = {
        {U"Hello, world!", "Hello, world!"},
        {U"@$\"", "@$\""},                       // in GSM and in ASCII: as themselves
        {U"a_b", "a_--b"},                        // '_' opens an escape, so is one
        {U"Räksmörgås", "R_a\"ksm_o\"rg_a*s"},
        {U"ΔΦΓΛΩΠΨΣΘΞ", "_gd_gf_gg_gl_go_gp_gi_gs_gt_gx"},
        {U"£¥¤§¿¡", "_L-_Y-_ox_so_?\?_!!"},
        {U"{}[]\\~", "_XX(_XX)_XX<_XX>_XX/_XX="}, // the extension table: the escape, then its septet
        {U"€|^", "_XXe_XX_!!_XX_gl"},            // whose septet is itself escaped
        {U"a\r\nb", "a\r\nb"},
        {U"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        EXPECT_EQ(cimd::EncodeUserData(c.text), c.written);
        EXPECT_EQ(cimd::DecodeUserData(c.written), c.text);
    }
    EXPECT_EQ(cimd::DecodeUserData("_Oa_qq"), U"@\""); // escapes for what is also written as itself
    EXPECT_EQ(cimd::DecodeUserData("{`}"), U"{`}");    // ASCII read as itself, even where GSM lacks it
    EXPECT_EQ(cimd::DecodeUserData("_XXA"), U"A");     // an escape before a septet the extension table lacks

    EXPECT_EQ(cimd::EncodeUserData(U"Жук"), std::nullopt); // not GSM
    EXPECT_EQ(cimd::EncodeUserData(U"`"), std::nullopt);   // ASCII, yet not GSM
    for (const char* bad : {
             "_zz",      // no such escape
             "ab_a",     // an escape cut short
             "ab_XX",    // the extension escape with nothing after it
             "_XX{",     // after the escape a character GSM lacks
             "_XX_XX(",  // two escapes in a row
             "a\tb",     // a control character
             "r\xE4ksm",  // Latin-1, not ASCII
         }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(cimd::DecodeUserData(bad), std::nullopt);
    }
}

TEST(CimdCoding, EveryGsmCharacterCanBeWrittenAndReadBack) {
    using namespace protocol::gsm;
    std::u32string all;
    for (char32_t c : GsmDefaultAlphabet)
        if (c != kGsmEscape)
            all += c;
    for (const GsmExtension& row : GsmExtensionTable)
        all += row.character;
    const auto written = cimd::EncodeUserData(all);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->find_first_not_of(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                                         "abcdefghijklmnopqrstuvwxyz{|}~\r\n"),
              std::string::npos);
    EXPECT_EQ(cimd::DecodeUserData(*written), all);
    // The same text as the septets a message carries, an extension character as the escape and its septet.
    const auto septets = cimd::DecodeSeptets(*written);
    ASSERT_TRUE(septets.has_value());
    EXPECT_EQ(septets->size(), all.size() + std::size(GsmExtensionTable));
    EXPECT_EQ(cimd::EncodeSeptets(*septets), written);
}

TEST(CimdCoding, HexAndTimeStamps) {
    EXPECT_EQ(cimd::ToHex(std::vector<uint8_t>{0x05, 0x00, 0x03, 0xAB}), "050003AB");
    EXPECT_EQ(cimd::FromHex("050003ab"), (std::vector<uint8_t>{0x05, 0x00, 0x03, 0xAB}));
    EXPECT_EQ(cimd::FromHex("05000"), std::nullopt); // half an octet
    EXPECT_EQ(cimd::FromHex("0G"), std::nullopt);    // not hex

    const cimd::Timestamp scts{2023, 4, 17, 11, 22, 33};
    EXPECT_EQ(cimd::FormatTime(scts), "230417112233"); // year first, unlike UCP
    EXPECT_EQ(cimd::ParseTime("230417112233"), scts);
    EXPECT_EQ(cimd::ParseTime("240229235959"), (cimd::Timestamp{2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(cimd::ParseTime("991231235959"), (cimd::Timestamp{2099, 12, 31, 23, 59, 59})); // every field at its top
    for (const char* bad : {
             "230229000000", // 2023 is no leap year
             "230431000000", // 31 April
             "231301000000", // month 13
             "230100000000", // day 0
             "230101240000", // 24 o'clock
             "230101006000", // minute 60
             "230101000060", // second 60
             "2301010000",   // ten digits
             "23010100000x", // not a digit
         }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(cimd::ParseTime(bad), std::nullopt);
    }
}

} // namespace
