#pragma once

// A register map answering RTU requests for the session tests: reads and
// writes of its registers, silence or an exception code for chosen requests.

#include "../modbus/fake_link.h"

#include <array>
#include <bit>
#include <map>
#include <set>

namespace fake {

class Meter {
public:
    std::array<std::uint16_t, 0x10000> holding{};
    std::array<std::uint16_t, 0x10000> input{};
    std::uint8_t unit = 1;
    // Requests (function, start) that get no answer, or an exception answer.
    std::set<std::pair<int, int>> silent;
    std::map<std::pair<int, int>, std::uint8_t> exceptions;
    std::vector<std::pair<int, int>> requests; // (function, start) in order received

    void setFloat(std::array<std::uint16_t, 0x10000> &regs, int reg, float value)
    {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
        regs[std::size_t(reg)] = std::uint16_t(bits & 0xFFFF); // low-order word first
        regs[std::size_t(reg + 1)] = std::uint16_t(bits >> 16);
    }
    void setText(std::array<std::uint16_t, 0x10000> &regs, int reg, const char *text, int chars)
    {
        for (int i = 0; i < chars; i += 2)
            regs[std::size_t(reg + i / 2)] = std::uint16_t(std::uint8_t(text[i]) << 8 | std::uint8_t(text[i + 1]));
    }

    std::optional<Reply> answer(const Bytes &request)
    {
        if (request.size() < 8 || request[0] != unit)
            return std::nullopt;
        const int function = request[1];
        const int start = request[2] << 8 | request[3];
        const int count = request[4] << 8 | request[5];
        requests.emplace_back(function, start);
        if (silent.count({function, start}))
            return Reply{};
        Bytes a{unit, std::uint8_t(function)};
        if (const auto e = exceptions.find({function, start}); e != exceptions.end()) {
            a[1] |= 0x80;
            a.push_back(e->second);
        } else if (function == 16) {
            for (int i = 0; i < count; ++i)
                holding[std::size_t(start + i)] =
                    std::uint16_t(request[std::size_t(7 + 2 * i)] << 8 | request[std::size_t(8 + 2 * i)]);
            a.insert(a.end(), request.begin() + 2, request.begin() + 6);
        } else {
            const auto &regs = function == 3 ? holding : input;
            a.push_back(std::uint8_t(2 * count));
            for (int i = 0; i < count; ++i) {
                a.push_back(std::uint8_t(regs[std::size_t(start + i)] >> 8));
                a.push_back(std::uint8_t(regs[std::size_t(start + i)]));
            }
        }
        modbus::Crc16 crc;
        crc.CrcTableSetup();
        crc.compute(a);
        a.push_back(crc.CrcLo);
        a.push_back(crc.CrcHi);
        return Reply{a, 5};
    }
};

} // namespace fake
