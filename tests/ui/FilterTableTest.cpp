// The registry's SMPP commands against the places that show them: the filter dialog's rows and the decoder's names.
#include "decoder/PacketDecoder.h"
#include "decoder/Protocols.h"
#include "protocol/SmppCommands.h"
#include "ui/FilterTable.h"

#include <gtest/gtest.h>

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

} // namespace
