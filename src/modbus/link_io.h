#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace modbus {

// What a transaction needs of the serial port: its receive count, the whole
// receive buffer at once, the length of the answer it waits for, and output.
class SerialIo {
public:
    virtual ~SerialIo() = default;
    virtual bool isOpen() const = 0;
    // Bytes waiting in the receive buffer; 0 when the port is closed.
    virtual int inBufferCount() = 0;
    // Takes everything from the receive buffer.
    virtual std::vector<std::uint8_t> takeInput() = 0;
    // The receive count at which the answer to the next request is complete.
    // The port may then announce arriving input only once that many bytes
    // are in, instead of for each part of a trickling answer.
    virtual void expectInput(int totalBytes) = 0;
    virtual void output(std::span<const std::uint8_t> bytes) = 0;
};

// What a transaction needs of the TCP socket. Arrival of data is announced
// separately (the data-arrival event); reading never blocks.
class TcpIo {
public:
    virtual ~TcpIo() = default;
    virtual bool isConnected() const = 0;
    // Up to maxBytes of the unread bytes, fewer when fewer are there.
    virtual std::vector<std::uint8_t> getData(int maxBytes) = 0;
    virtual void sendData(std::span<const std::uint8_t> bytes) = 0;
};

} // namespace modbus
