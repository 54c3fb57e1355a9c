// Small steps the transfer sequences share: building a command packet, sending one packet, and a
// write transaction that holds the keyboard for its whole run.
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

// One write transaction: holds the keyboard's transfer lock from construction to destruction, so
// that no other sender's packets come between its own, and sends packets paced by `delayMs`. A
// packet that fails is logged and remembered; the ones after it still go out. `link` and `name`
// must outlive the transaction.
class Transaction {
 public:
  Transaction(const DeviceLink& link, const char* name, int delayMs);
  // False when the keyboard is not open (nothing can be sent).
  bool open() const { return guard_.valid(); }
  // True while every packet so far was accepted and nothing failed.
  bool ok() const { return ok_; }

  // One packet with read-back.
  void Send(const DevicePacket& packet);
  // A data block of data.size() / 64 packets through the manager's block send (each packet
  // retried there; the read-back flag has no effect on a block).
  void SendBlock(std::span<const uint8_t> data);
  // Logs `what` and marks the transaction failed.
  void Fail(const char* what);

 private:
  const DeviceLink& link_;
  const char* name_;
  int delayMs_;
  TransferGuard guard_;
  bool ok_ = true;
};
