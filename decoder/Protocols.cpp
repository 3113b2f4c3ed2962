// The description of a captured record by its protocol and command.
#include "decoder/Protocols.h"

#include "decoder/NameIndex.h"

std::string protocols::Describe(const NameIndex& names, uint16_t protocol, std::optional<uint32_t> commandId) {
    const ProtocolInfo* info = Find(protocol);
    const std::string_view command =
        info && commandId ? names.FindCodeName(info->commandTable, *commandId) : kUnknownName;
    const std::string_view name = names.FindCodeName(kProtocolNameTable, protocol);
    std::string text;
    text.reserve(name.size() + 1 + command.size());
    text.append(name).append(1, ':').append(command);
    return text;
}
