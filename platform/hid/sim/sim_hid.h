// An in-process simulated keyboard behind the HID back-end interface. It speaks the keyboard's
// protocol (status replies, colour read-back, bulk blocks with acks, input reports), records every
// I/O call, and can be told to fail, to be slow, to be unplugged, or to hold an I/O call until the
// test lets it go. All calls are thread-safe.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/hid/hid_backend.h"

namespace platform::hid::sim {

// What a node of the simulated keyboard is for. Only the report lengths and the 0xFFFF/1 vendor
// usage are what the application looks at; the roles name the nodes in tests.
enum class NodeRole { kBoot, kCommand, kVendor, kBulk };

struct SimNodeConfig {
  NodeRole role = NodeRole::kBoot;
  int interfaceNumber = 0;
  std::vector<HidCollection> collections;
  bool openFails = false;
  bool permissionDenied = false;
  // Enumeration position across all keyboards (lower first); -1 takes the order of creation.
  int position = -1;
};

// The four nodes of the default keyboard: boot keyboard (interface 0), command interface with a
// 65-byte feature report (1), vendor collection 0xFFFF/1 with a 4-byte input report (2), and the
// bulk interface with a 4097-byte output report and an ack input report (3).
std::vector<SimNodeConfig> DefaultKeyboardNodes();

struct SimKeyboardConfig {
  uint16_t vendorId = 0x7C3A;
  uint16_t productId = 0xB108;
  uint16_t releaseNumber = 0x0105;
  std::optional<std::wstring> productString = L"Varnel V108 RGB";  // nullopt: the read fails
  std::optional<std::string> physicalKey;                          // nullopt: one is made up; "": unknown
  std::vector<SimNodeConfig> nodes = DefaultKeyboardNodes();
};

// One recorded I/O call. `bytes` is what was sent, or what was delivered to the caller.
struct SimIo {
  enum class Kind { kSend, kGet, kWrite, kRead, kInput };
  int64_t timeMs = 0;  // clock time when the call began
  int keyboard = 0;
  NodeRole node = NodeRole::kCommand;
  Kind kind = Kind::kSend;
  std::vector<uint8_t> bytes;
  int result = 0;
};

enum class BulkWriteResult { kFull, kFail, kZero };
enum class AckMode { kImmediate, kLate, kNever };

class SimHidBackend;

class SimKeyboard {
 public:
  int id() const { return id_; }
  // Current path of the node with `role` ("" when the keyboard has none).
  std::string nodePath(NodeRole role) const;

  // Reply status values, used one per status reply; 1 once the queue is empty.
  void queueStatus(uint8_t status);

  // Send failures on the command interface, counted from now on: the n-th send (1 = next), the
  // next k sends, every send whose packet begins with `packetPrefix`.
  void failSendNumber(int n);
  void failNextSends(int k);
  void failSendsOfPacket(std::vector<uint8_t> packetPrefix);
  // Every send from the n-th on (1 = next) fails, as a keyboard that stops answering; 0 ends it.
  void failSendsFrom(int n);
  // The keyboard is unplugged right after the n-th send from now (1 = next) reached it: as
  // unplug(), but the hot-plug hook is not called.
  void unplugAfterSends(int n);
  // Reply reads: the next k fail, or deliver only `bytes` bytes (report id included).
  void failNextReads(int k);
  void shortNextReads(int k, int bytes);
  // Virtual time each call takes (needs a VirtualClock).
  void setSendLatencyMs(int ms);
  void setReadLatencyMs(int ms);

  // Colour read-back. RGB: entry i of the table at packet bytes 4i..4i+3 of the replies as
  // (0, r, g, b). Single colour: level i at byte i of the first three replies; after them zeros,
  // or failing reads when `tailFails`.
  void setRgbColors(std::vector<std::array<uint8_t, 3>> colors);
  void setSingleColorLevels(std::vector<uint8_t> levels, bool tailFails);

  // Bulk interface: results of the coming writes (full length once the queue is empty) and how the
  // ack of each written block arrives. kLate: only after the read that waited for it timed out.
  void queueBulkWrites(std::vector<BulkWriteResult> results);
  void setAckMode(AckMode mode);
  // Blocks written since the last CMD_LCD_ANIMATION, joined.
  std::vector<uint8_t> animationImage() const;
  int bulkBlocks() const;
  // Time the keyboard takes to acknowledge a bulk block (virtual time with a VirtualClock, else
  // slept for real).
  void setAckLatencyMs(int ms);

