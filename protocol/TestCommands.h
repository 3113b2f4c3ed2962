// The commands of the mobile server's own protocol, TEST, each registered once: id and name.
#pragma once

#include "protocol/PduHeader.h"

#include <cstdint>
#include <iterator>
#include <string_view>

namespace protocol::test {

inline constexpr uint32_t kLogin = 0x00001001;
inline constexpr uint32_t kLoginResp = ResponseIdOf(kLogin);
inline constexpr uint32_t kSubmit = 0x00001002;
inline constexpr uint32_t kSubmitResp = ResponseIdOf(kSubmit);
inline constexpr uint32_t kDeliver = 0x00001003;
inline constexpr uint32_t kDeliverResp = ResponseIdOf(kDeliver);

struct Command {
    uint32_t id;
    std::string_view name; // as the decoder and the packet list name it
};

// A phone logs in and submits; the server delivers to it.
inline constexpr Command kCommands[] = {
    {kLogin, "登录请求"},   {kLoginResp, "登录应答"},
    {kSubmit, "提交请求"},  {kSubmitResp, "提交应答"},
    {kDeliver, "下发请求"}, {kDeliverResp, "下发应答"},
};

constexpr const Command* Find(uint32_t id) {
    for (const Command& command : kCommands)
        if (command.id == id)
            return &command;
    return nullptr;
}

static_assert(std::size(kCommands) == 6 && Find(kDeliverResp) == &kCommands[5] && Find(0x80001004) == nullptr);

} // namespace protocol::test
