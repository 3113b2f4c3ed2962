// The registry's SMPP commands against the places that show them: the filter dialog's rows and the decoder's names.
#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "protocol/CaptureFilter.h"
#include "protocol/SmppCommands.h"
#include "ui/FilterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(FilterTable, EverySmppCommandsFilterRowLabelAndDecoderNameAgree) {
    const CPacketDecoder decoder;
    const int32_t smppNames = protocols::Find(protocol::kSmpp)->commandTable;
    for (const protocol::smpp::Command& command : protocol::smpp::kCommands) {
        SCOPED_TRACE(std::string(command.name));
        const filter_table::FilterItem& row = filter_table::kTable[size_t(command.filterIndex)];
        EXPECT_EQ(row.id, command.filterIndex);
        EXPECT_EQ(row.parentId, protocol::filter::kSmpp);
        EXPECT_EQ(row.label, command.name);
        EXPECT_EQ(decoder.LookupCodeName(smppNames, command.id), command.name);
    }
    EXPECT_STREQ(filter_table::kTable[protocol::filter::kAll].label, "All protocols");
    EXPECT_STREQ(filter_table::kTable[protocol::filter::kSmpp].label, "SMPP protocol");
    EXPECT_STREQ(filter_table::kTable[protocol::filter::kMobile].label, "Mobile protocol");
}

TEST(FilterTable, EveryCaptureProtocolIsNamedAlikeByRegistryAndDecoder) {
    for (const protocol::Protocol& p : protocol::kProtocols) {
        SCOPED_TRACE(std::string(p.name));
        const ProtocolInfo* decoded = protocols::Find(p.code);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(decoded->name, p.name);
        EXPECT_EQ(decoded->cliName, p.cliName);
    }
    EXPECT_EQ(std::size(protocols::kAll), std::size(protocol::kProtocols));
}

// A row is kept by its name: a 30-character string of the earlier layout reads back as the selection it meant
// (the rows the dialog shows under those labels), and today's stored text reads back what was written.
TEST(FilterTable, StoredFiltersReadBackTheirSelection) {
    for (size_t position = 0; position < protocol::filter::kThirtyCharacterRows.size(); ++position) {
        std::string old(protocol::filter::kThirtyCharacterRows.size(), '1');
        old[position] = '0';
        const std::string flags = protocol::filter::ReadStored(old);
        const std::string_view name = protocol::filter::kThirtyCharacterRows[position];
        SCOPED_TRACE(std::string(name));
        ASSERT_EQ(std::count(flags.begin(), flags.end(), '0'), 1);
        const filter_table::FilterItem& row = filter_table::kTable[flags.find('0')];
        const bool command = protocol::smpp::FindByName(name) != nullptr;
        EXPECT_EQ(command ? std::string_view(row.label) : protocol::filter::NameAt(row.id), name);
        EXPECT_EQ(protocol::filter::ReadStored(protocol::filter::WriteStored(flags)), flags);
    }
    EXPECT_EQ(protocol::filter::WriteStored(std::string(protocol::filter::kRows, '1')), "off:");
    const std::string allOn(protocol::filter::kRows, '1');
    // What no version wrote reads as every row on, a name no row has is passed over.
    for (const std::string& stored : {std::string(), std::string("garbage"), std::string(29, '0'), std::string(29, '1') + "2",
                                     std::string(31, '0'), std::string("off:"), std::string("off:no_such_command  "),
                                     std::string("0ff:submit_sm")})
        EXPECT_EQ(protocol::filter::ReadStored(stored), allOn) << stored;
    EXPECT_EQ(protocol::filter::ReadStored("off:mobile no_such_command submit_sm"),
              protocol::filter::ReadStored(protocol::filter::WriteStored([] {
                  std::string flags(protocol::filter::kRows, '1');
                  flags[size_t(protocol::filter::kMobile)] = flags[size_t(protocol::smpp::FilterIndexOf(protocol::smpp::kSubmitSm))] = '0';
                  return flags;
              }())));
}

} // namespace
