// Small steps the transfer sequences share: building a command packet and sending one packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "device/DeviceLink.h"
#include "device/DevicePacket.h"

// 04, the command byte, `param` at byte 2 and `count` at bytes 8-9 (low byte first; byte 9 is 0
// for counts below 256).
DevicePacket MakeCommandPacket(uint8_t command, uint8_t param = 0, uint16_t count = 0);

// Writes REPORT_TRAILER at `offset` of a record or data block.
void PutTrailer(std::span<uint8_t> bytes, size_t offset);

// Sends one 64-byte packet to link's keyboard with `delayMs` pacing.
bool SendPacket(const DeviceLink& link, const DevicePacket& packet, int delayMs, bool readBack);

// Sends a command packet with read-back, paced by link.packetDelayMs.
bool SendCommand(const DeviceLink& link, uint8_t command, uint8_t param = 0, uint16_t count = 0);