  // What the keyboard took in, decoded from the packets that reached it. A data block is taken
  // whole: the packet count its command announced (CMD_MACRO_DATA, CMD_KEYMAP and CMD_KEYMAP_FN:
  // that count + 1), as the keyboard's firmware counts them; a block cut short by a new command is
  // kept as far as it got, except a key map, which the keyboard takes only whole.
  struct ReceivedState {
    std::vector<uint8_t> macroMemory;     // the last macro image
    int macroPacketCount = -1;            // byte 8 of the last CMD_MACRO_DATA
    std::vector<uint8_t> lightMode;       // the last light-mode record (64 bytes)
    std::vector<uint8_t> customSettings;  // the last custom-mode settings record (byte 0 = 0x80)
    std::vector<uint8_t> customColors;    // the last custom colour block
    int customColorPackets = -1;          // byte 8 of the last CMD_CUSTOM_COLORS
    std::vector<uint8_t> liveColors;      // the last live colour block
    int liveFrames = 0;                   // live colour blocks received whole
    int lcdSlot = -1;                     // byte 2 of the last CMD_LCD_ANIMATION
    int lcdBlocksAnnounced = -1;          // bytes 8-9 of the last CMD_LCD_ANIMATION
    int saves = 0;                        // CMD_SAVE packets
    std::vector<uint8_t> systemSettings;  // the last system-settings record (64 bytes)
    int systemProfile = -1;               // byte 2 of the last CMD_SYSTEM_SETTINGS
    std::vector<uint8_t> clock;           // the last clock record (64 bytes)
    // The last whole key map of Fn layer 0 and of layer 1 (640 bytes each), and how many whole
    // key maps each layer received.
    std::array<std::vector<uint8_t>, 2> keyMap;
    std::array<int, 2> keyMapCount{};
  };
  ReceivedState received() const;

  // Input reports of the vendor node.
  void pushInput(std::vector<uint8_t> report);
  void pushInputTimeout();
  void pushInputError();
  void pushHangUp();
  int activeReaders() const;
  int maxConcurrentReaders() const;

  // Unplug: gone from the enumeration, I/O on its open handles fails, readers are hung up.
  // Replug: back under new node paths.
  void unplug();
  void replug();
  bool plugged() const;

  // Open handles (transfer and input) on the node with `role`.
  int openHandles(NodeRole role) const;

  // Holds the next I/O call on `role` until releaseGate(). waitUntilGated waits (real time, at
  // most `timeoutMs`) until such a call is being held.
  void gateNextIo(NodeRole role);
  // The same for the n-th I/O call on `role` from now (1 = next); the ones before it pass.
  void gateIo(NodeRole role, int n);
  bool waitUntilGated(int timeoutMs);
  void releaseGate();

 private:
  friend class SimHidBackend;
  friend class SimTransferHandle;
  friend class SimInputReader;

  struct Node {
    SimNodeConfig config;
    std::string path;
    int openHandles = 0;
    struct InputEvent {
      InputRead::Status status;  // kData, kTimeout, kError or kGone (hang-up)
      std::vector<uint8_t> bytes;
    };
    std::deque<InputEvent> inputQueue;
    bool hungUp = false;
  };

  SimKeyboard(SimHidBackend& backend, int id, SimKeyboardConfig config);
  void pushEvent(InputRead::Status status, std::vector<uint8_t> bytes);
  Node* node(NodeRole role);
  const Node* node(NodeRole role) const;

  SimHidBackend& backend_;
  const int id_;
  SimKeyboardConfig config_;
  std::string physicalKey_;
  std::vector<Node> nodes_;
  bool plugged_ = true;
  int generation_ = 0;

  std::deque<uint8_t> statuses_;
  int sendCount_ = 0;
  std::set<int> failSendNumbers_;
  int failNextSends_ = 0;
  std::vector<std::vector<uint8_t>> failPackets_;
  int failFrom_ = 0;     // send number from which all fail; 0 for none
  int unplugAfter_ = 0;  // send number after which the keyboard is unplugged; 0 for none
  int failNextReads_ = 0;
  int shortReads_ = 0;
  int shortReadBytes_ = 0;
  int sendLatencyMs_ = 0;
  int readLatencyMs_ = 0;

  bool rgb_ = true;
  std::vector<std::array<uint8_t, 3>> colors_;
  std::vector<uint8_t> levels_;
  bool tailFails_ = false;
  int colorReply_ = -1;  // -1: no query; 0: status next; 1..9: data reply n next

