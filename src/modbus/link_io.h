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
    // Up to maxBytes from the start of the receive buffer, which keeps them.
    virtual std::vector<std::uint8_t> peekInput(int maxBytes) = 0;
    // The receive count at which the answer to the next request is complete,
    // and a shorter count worth a look first (where an exception answer
    // would end). The port may then announce arriving input only at those
    // counts, instead of for each part of a trickling answer.
    virtual void expectInput(int totalBytes, int firstLook) = 0;
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
    // The same, but the bytes stay unread.
    virtual std::vector<std::uint8_t> peekData(int maxBytes) = 0;
    virtual void sendData(std::span<const std::uint8_t> bytes) = 0;
};

} // namespace modbus
