#pragma once

#include "modbus/link_io.h"

// Passes everything to the serial port and counts the bytes on the wire.
class CountingSerial : public modbus::SerialIo {
public:
    explicit CountingSerial(modbus::SerialIo &port) : port_(port) {}

    long long bytesOut = 0;
    long long bytesIn = 0;
    long long requests = 0;

    bool isOpen() const override { return port_.isOpen(); }
    int inBufferCount() override { return port_.inBufferCount(); }
    std::vector<std::uint8_t> takeInput() override
    {
        std::vector<std::uint8_t> input = port_.takeInput();
        bytesIn += static_cast<long long>(input.size());
        return input;
    }
    void expectInput(int totalBytes) override { port_.expectInput(totalBytes); }
    void output(std::span<const std::uint8_t> bytes) override
    {
        bytesOut += static_cast<long long>(bytes.size());
        ++requests;
        port_.output(bytes);
    }

private:
    modbus::SerialIo &port_;
};
