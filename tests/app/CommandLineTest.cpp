// The option tables' printers, word for word over a small table, and what the two programs' own tables
// must keep: lines that fit a terminal, and no option the program's parser does not take.
#include "app/CommandLine.h"
#include "app/HeadlessRunner.h"
#include "protocol/ConfigFields.h"
#include "simulator/ReceiptProfile.h"
#include "smpp/Accounts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <span>
#include <sstream>
#include <string>

namespace {

using namespace command_line;

constexpr Option kOptions[] = {
    {"port", "N", "the port to listen on; 0 picks a free one"},
    {"quiet", "", "say nothing"},
    // Too long a label for the help column, and a help that wraps.
    {"input-file", "PATH", "read from PATH, which the tool opens once at the start and reads to its very end "
                           "before it answers anything at all", Complete::File},
    {"kind", "NAME", "one of {words}; self-signed C:\\ paths", Complete::Words, "smpp, cmpp3"},
};
constexpr std::string_view kForms[] = {"[--port N] [--kind NAME] --input-file PATH",
                                       "[--quiet] [--input-file PATH] [--kind NAME] [--port N] [HEX...] and more"};
// A paragraph that starts with a period or an apostrophe would be a request to man.
constexpr Section kSections[] = {{"Exit status", ".5 is none; 0 or 1.\n\n'Quoted' start."}};
const Program kTool{"my-tool", "does -x things", kForms, "Reads --port, not -x-y.\n\nSecond paragraph.",
                    kOptions, kSections, "tarnwick(1)"};

TEST(CommandLine, UsageWrapsToEightyColumns) {
    EXPECT_EQ(Usage(kTool), R"(Usage: my-tool [--port N] [--kind NAME] --input-file PATH
       my-tool [--quiet] [--input-file PATH] [--kind NAME] [--port N] [HEX...]
               and more

Reads --port, not -x-y.

Second paragraph.

Options:
  --port N         the port to listen on; 0 picks a free one
  --quiet          say nothing
  --input-file PATH
                   read from PATH, which the tool opens once at the start and
                   reads to its very end before it answers anything at all
  --kind NAME      one of smpp, cmpp3; self-signed C:\ paths

Exit status:
  .5 is none; 0 or 1.

  'Quoted' start.
)");
}

TEST(CommandLine, ManPageEscapesWhatManWouldReadOtherwise) {
    EXPECT_EQ(ManPage(kTool), R"(.TH MY-TOOL 1 "" "Tarnwick )" + std::string(Version()) + R"(" "User Commands"
.nh
.ad l
.SH NAME
my-tool \- does \-x things
.SH SYNOPSIS
.B my-tool
[\fB\-\-port\fR\ \fIN\fR] [\fB\-\-kind\fR\ \fINAME\fR] \fB\-\-input\-file\fR \fIPATH\fR
.br
.B my-tool
[\fB\-\-quiet\fR] [\fB\-\-input\-file\fR\ \fIPATH\fR] [\fB\-\-kind\fR\ \fINAME\fR] [\fB\-\-port\fR\ \fIN\fR] [\fIHEX...\fR] and more
.SH DESCRIPTION
Reads \-\-port, not \-x\-y.
.PP
Second paragraph.
.SH OPTIONS
.TP
\fB\-\-port\fR \fIN\fR
the port to listen on; 0 picks a free one
.TP
\fB\-\-quiet\fR
say nothing
.TP
\fB\-\-input\-file\fR \fIPATH\fR
read from PATH, which the tool opens once at the start and reads to its very end before it answers anything at all
.TP
\fB\-\-kind\fR \fINAME\fR
one of smpp, cmpp3; self-signed C:\e paths
.SH EXIT STATUS
\&.5 is none; 0 or 1.
.PP
\&'Quoted' start.
.SH SEE ALSO
tarnwick(1)
)");
}

// Both programs' --help fits an 80-column terminal, and the generated usage form never parts an
// option from its value.
TEST(CommandLine, ProgramsHelpFitsATerminal) {
    for (const Program* program : {&kTarnwick, &kTarnwickDecode}) {
        SCOPED_TRACE(std::string(program->name));
        std::istringstream usage(Usage(*program));
        bool synopsis = true;
        for (std::string line; std::getline(usage, line);) {
            EXPECT_LT(line.size(), 80u) << line;
            synopsis = synopsis && !line.empty();
            if (synopsis) {
                EXPECT_EQ(std::count(line.begin(), line.end(), '['), std::count(line.begin(), line.end(), ']'))
                    << line;
            }
        }
        EXPECT_EQ(VersionLine(*program), std::string(program->name) + " " + std::string(Version()) + "\n");
    }
}

// Every option --help lists is one the parser takes: an unknown one would be refused before its value.
TEST(CommandLine, TarnwickTakesEveryOptionItLists) {
    for (const Option& option : kTarnwick.options) {
        SCOPED_TRACE(std::string(option.name));
        QStringList arguments{"tarnwick", "--" + QString::fromUtf8(option.name.data(), qsizetype(option.name.size()))};
        if (!option.value.empty())
            arguments << "1";
        EXPECT_FALSE(ParseHeadlessOptions(arguments).error.startsWith("Unknown option"));
    }
    EXPECT_TRUE(ParseHeadlessOptions({"tarnwick", "--manual"}).error.startsWith("Unknown option")) << "a bad option";
    EXPECT_TRUE(ParseHeadlessOptions({"tarnwick", "--version"}).version);
}

// The README names every field of every configuration format; the writers of accounts and receipt
// profiles write their format's fields and no other.
TEST(CommandLine, ReadmeAndWritersKeepToTheFieldTables) {
    std::ifstream file(TARNWICK_README);
    ASSERT_TRUE(file) << TARNWICK_README;
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    namespace f = config_fields;
    for (const std::span<const char* const> format : {std::span<const char* const>(f::account::kAll),
                                                      std::span<const char* const>(f::fault_rule::kAll),
                                                      std::span<const char* const>(f::receipt_profile::kAll),
                                                      std::span<const char* const>(f::generator_job::kAll),
                                                      std::span<const char* const>(f::sessions::kAll),
                                                      std::span<const char* const>(f::echo::kAll)}) {
        for (const std::string field : format)
            EXPECT_TRUE(readme.find('`' + field + '`') != std::string::npos ||
                        readme.find('"' + field + '"') != std::string::npos) << "README: " << field;
    }
    const auto sorted = [](QStringList names) {
        names.sort();
        return names;
    };
    const auto names = [&sorted](std::span<const char* const> fields) {
        QStringList list;
        for (const char* field : fields)
            list << field;
        return sorted(list);
    };
    EXPECT_EQ(sorted(QJsonDocument::fromJson(receipt_profiles::ToJson({})).object().keys()),
              names(f::receipt_profile::kAll));

    Account full;
    full.systemId = "esme";
    full.password = "secret";
    full.bindTypes = Account::kTransmitter; // every bind type is what an absent field means
    full.maxBinds = 2;
    full.allowedAddresses = {"10.0.0.0/8"};
    full.window = 4;
    full.enquireLinkSeconds = 30;
    full.receiptProfile = "failures";
    EXPECT_EQ(sorted(QJsonDocument::fromJson(accounts::ToJson({full})).array().at(0).toObject().keys()),
              names(f::account::kAll));
}

} // namespace
