#include "lighting/Visualizer.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using platform::audio::Flow;
using platform::audio::Role;

constexpr int kMaxPacketsPerFrame = 256;  // a back end that never runs dry cannot hold the frame
constexpr wchar_t kDefaultLoopbackName[] = L"Default Loopback Device";

float FiniteOrZero(float value) { return std::isfinite(value) ? value : 0.0f; }

}  // namespace

Visualizer::Visualizer()
    : m_backSchemeFrame(std::make_unique<Frame>()),
      m_foreSchemeFrame(std::make_unique<Frame>()),
      m_backFrame(std::make_unique<Frame>()),
      m_frontFrame(std::make_unique<Frame>()) {}

Visualizer::~Visualizer() { Stop(); }

void Visualizer::SetBackend(std::unique_ptr<platform::audio::AudioBackend> backend) {
  std::lock_guard guard(m_deviceMutex);
  m_backend = std::move(backend);
}

void Visualizer::SetClock(platform::Clock* clock) {
  m_clock.store(clock != nullptr ? clock : &m_steadyClock);
}

std::chrono::nanoseconds Visualizer::Now() { return m_clock.load()->now(); }

void Visualizer::Init() {
  EnumerateDevices();
  m_gain = 270;
  m_deviceIndex = 0;
  m_backBrightness = 100;
  m_backScheme = 0;
  m_foreScheme = 15;
  m_phase = 0.0f;
  {
    std::lock_guard guard(m_mutex);
    m_hann = visualizer::MakeWindow(1);
    m_hamming = visualizer::MakeWindow(2);
    m_blackman = visualizer::MakeWindow(3);
    for (int i = 0; i < 256; ++i) m_gainTable[i] = 0.04f + 0.5f * static_cast<float>(i) / 256.0f;
    m_levels.fill(0.0f);
  }
  OpenCapture();
}

bool Visualizer::StartThread() {
  std::lock_guard guard(m_threadMutex);
  if (m_started || m_stopRequested) return false;
  m_started = true;
  m_running = true;
  m_thread = std::thread([this] { ThreadProc(); });
  m_threadHandle = m_thread.native_handle();
  return true;
}

void Visualizer::Stop() {
  std::lock_guard stopGuard(m_stopMutex);
  std::shared_ptr<platform::audio::AudioBackend> backend;
  {
    std::lock_guard guard(m_deviceMutex);
    m_closed = true;
    backend = m_backend;
  }
  // Waits for a notification in progress; none starts afterwards.
  if (backend) backend->SetDefaultChangedListener({});
  {
    std::lock_guard guard(m_threadMutex);
    m_running = false;
    m_stopRequested = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();

  std::unique_ptr<platform::audio::CaptureStream> old;
  {
    std::lock_guard deviceGuard(m_deviceMutex);
    {
      std::lock_guard guard(m_mutex);
      old = std::move(m_capture);
      m_sampleHistory.fill(0.0f);
    }
    if (old) old->Stop();
    old.reset();
    m_backend.reset();  // the last owner disconnects from the sound server
  }
  backend.reset();
}

void Visualizer::RegisterListener() {
  std::shared_ptr<platform::audio::AudioBackend> backend;
  {
    std::lock_guard guard(m_deviceMutex);
    if (m_closed) return;
    backend = m_backend;
  }
  // Outside the device mutex: registering waits for a running notification, which takes it.
  if (backend)
    backend->SetDefaultChangedListener([this](Flow flow, Role role) { OnDefaultDeviceChanged(flow, role); });
}

void Visualizer::EnumerateDevices() {
  RegisterListener();
  std::lock_guard deviceGuard(m_deviceMutex);
  std::optional<platform::audio::Endpoint> endpoint;
  if (m_backend && !m_closed) endpoint = m_backend->DefaultEndpoint();
  {
    std::lock_guard guard(m_mutex);
    m_deviceNames.clear();
    m_devices.clear();
    if (endpoint) {
      m_deviceNames.emplace_back(kDefaultLoopbackName);
      m_devices.push_back(*endpoint);
    }
  }
  if (!endpoint && !m_loggedNoEndpoint) {
    m_loggedNoEndpoint = true;
    std::fprintf(stderr, "Visualizer: no audio playback endpoint; the music picture shows its background\n");
  }
}

void Visualizer::OpenCapture() {
  std::lock_guard deviceGuard(m_deviceMutex);
  OpenCaptureLocked();
}

void Visualizer::OpenCaptureLocked() {
  std::unique_ptr<platform::audio::CaptureStream> old;
  {
    std::lock_guard guard(m_mutex);
    old = std::move(m_capture);
  }
  // The old stream ends before a new one opens.
  if (old) old->Stop();
  old.reset();
  {
    std::lock_guard guard(m_mutex);
    const int count = static_cast<int>(m_devices.size());
    const int index = m_deviceIndex.load();
    if (index < 0 || index >= count) {
      if (count == 0) return;
      m_deviceIndex = 0;
    }
  }
  if (!m_backend || m_closed) return;
  // The one entry stands for whichever playback endpoint is the default at this moment.
  const std::optional<platform::audio::Endpoint> endpoint = m_backend->DefaultEndpoint();
  if (!endpoint) return;
  std::unique_ptr<platform::audio::CaptureStream> stream = m_backend->OpenLoopback(*endpoint);
  std::lock_guard guard(m_mutex);
  m_capture = std::move(stream);
  m_lastPacket = Now();
}

void Visualizer::OnDefaultDeviceChanged(Flow flow, Role role) {
  if (flow != Flow::kRender || role != Role::kConsole) return;
  std::lock_guard deviceGuard(m_deviceMutex);
  if (!m_backend || m_closed) return;
  const std::optional<platform::audio::Endpoint> endpoint = m_backend->DefaultEndpoint();
  {
    std::lock_guard guard(m_mutex);
    m_deviceNames.clear();
    m_devices.clear();
    if (!endpoint) return;
    m_deviceNames.emplace_back(kDefaultLoopbackName);
    m_devices.push_back(*endpoint);
  }
  OpenCaptureLocked();
}

void Visualizer::AnalyzeOnce() { Analyze(m_gain.load()); }

void Visualizer::RenderOnce() {
  if (m_active.load() == 0) return;
  RenderFrame();
}

Visualizer::ThreadWaits Visualizer::Waits() const {
  std::lock_guard guard(m_threadMutex);
  return m_waits;
}

void Visualizer::WaitLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds length) {
  ++m_waits.begun;
  const auto deadline = std::chrono::steady_clock::now() + length;
  if (m_wake.wait_until(lock, deadline, [this] { return !m_running; }) &&
      std::chrono::steady_clock::now() < deadline)
    ++m_waits.cutShort;
}

