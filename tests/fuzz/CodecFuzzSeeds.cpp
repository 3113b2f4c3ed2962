// Writes seed corpora for ucp-fuzz and cimd-fuzz: a session's frames of each protocol, whole and as text to seal.
#include <cstdio>
#include <fstream>
#include <string>

#include "cimd/Cimd.h"
#include "ucp/Ucp.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return bool(out);
}

// A leading 0 passes a stream as it is; a leading 1 the text between STX and the last separator ('/' or
// TAB), to be sealed.
bool WriteSeeds(const std::string& directory, int n, const std::string& frame, char separator) {
    return Write(directory + "/whole-" + std::to_string(n), '\0' + frame) &&
           Write(directory + "/sealed-" + std::to_string(n), '\1' + frame.substr(1, frame.rfind(separator) - 1));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: codec-fuzz-seeds UCP_DIRECTORY CIMD_DIRECTORY\n");
        return 2;
    }
    std::string series50[33];
    series50[0] = "0612345678";
    series50[1] = *ucp::PackAlphanumeric(U"ALPHA@NUM");
    series50[18] = "3";
    series50[20] = *ucp::EncodeAMsg(U"Hello €");
    series50[28] = std::string(ucp::kOtoaAlphanumeric);
    series50[30] = ucp::XSerElementHex(ucp::kXSerUdh, std::vector<uint8_t>{5, 0, 3, 0x45, 2, 1});
    const std::vector<std::string_view> submit(std::begin(series50), std::end(series50));
    const std::string ucpFrames[] = {
        ucp::Build(1, ucp::Kind::Operation, 51, submit),
        ucp::BuildAck(1, 51, "0612345678:170423112233"),
        ucp::BuildNack(2, 60, ucp::ErrorCode::Authentication),
        ucp::Build(3, ucp::Kind::Operation, 60, {"07656765", "2", "1", "1", "50415353574F5244", "", "0100", "", "", "",
                                                 "", ""}),
        ucp::Build(4, ucp::Kind::Operation, 2, {"2", "0612345678", "0687654321", "", "", "3", "4869"}),
        ucp::Build(5, ucp::Kind::Operation, 31, {"0234765439845", "0139"}),
    };
    const std::string cimdPackets[] = {
        cimd::Build(cimd::op::kLogin, 1, {{10, "tarnwick"}, {11, "secret"}}),
        cimd::Build(cimd::op::kSubmit, 3, {{21, "0612345678"}, {33, *cimd::EncodeUserData(U"Räksmörgås {€}")}}),
        cimd::BuildResponse(cimd::op::kSubmit, 3, {{21, "0612345678"}, {60, "230417112233"}}),
        cimd::Build(cimd::op::kStatusReport, 2, {{21, "0612345678"}, {60, "230417112233"}, {61, "4"}},
                    cimd::Trailer::None),
        cimd::Build(cimd::op::kGeneralError, 5, {{900, "1"}}),
    };
    int failures = 0, n = 0;
    for (const std::string& frame : ucpFrames)
        failures += !WriteSeeds(argv[1], n++, frame, '/');
    for (const std::string& packet : cimdPackets)
        failures += !WriteSeeds(argv[2], n++, packet, '\t');
    return failures ? 1 : 0;
}
