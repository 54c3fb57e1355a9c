// Helpers of the tests of the macro, lighting and screen transfers: a link to keyboard 0 over the
// simulated keyboard, and readers of what it received.
#pragma once

#include <vector>

#include "device/DeviceLink.h"
#include "hid_test_support.h"

namespace hid_test {

inline constexpr int kPacketDelay = 35;

class TransferTest : public HidTest {
 protected:
  void SetUp() override {
    HidTest::SetUp();
    OpenKeyboards(1);
  }
  DeviceLink Link() { return DeviceLink{*manager_, clock_, 0, kPacketDelay}; }
  SimKeyboard& Keyboard() { return sim_.keyboard(0); }
  std::vector<platform::hid::sim::Packet> Sent() { return platform::hid::sim::SentPackets(sim_.log(), 0); }
  // Command bytes of the command packets sent, in order.
  std::vector<uint8_t> Commands() {
    std::vector<uint8_t> out;
    for (const auto& p : Sent())
      if (p[kPacketMarkerOffset] == CMD_MARKER && IsCommandPacket(p.data()))
        out.push_back(p[kPacketCommandOffset]);
    return out;
  }
  // For each packet sent on the command interface: whether a reply read followed it.
  std::vector<bool> ReadBackFlags() {
    std::vector<bool> flags;
    for (const SimIo& io : sim_.log()) {
      if (io.node != NodeRole::kCommand) continue;
      if (io.kind == SimIo::Kind::kSend) flags.push_back(false);
      if (io.kind == SimIo::Kind::kGet && !flags.empty()) flags.back() = true;
    }
    return flags;
  }
};

}  // namespace hid_test