void Visualizer::ThreadProc() {
  std::unique_lock lock(m_threadMutex);
  while (m_running) {
    if (m_active.load() == 0) {
      WaitLocked(lock, std::chrono::milliseconds(500));
      continue;
    }
    lock.unlock();
    RenderFrame();
    lock.lock();
    WaitLocked(lock, std::chrono::milliseconds(15));
  }
}

void Visualizer::RenderFrame() {
  const int gain = m_gain.load();
  const int foreScheme = m_foreScheme.load();
  const int backScheme = m_backScheme.load();
  const int backBrightness = m_backBrightness.load();
  Analyze(gain);
  float phase = m_phase.load(std::memory_order_relaxed);
  if (phase >= 360.0f) phase = 0.0f;
  if (phase < 0.0f) phase = 360.0f;
  visualizer::FillScheme(backScheme, backBrightness, phase, *m_backSchemeFrame);
  visualizer::FillScheme(foreScheme, 100, phase, *m_foreSchemeFrame);
  visualizer::ComposeFrame(m_displayLevels, *m_foreSchemeFrame, *m_backSchemeFrame, *m_backFrame);
  {
    std::lock_guard guard(m_frameMutex);
    std::swap(m_frontFrame, m_backFrame);
  }
  m_phase.store(phase + kPhaseStep / 100.0f, std::memory_order_relaxed);
  m_framesRendered.fetch_add(1, std::memory_order_relaxed);
}