  std::deque<BulkWriteResult> bulkWrites_;
  AckMode ackMode_ = AckMode::kImmediate;
  int pendingAcks_ = 0;
  int lateAcks_ = 0;
  std::vector<uint8_t> image_;
  int blocks_ = 0;
  int ackLatencyMs_ = 0;

  // The data block being received: where it goes and how many packets are still due.
  enum class Intake {
    kNone,
    kMacro,
    kLightRecord,
    kCustomColors,
    kLiveColors,
    kSystemRecord,
    kClockRecord,
    kKeyMap,
    kKeyMapFn,
  };
  Intake intake_ = Intake::kNone;
  int intakeDue_ = 0;
  std::vector<uint8_t> intakeBytes_;
  ReceivedState received_;

  int activeReaders_ = 0;
  int maxReaders_ = 0;

  std::optional<NodeRole> gateArmed_;
  int gateCountdown_ = 0;  // calls on the armed role still to pass, the held one included
  bool gateHeld_ = false;
  bool gateOpen_ = false;
};

class SimHidBackend final : public HidBackend {
 public:
  // `clock` stamps the records and, when it is a VirtualClock, carries the simulated latency and
  // time-outs. It must outlive the backend.
  explicit SimHidBackend(Clock& clock);
  ~SimHidBackend() override;

  // Adds a keyboard (plugged in); the backend owns it.
  SimKeyboard& addKeyboard(SimKeyboardConfig config = {});
  SimKeyboard& keyboard(int id);
  // Makes init() fail, as a HID library that cannot start.
  void setInitFails(bool fails);
  // Called (outside the backend's lock) with (keyboard id, arrived) on add, unplug and replug.
  void setHotplugHook(std::function<void(int, bool)> hook);

  std::vector<SimIo> log() const;
  void clearLog();
  // True once a handle was closed while an I/O call on it was running.
  bool closedDuringIo() const;
  int totalOpenHandles() const;

  bool init() override;
  std::vector<HidNodeInfo> listNodes() override;
  std::unique_ptr<HidTransferHandle> openTransfer(const HidNodeInfo& node, OpenError* error) override;
  std::unique_ptr<HidInputReader> openInput(const HidNodeInfo& node, OpenError* error) override;

 private:
  friend class SimKeyboard;
  friend class SimTransferHandle;
  friend class SimInputReader;

  void advance(int ms);  // under mutex_
  // A delay of the keyboard itself: virtual time, or real sleeping on a real clock. Under mutex_.
  void wait(int ms);
  std::string newPath();
  void record(const SimKeyboard& kb, NodeRole role, SimIo::Kind kind, int64_t startMs, const uint8_t* bytes,
              size_t size, int result);
  // Waits while a gate holds this call; returns with `lock` held.
  void passGate(std::unique_lock<std::mutex>& lock, SimKeyboard& kb, NodeRole role);
  void notifyHotplug(int id, bool arrived);
  SimKeyboard::Node* findNode(const std::string& path, SimKeyboard** keyboard);
  // Finds the node of `path` and counts a new handle on it; null (reason in *error) when it
  // cannot be opened. Under mutex_.
  SimKeyboard::Node* admitOpen(const std::string& path, OpenError* error, SimKeyboard** keyboard);

  Clock& clock_;
  VirtualClock* virtualClock_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<SimKeyboard>> keyboards_;
  std::vector<SimIo> log_;
  bool closedDuringIo_ = false;
  bool initFails_ = false;
  int nextPath_ = 0;
  int nextPosition_ = 0;
  std::function<void(int, bool)> hotplugHook_;
};

// Reading the traffic back. A packet is the 64 bytes after the report id of a successful send.
using Packet = std::vector<uint8_t>;

// Packets that reached keyboard `keyboard`'s command interface, in order.
std::vector<Packet> SentPackets(const std::vector<SimIo>& log, int keyboard);
// The packets split into transactions: from CMD_BEGIN or CMD_MACRO_BEGIN to CMD_END, with a
// CMD_SAVE that directly follows CMD_END; a packet outside any transaction stands alone.
std::vector<std::vector<Packet>> SplitTransactions(const std::vector<Packet>& packets);
// For each command packet with `command`, the packets that followed it up to the next command
// packet.
std::vector<std::vector<Packet>> PacketsAfterCommand(const std::vector<Packet>& packets, uint8_t command);

}  // namespace platform::hid::sim
