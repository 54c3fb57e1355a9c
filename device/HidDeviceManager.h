// The process-wide owner of every open keyboard interface: the wanted-device list, enumeration and
// numbering, and the four packet transfers (single packets and data blocks, live-colour frames,
// bulk blocks, the colour query).
//
// Threads: the UI thread (rescans, macro download) and the worker of every keyboard window use the
// manager at once. Every operation holds the manager lock shared for its whole run; OpenAll,
// CloseAll, Reopen and the destructor hold it exclusively, so no handle is closed under a running
// transfer. Every transfer also holds its keyboard's transfer lock, so two senders' packets never
// interleave on one keyboard; a builder that sends several packets holds LockTransfer() around
// them. Lock order: transfer lock, then manager lock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/hid/hid_backend.h"

struct WantedDevice {
  int vid = 0;
  int pid = 0;
  std::wstring productName;  // empty: any product string
};

// What callers may know of an open keyboard.
struct HidDeviceInfo {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  int releaseNumber = 0;
  std::wstring productString;
  std::string physicalKey;  // "" when unknown
  bool hasBulkInterface = false;
};

// One open keyboard: its command interface and, when bound, the bulk interface of the same
// physical device. Owned by the manager.
struct HidDeviceRecord {
  int index = -1;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::wstring productString;
  std::unique_ptr<platform::hid::HidTransferHandle> device;
  int releaseNumber = 0;
  std::string physicalKey;
  std::string lockKey;  // physical key, or the command node's path when that is unknown
  std::unique_ptr<platform::hid::HidTransferHandle> bulk;
  size_t bulkReportLength = 0;
  // The transfer lock of lockKey (owned by the manager, lives as long as it), so that a transfer
  // finds and checks it without a string copy or a map look-up.
  std::recursive_timed_mutex* transferMutex = nullptr;
  // The bulk report buffer, report-length bytes, reused by every block; used only under the
  // transfer lock.
  std::vector<uint8_t> bulkReport;
};

class HidDeviceManager;

// Keeps one keyboard's transfers to the holder's thread from construction to destruction. A guard
// that was refused (bad index, not opened) holds nothing and valid() is false. Movable.
class TransferGuard {
 public:
  TransferGuard() = default;
  TransferGuard(TransferGuard&& other) noexcept;
  TransferGuard& operator=(TransferGuard&& other) noexcept;
  TransferGuard(const TransferGuard&) = delete;
  TransferGuard& operator=(const TransferGuard&) = delete;
  ~TransferGuard();
  bool valid() const { return mutex_ != nullptr; }

 private:
  friend class HidDeviceManager;
  void release();
  const HidDeviceManager* manager_ = nullptr;
  std::recursive_timed_mutex* mutex_ = nullptr;
  int index_ = -1;
  std::string key_;
};

class HidDeviceManager {
 public:
  // `backend` and `clock` are not owned and must outlive the manager. The first manager alive
  // becomes g_hidDeviceManager.
  HidDeviceManager(platform::hid::HidBackend& backend, platform::Clock& clock);
  // The program's manager: hidapi back end and the real clock, both owned.
  HidDeviceManager();
  // Destroys every record; the owner joins the threads that still use the manager first.
  ~HidDeviceManager();
  HidDeviceManager(const HidDeviceManager&) = delete;
  HidDeviceManager& operator=(const HidDeviceManager&) = delete;

  // ---- Static entry points on g_hidDeviceManager (false, -1 or nothing when there is none).
  static void AddWantedDevice(int vid, int pid, const std::wstring& productName);
  static int FindDevice(int vid, int pid, const std::wstring& productName);
  static bool GetDeviceRelease(int& release, int index);
  static bool SendReports(std::span<const uint8_t> data, int deviceIndex, int delayMs, bool readBack);
  static bool SendReportsFast(std::span<const uint8_t> data, int deviceIndex);
  static bool WriteBlock(std::span<const uint8_t> block, int deviceIndex);
  static bool QueryReports(std::span<uint8_t> buffer, int count, int deviceIndex);

  // ---- Wanted devices. The list is never cleared and has no duplicate check.
  void AddWanted(int vid, int pid, const std::wstring& productName);
  bool IsWantedVidPid(int vid, int pid) const;
  // A wanted entry with these ids and an empty or exactly (case-sensitively) equal name.
  bool IsWanted(int vid, int pid, const std::wstring& productString) const;

