// Shared set-up of the device-layer tests: a virtual clock, the simulated keyboard back end and a
// manager that wants the default keyboard model.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/DevicePacket.h"
#include "device/HidDeviceManager.h"
#include "platform/clock/clock.h"
#include "platform/hid/sim/sim_hid.h"

namespace hid_test {

using platform::hid::sim::NodeRole;
using platform::hid::sim::SimIo;
using platform::hid::sim::SimKeyboard;
using platform::hid::sim::SimKeyboardConfig;
using Bytes = std::vector<uint8_t>;

inline constexpr int kVid = 0x7C3A;
inline constexpr int kPid = 0xB108;

inline Bytes CommandPacket(uint8_t command, uint8_t param = 0, uint8_t count = 0) {
  Bytes p(kPacketSize, 0);
  p[kPacketMarkerOffset] = CMD_MARKER;
  p[kPacketCommandOffset] = command;
  p[kPacketParamOffset] = param;
  p[kPacketCountOffset] = count;
  return p;
}

// `packets` data packets whose bytes are (seed + packet number) everywhere.
inline Bytes DataBlock(size_t packets, uint8_t seed, size_t extra = 0) {
  Bytes b(packets * kPacketSize + extra);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(seed + i / kPacketSize);
  return b;
}

inline SimKeyboardConfig KeyboardNamed(std::optional<std::wstring> name,
                                       std::optional<std::string> key = {}) {
  SimKeyboardConfig c;
  c.productString = std::move(name);
  c.physicalKey = std::move(key);
  return c;
}

class HidTest : public ::testing::Test {
 protected:
  void SetUp() override { manager_ = std::make_unique<HidDeviceManager>(sim_, clock_); }

  // Wants the default model with any product name, adds `count` keyboards and rescans.
  void OpenKeyboards(int count) {
    manager_->AddWanted(kVid, kPid, L"");
    for (int i = 0; i < count; ++i) sim_.addKeyboard();
    Rescan();
  }
  void Rescan() {
    manager_->Reopen();
    sim_.clearLog();
    clock_.clearSleeps();
  }
  std::vector<int> SleepMs() {
    std::vector<int> ms;
    for (const auto& s : clock_.sleeps()) ms.push_back(s.ms);
    return ms;
  }
  std::vector<SimIo> Io(NodeRole node, SimIo::Kind kind, int keyboard = 0) {
    std::vector<SimIo> out;
    for (const auto& io : sim_.log())
      if (io.node == node && io.kind == kind && io.keyboard == keyboard) out.push_back(io);
    return out;
  }

  platform::VirtualClock clock_;
  platform::hid::sim::SimHidBackend sim_{clock_};
  std::unique_ptr<HidDeviceManager> manager_;
};

}  // namespace hid_test