void Visualizer::DrainLocked(int gain) {
  if (!m_capture) {
    m_sampleHistory.fill(0.0f);
    return;
  }
  const float scale = 2.0f * static_cast<float>(gain);
  bool received = false;
  for (int packets = 0; packets < kMaxPacketsPerFrame; ++packets) {
    const platform::audio::Packet packet = m_capture->Next();
    if (packet.frames <= 0) break;
    if (packet.data == nullptr) {
      // Capture is lost: it stays off until the next OpenCapture.
      m_capture->Stop();
      m_capture.reset();
      m_sampleHistory.fill(0.0f);
      return;
    }
    received = true;
    // Groups of four floats, as many as half the frames give, but never past the packet's end.
    const int64_t values = packet.channels > 0 ? int64_t{packet.frames} * packet.channels : 0;
    const int64_t groups = std::min<int64_t>((int64_t{packet.frames} + 3) / 4, values / 4);
    for (int64_t first = 0; first < groups;) {
      const int count = static_cast<int>(std::min<int64_t>(groups - first, 256));
      float fresh[256];
      for (int g = 0; g < count; ++g) {
        const float* group = packet.data + 4 * (first + g);
        const float mean = (FiniteOrZero(group[0]) + FiniteOrZero(group[1]) + FiniteOrZero(group[2]) +
                            FiniteOrZero(group[3])) /
                           4.0f;
        fresh[g] = FiniteOrZero(mean * scale);
      }
      // Each sample moves the history two places towards the start and fills positions 510, 511.
      const int kept = visualizer::kFftValues - 2 * count;
      std::memmove(m_sampleHistory.data(), m_sampleHistory.data() + 2 * count, sizeof(float) * kept);
      for (int g = 0; g < count; ++g)
        m_sampleHistory[kept + 2 * g] = m_sampleHistory[kept + 2 * g + 1] = fresh[g];
      first += count;
    }
    m_capture->Release();
  }
  const std::chrono::nanoseconds now = Now();
  if (received) {
    m_lastPacket = now;
  } else if (now - m_lastPacket >= kSilenceAfter) {
    m_sampleHistory.fill(0.0f);  // an idle sink sends nothing: what is left is no longer playing
  }
}

void Visualizer::Analyze(int gain) {
  std::lock_guard guard(m_mutex);
  const float decay = static_cast<float>(kDecayPercent) / 100.0f;
  for (float& level : m_levels) level *= decay;

  DrainLocked(gain);

  alignas(32) History work = m_sampleHistory;
  if (kWindowType == 1) visualizer::ApplyWindow(work.data(), m_hann);
  if (kWindowType == 2) visualizer::ApplyWindow(work.data(), m_hamming);
  if (kWindowType == 3) visualizer::ApplyWindow(work.data(), m_blackman);
  visualizer::RealFFT(work.data());
  work[0] = work[2];
  visualizer::ApplyWindow(work.data(), m_gainTable);

  for (int band = 0; band < 64; ++band) {
    const float re = work[2 * band];
    const float im = work[2 * band + 1];
    const float magnitude = std::sqrt(re * re + im * im);
    // A magnitude of 0 gives minus infinity here, which never replaces a level.
    float value = 0.5f * std::log10(1.1f * magnitude) + 0.9f * magnitude;
    value = std::min(value, 1.0f);
    float& level = m_levels[4 * band];
    if (value > level) level = value;
    if (level < 0.0f) level = 0.0f;
    m_levels[4 * band + 1] = m_levels[4 * band + 2] = m_levels[4 * band + 3] = level;
  }

  visualizer::SmoothLevels(m_levels, kSmoothMode, kSmoothWidth);

  for (int i = 0; i < 256; ++i) m_displayLevels[i] += (m_levels[i] - m_displayLevels[i]) * kLevelBlend;
}

std::vector<std::wstring> Visualizer::DeviceNames() const {
  std::lock_guard guard(m_mutex);
  return m_deviceNames;
}

void Visualizer::CopyFrontFrame(Frame& out) const {
  std::lock_guard guard(m_frameMutex);
  out = *m_frontFrame;
}

uint32_t Visualizer::FrontPixel(int row, int column) const {
  if (row < 0 || row >= kRows || column < 0 || column >= kCols) return 0;
  std::lock_guard guard(m_frameMutex);
  return (*m_frontFrame)[static_cast<size_t>(row * kCols + column)];
}

Visualizer::Levels Visualizer::LevelsView() const {
  std::lock_guard guard(m_mutex);
  return m_levels;
}

Visualizer::Levels Visualizer::DisplayLevelsView() const {
  std::lock_guard guard(m_mutex);
  return m_displayLevels;
}

Visualizer::History Visualizer::SampleHistoryView() const {
  std::lock_guard guard(m_mutex);
  return m_sampleHistory;
}

bool Visualizer::Capturing() const {
  std::lock_guard guard(m_mutex);
  return m_capture != nullptr;
}

std::chrono::nanoseconds Visualizer::RenderThreadCpuTime() const {
  std::lock_guard guard(m_threadMutex);
  if (!m_running) return std::chrono::nanoseconds(0);
  clockid_t id;
  timespec spent{};
  if (pthread_getcpuclockid(m_threadHandle, &id) != 0) {
    return std::chrono::nanoseconds(0);
  }
  if (clock_gettime(id, &spent) != 0) return std::chrono::nanoseconds(0);
  return std::chrono::seconds(spent.tv_sec) + std::chrono::nanoseconds(spent.tv_nsec);
}
