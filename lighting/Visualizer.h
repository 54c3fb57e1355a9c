// The music page's audio analyser: captures what the computer plays, turns it into 64 spectrum
// bands over 256 columns and paints a 64 x 256 picture from a foreground scheme (the bars) and a
// background scheme. A render thread makes about 60 pictures a second while the analyser is active
// and naps while it is not.
//
// Threads: the render thread analyses, paints and publishes; the window's worker runs Init and
// StartThread and copies the front frame; the interface thread writes the settings (atomics, read
// once per frame) and reopens capture; the audio back end's thread reports default-endpoint
// changes. One analyser mutex guards the device list, the capture stream and the analysis state;
// the published frame has a short lock of its own.
#pragma once

#include <pthread.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lighting/VisualizerDsp.h"
#include "platform/audio/audio_capture.h"
#include "platform/clock/clock.h"

class Visualizer {
 public:
  static constexpr int kRows = visualizer::kFrameRows;  // VIS_FRAME_ROWS
  static constexpr int kCols = visualizer::kFrameCols;  // VIS_FRAME_COLS
  using Frame = visualizer::Frame;                      // pixel = red | green << 8 | blue << 16
  using Levels = visualizer::LevelArray;
  using History = std::array<float, visualizer::kFftValues>;

  Visualizer();
  ~Visualizer();  // Stop() when it did not run yet
  Visualizer(const Visualizer&) = delete;
  Visualizer& operator=(const Visualizer&) = delete;

  // Before Init. Null (or never called): no sound server (empty device list, no capture).
  void SetBackend(std::unique_ptr<platform::audio::AudioBackend> backend);
  // The analyser's clock for its silence rule (100 ms without a packet). Default: a SteadyClock.
  // Null restores the default. The clock must outlive the analyser.
  void SetClock(platform::Clock* clock);

  // Device list, default settings, tables, capture; zeroed levels.
  void Init();
  bool StartThread();  // false on a second call (or after Stop)
  // Unregisters the listener, stops and joins the render thread (waking its 15/500 ms waits) and
  // closes capture. Idempotent.
  void Stop();
  void EnumerateDevices();
  // (Re)opens capture of entry m_deviceIndex; an index outside the list becomes 0, an empty list
  // opens nothing.
  void OpenCapture();
  // Follows a new default playback endpoint for (render, console); other pairs change nothing.
  void OnDefaultDeviceChanged(platform::audio::Flow flow, platform::audio::Role role);
  void AnalyzeOnce();  // one Analyze (tests)
  void RenderOnce();   // one loop body without its sleep: nothing when inactive (tests, benchmark)

  std::vector<std::wstring> DeviceNames() const;   // a copy
  void CopyFrontFrame(Frame& out) const;           // whole front frame under the short lock
  uint32_t FrontPixel(int row, int column) const;  // 0 outside the frame

  // Settings written from outside, read once per frame.
  std::atomic<int> m_gain{0}, m_deviceIndex{0}, m_foreScheme{0}, m_backScheme{0}, m_backBrightness{0};
  std::atomic<int> m_active{0};

  // ---- read-only views (tests, benchmark) ----
  Levels LevelsView() const;
  Levels DisplayLevelsView() const;
  History SampleHistoryView() const;
  float Phase() const { return m_phase.load(std::memory_order_relaxed); }
  bool Capturing() const;
  uint64_t FramesRendered() const { return m_framesRendered.load(std::memory_order_relaxed); }
  // The render thread's waits (its naps and the pauses between frames): how many began, and how
  // many a Stop ended before their time.
  struct ThreadWaits {
    uint64_t begun = 0;
    uint64_t cutShort = 0;
  };
  ThreadWaits Waits() const;
  // CPU time the render thread has used so far; 0 without a thread.
  std::chrono::nanoseconds RenderThreadCpuTime() const;

 private:
  static constexpr int kDecayPercent = 80;
  static constexpr int kSmoothMode = 1;
  static constexpr int kSmoothWidth = 8;
  static constexpr int kWindowType = 1;
  static constexpr float kPhaseStep = 500.0f;
  static constexpr float kLevelBlend = 1.0f;
  static constexpr auto kSilenceAfter = std::chrono::milliseconds(100);

  void ThreadProc();
  // Waits up to `length` for a Stop; m_threadMutex is held through `lock`.
  void WaitLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds length);
  void RenderFrame();
  void Analyze(int gain);
  // Reads the waiting packets into the sample history; the analyser mutex is held.
  void DrainLocked(int gain);
  // The parts of OpenCapture and the list rebuild that run with m_deviceMutex held.
  void OpenCaptureLocked();
  void RegisterListener();
  std::chrono::nanoseconds Now();

  // Serialises the list rebuilds and capture replacements (the calls into the back end).
  std::mutex m_deviceMutex;
  // The analyser mutex: device list, capture stream, analysis state.
  mutable std::mutex m_mutex;
  std::shared_ptr<platform::audio::AudioBackend> m_backend;  // shared with a listener registration
  std::vector<std::wstring> m_deviceNames;
  std::vector<platform::audio::Endpoint> m_devices;
  std::unique_ptr<platform::audio::CaptureStream> m_capture;
  std::chrono::nanoseconds m_lastPacket{0};
  bool m_loggedNoEndpoint = false;
  bool m_closed = false;  // Stop ran: no listener, no back end

  platform::SteadyClock m_steadyClock;
  std::atomic<platform::Clock*> m_clock{&m_steadyClock};

  Levels m_levels{};
  Levels m_displayLevels{};
  History m_sampleHistory{};
  Levels m_gainTable{};
  visualizer::WindowTable m_hann{}, m_hamming{}, m_blackman{};
  std::atomic<float> m_phase{0.0f};

  // Scheme frames and the composed frame are the render thread's own; the front frame is shared
  // under m_frameMutex and replaced by a swap.
  std::unique_ptr<Frame> m_backSchemeFrame, m_foreSchemeFrame, m_backFrame;
  mutable std::mutex m_frameMutex;
  std::unique_ptr<Frame> m_frontFrame;
  std::atomic<uint64_t> m_framesRendered{0};

  std::mutex m_stopMutex;            // one Stop at a time
  mutable std::mutex m_threadMutex;  // the thread's start and stop, and its waits
  std::condition_variable m_wake;
  bool m_running = false;
  bool m_started = false;
  bool m_stopRequested = false;
  ThreadWaits m_waits;  // m_threadMutex
  std::thread m_thread;
  pthread_t m_threadHandle{};
};
