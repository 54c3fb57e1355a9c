#include "device/TransferSteps.h"

#include <algorithm>

#include "platform/hid/debug_log.h"

using platform::hid::HidDebugLog;

DevicePacket MakeCommandPacket(uint8_t command, uint8_t param, uint16_t count) {
  DevicePacket p;
  p.bytes[kPacketMarkerOffset] = CMD_MARKER;
  p.bytes[kPacketCommandOffset] = command;
  p.bytes[kPacketParamOffset] = param;
  p.bytes[kPacketCountOffset] = static_cast<uint8_t>(count & 0xFF);
  p.bytes[kPacketCountOffset + 1] = static_cast<uint8_t>(count >> 8);
  return p;
}

bool SendPacket(const DeviceLink& link, const DevicePacket& packet, int delayMs, bool readBack) {
  return link.manager.Send(packet.bytes, link.deviceIndex, delayMs, readBack);
}

bool SendCommand(const DeviceLink& link, uint8_t command, uint8_t param, uint16_t count) {
  return SendPacket(link, MakeCommandPacket(command, param, count), link.packetDelayMs, true);
}

void PutTrailer(std::span<uint8_t> bytes, size_t offset) {
  std::copy(REPORT_TRAILER.begin(), REPORT_TRAILER.end(),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

Transaction::Transaction(const DeviceLink& link, const char* name, int delayMs)
    : link_(link), name_(name), delayMs_(delayMs), guard_(link.manager.LockTransfer(link.deviceIndex)) {
  if (!guard_.valid()) HidDebugLog("%s: keyboard %d is not open; nothing sent", name_, link_.deviceIndex);
}

void Transaction::Send(const DevicePacket& packet) {
  if (SendPacket(link_, packet, delayMs_, true)) return;
  Fail("a packet was not accepted");
}

void Transaction::SendBlock(std::span<const uint8_t> data) {
  if (link_.manager.Send(data, link_.deviceIndex, delayMs_, true)) return;
  Fail("a data block was not accepted");
}

void Transaction::Fail(const char* what) {
  HidDebugLog("%s on keyboard %d: %s", name_, link_.deviceIndex, what);
  ok_ = false;
}