  // ---- Enumeration.
  // Opens the command interface of every wanted keyboard (one record each, numbered in
  // enumeration order) and binds each keyboard's bulk interface to its record. Unwanted,
  // unreadable or unopenable nodes are skipped. Does not set the opened flag.
  void OpenAll();
  // When opened: clears the flag, closes every handle and drops every record. Else nothing.
  void CloseAll();
  // The whole rescan as one step: busy; CloseAll; OpenAll; opened; busy cleared (also the part
  // that a block write left set for its closing packet).
  void Reopen();

  // ---- Lookups.
  // Index of the first record with these ids and, for a non-empty name, exactly this product
  // string; -1 when none.
  int Find(int vid, int pid, const std::wstring& productName) const;
  // The record's bcdDevice; nullopt when not opened or the index is bad.
  std::optional<int> DeviceRelease(int index) const;
  std::optional<HidDeviceInfo> GetDeviceInfo(int index) const;
  int DeviceCount() const;
  // Whether keyboard `index` is still in the system's device list (a fresh enumeration, so that a
  // keyboard unplugged since the last reopen reads as gone). False when not opened or the index
  // is bad.
  bool IsConnected(int index) const;
  bool IsOpened() const;
  bool IsBusy() const;
  // Wanted nodes that the last OpenAll could not open for lack of permission (no udev rule).
  int PermissionDeniedCount() const;

  // Holds keyboard `index`'s transfer lock for the caller's thread until the guard ends. While it
  // is held, other threads' transfers to that keyboard wait. When a reopen gives the index to
  // another keyboard or drops it, the holder's transfers fail without I/O.
  TransferGuard LockTransfer(int index);
  // The same, but waits at most `wait` for another thread's transaction on that keyboard. A
  // refused guard with *timedOut set means the keyboard is there but stayed busy.
  TransferGuard TryLockTransfer(int index, std::chrono::milliseconds wait, bool* timedOut = nullptr);

  // ---- Transfers (the static entry points call these).
  // 1 to 65 bytes: one packet (at most 64 bytes copied, the rest zero) with pacing and, with
  // readBack, the status read and one resend on 0xFF. More: a data block of size / 64 packets,
  // each tried up to 11 times. False for bad input, when not opened, or on failure.
  bool Send(std::span<const uint8_t> data, int deviceIndex, int delayMs, bool readBack);
  // A live-colour frame: size / 64 packets, 2 ms apart, no retries, cut after 100 ms.
  bool SendFast(std::span<const uint8_t> data, int deviceIndex);
  // One 4096-byte block on the bulk interface of keyboard `deviceIndex`, then its ack (300 ms).
  // Leaves the busy flag set until the next Send ends.
  bool Write(std::span<const uint8_t> block, int deviceIndex);
  // Sends the request in buffer[0..63] and reads nine 64-byte data replies into buffer (at least
  // 576 bytes). Refused at once while busy.
  bool Query(std::span<uint8_t> buffer, int count, int deviceIndex);

 private:
  friend class TransferGuard;
  struct Internals;

  HidDeviceManager(std::unique_ptr<platform::hid::HidBackend> backend,
                   std::unique_ptr<platform::Clock> clock);

  void OpenAllLocked();
  void CloseAllLocked();
  // Runs `op` on the record of `index` with the transfer lock and the shared manager lock held.
  // False without calling `op` when not opened, the index is bad, or a guard of this thread was
  // taken for another keyboard at this index. Under a guard of this thread for `index` the
  // transfer lock is held already, and only the manager lock is taken.
  template <typename Op>
  bool WithDevice(int index, Op&& op);
  std::optional<std::string> LockKeyOf(int index) const;
  std::recursive_timed_mutex* TransferMutexOf(int index) const;
  std::recursive_timed_mutex& TransferMutex(const std::string& key);
  TransferGuard AcquireTransfer(int index, std::optional<std::chrono::milliseconds> wait, bool* timedOut);

  bool SendSingle(HidDeviceRecord& record, const uint8_t* packet, size_t size, int delayMs, bool readBack);
  bool SendBlock(HidDeviceRecord& record, const uint8_t* data, size_t size, int delayMs);
  bool SendPacket(HidDeviceRecord& record, const uint8_t* packet);
  bool ReadReply(HidDeviceRecord& record, uint8_t* report);

  std::unique_ptr<platform::hid::HidBackend> ownedBackend_;
  std::unique_ptr<platform::Clock> ownedClock_;
  platform::hid::HidBackend& backend_;
  platform::Clock& clock_;
  std::unique_ptr<Internals> internals_;

  // Fields of the device list; guarded by the manager lock.
  std::atomic<int> m_opened{0};
  std::vector<std::unique_ptr<HidDeviceRecord>> m_devices;
  std::vector<WantedDevice> m_wanted;
  int m_permissionDenied = 0;
};

extern HidDeviceManager* g_hidDeviceManager;
