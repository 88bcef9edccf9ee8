// Feeds arbitrary answers to the RTU and TCP answer checks and the data
// extraction, for a request chosen by the first input bytes.
#include "modbus/frame.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const bool rtu = data[0] & 1;
    const bool write = data[0] & 2;
    const std::uint8_t address = data[1];
    const int count = 1 + data[2] % 125;
    const std::span<const std::uint8_t> answer(data + 3, size - 3);

    modbus::Crc16 crc;
    modbus::FrameCodec codec(crc);
    if (write) {
        const std::uint16_t values[2] = {data[2], data[1]};
        if (!codec.buildWriteRequest(address, 0x1000, values, rtu))
            __builtin_trap();
    } else if (!codec.buildReadRequest(address, 3, 0x1000, count, rtu)) {
        __builtin_trap();
    }

    const modbus::AnswerCheck outcome =
        rtu ? codec.checkRtuAnswer(answer, address) : codec.checkTcpAnswer(answer);
    const bool longEnough = answer.size() >= std::size_t(codec.expectedLength());
    if ((outcome == modbus::AnswerCheck::TooShort) == longEnough)
        __builtin_trap();

    if (outcome == modbus::AnswerCheck::Valid && !write) {
        modbus::RxBuffer rx;
        rx.append(std::span<const std::uint8_t>(data, 2)); // a block already there
        if (!modbus::FrameCodec::extractReadData(answer, count, rtu, rx))
            __builtin_trap();
        if (rx.size() != 2 + 2 * std::size_t(count))
            __builtin_trap();
    }
    return 0;
}
