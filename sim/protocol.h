// The slave side of Modbus RTU: recognising a request in the received bytes
// and answering it from the devices on the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/device.h"

namespace sim {

// Length of the request that begins buf, judged from its function code and,
// for function 16, its byte count. 0 while too few bytes have arrived to tell,
// or when the function is one the device does not know (its frame can then
// only be delimited by the silence after it).
size_t request_length(const uint8_t* buf, size_t n);

// One station on the line: a detector, or a foreign device that answers
// every request addressed to it with an exception.
struct Station_t {
    Device_t* device = nullptr;  // null for a foreign device
    uint8_t foreign_address = 0;
    uint8_t address() const { return device ? device->address() : foreign_address; }
};

struct Outcome_t {
    std::vector<uint8_t> reply;  // empty: nothing is sent
    int station = -1;            // index of the station that took the request, -1: none
    WriteEffects_t effects;
    const char* note = "";       // why nothing was sent, for the log
};

// Carries out one frame (address, PDU, CRC) received whole from the line.
// Wrong CRC, malformed frames and other addresses are ignored; broadcast
// writes go to every detector without a reply.
Outcome_t process_frame(std::vector<Station_t>& stations, const uint8_t* frame, size_t n, time_point_t now);

// An exception reply: address, function | 0x80, code, CRC.
std::vector<uint8_t> exception_reply(uint8_t address, uint8_t function, uint8_t code);

}  // namespace sim
