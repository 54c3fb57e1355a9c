#include "platform/audio/pulse_backend.h"

#include <pulse/pulseaudio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace platform::audio {

namespace {

constexpr uint32_t kRate = 48000;
constexpr int kChannels = CaptureQueue::kChannels;
constexpr size_t kPacketFloats = static_cast<size_t>(CaptureQueue::kFrames) * kChannels;
constexpr size_t kPacketBytes = kPacketFloats * sizeof(float);
constexpr uint64_t kConnectTimeoutUs = 2'000'000;
constexpr uint64_t kQueryTimeoutUs = 2'000'000;
constexpr uint64_t kStreamTimeoutUs = 1'000'000;

[[gnu::format(printf, 1, 2)]] void Log(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "[audio] %s\n", line);
}

class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

}  // namespace

void CaptureQueue::Append(const void* data, size_t bytes) {
  std::lock_guard guard(mutex_);
  if (stopped_ || lost_ || bytes == 0) return;
  const size_t at = partial_.size();
  partial_.resize(at + bytes);
  if (data)
    std::memcpy(partial_.data() + at, data, bytes);
  else
    std::memset(partial_.data() + at, 0, bytes);  // all-zero bytes are 0.0f
  size_t used = 0;
  while (partial_.size() - used >= kPacketBytes) {
    std::vector<float> packet(kPacketFloats);
    std::memcpy(packet.data(), partial_.data() + used, kPacketBytes);
    used += kPacketBytes;
    waiting_.push_back(std::move(packet));
    if (waiting_.size() > kMaxWaiting) waiting_.pop_front();
  }
  partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(used));
}

void CaptureQueue::MarkLost() {
  std::lock_guard guard(mutex_);
  if (!stopped_) lost_ = true;
}

void CaptureQueue::Stop() {
  std::lock_guard guard(mutex_);
  stopped_ = true;
  waiting_.clear();
  partial_.clear();
}

bool CaptureQueue::stopped() const {
  std::lock_guard guard(mutex_);
  return stopped_;
}

Packet CaptureQueue::Next() {
  std::lock_guard guard(mutex_);
  if (stopped_) return {};
  if (!holding_) {
    if (!waiting_.empty()) {
      current_ = std::move(waiting_.front());
      waiting_.pop_front();
      holding_ = true;
    } else if (lost_ && !lostGiven_) {
      lostGiven_ = true;
      holding_ = true;
      holdingLost_ = true;
    } else {
      return {};
    }
  }
  if (holdingLost_) return Packet{nullptr, kFrames, kChannels};
  return Packet{current_.data(), kFrames, kChannels};
}

void CaptureQueue::Release() {
  std::lock_guard guard(mutex_);
  holding_ = false;
  holdingLost_ = false;
}

struct PulseAudioBackend::StreamState {
  CaptureQueue queue;
  // Guarded by the main-loop lock.
  pa_threaded_mainloop* loop = nullptr;
  pa_stream* stream = nullptr;
  bool ready = false;
  bool ended = false;
};

struct PulseAudioBackend::Link {
  std::mutex mutex;
  PulseAudioBackend* backend = nullptr;  // null once the back end is gone
};

class PulseCaptureStream final : public CaptureStream {
 public:
  using StreamState = PulseAudioBackend::StreamState;

  PulseCaptureStream(std::shared_ptr<StreamState> state, std::shared_ptr<PulseAudioBackend::Link> link)
      : state_(std::move(state)), link_(std::move(link)) {}
  ~PulseCaptureStream() override { Stop(); }

  Packet Next() override { return state_->queue.Next(); }
  void Release() override { state_->queue.Release(); }

  void Stop() override {
    if (state_->queue.stopped()) return;
    state_->queue.Stop();
    std::lock_guard guard(link_->mutex);
    if (PulseAudioBackend* backend = link_->backend) {
      LoopLock lock(backend->loop_);
      backend->ReleaseStreamLocked(*state_);
    }
  }

 private:
  std::shared_ptr<StreamState> state_;
  std::shared_ptr<PulseAudioBackend::Link> link_;
};

PulseAudioBackend::PulseAudioBackend() : link_(std::make_shared<Link>()) {
  link_->backend = this;
  loop_ = pa_threaded_mainloop_new();
  if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }
  if (!loop_) std::fprintf(stderr, "[audio] the PulseAudio main loop could not be started\n");
  notifier_ = std::thread([this] { NotifierLoop(); });
}

PulseAudioBackend::~PulseAudioBackend() {
  {
    std::lock_guard guard(notifyMutex_);
    stopping_ = true;
  }
  notifyWake_.notify_all();
  notifier_.join();

  std::lock_guard guard(link_->mutex);
  link_->backend = nullptr;
  if (!loop_) return;
  {
    LoopLock lock(loop_);
    for (const std::shared_ptr<StreamState>& state : streams_) state->queue.Stop();
    DropContextLocked();
  }
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

std::optional<Endpoint> PulseAudioBackend::DefaultEndpoint() {
  std::lock_guard call(callMutex_);
  if (!loop_) return std::nullopt;
  LoopLock lock(loop_);
  if (!ConnectLocked()) return std::nullopt;
  const std::optional<ServerInfo> info = QueryServerLocked();
  if (!info || info->defaultSink.empty()) return std::nullopt;
  return Endpoint{info->defaultSink};
}

std::unique_ptr<CaptureStream> PulseAudioBackend::OpenLoopback(const Endpoint&) {
  std::lock_guard call(callMutex_);
  if (!loop_) return nullptr;
  LoopLock lock(loop_);
  if (!ConnectLocked()) return nullptr;
  const std::optional<ServerInfo> info = QueryServerLocked();
  if (!info || info->defaultSink.empty()) {
    Log("no default sink to record");
    return nullptr;
  }
  const std::optional<std::string> monitor = MonitorOfLocked(info->defaultSink);
  if (!monitor) {
    Log("sink %s has no monitor", info->defaultSink.c_str());
    return nullptr;
  }

  const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, kChannels};
  pa_stream* stream = pa_stream_new(context_, "Kelvane loopback", &spec, nullptr);
  if (!stream) {
    Log("capture of %s could not be made: %s", monitor->c_str(), pa_strerror(pa_context_errno(context_)));
    return nullptr;
  }
  auto state = std::make_shared<StreamState>();
  state->loop = loop_;
  state->stream = stream;
  streams_.push_back(state);

  pa_stream_set_state_callback(
      stream,
      [](pa_stream* s, void* userdata) {
        auto* st = static_cast<StreamState*>(userdata);
        const pa_stream_state_t now = pa_stream_get_state(s);
        if (now == PA_STREAM_READY) st->ready = true;
        if (!PA_STREAM_IS_GOOD(now)) {
          st->ended = true;
          st->queue.MarkLost();
        }
        pa_threaded_mainloop_signal(st->loop, 0);
      },
      state.get());
  pa_stream_set_read_callback(
      stream,
      [](pa_stream* s, size_t, void* userdata) {
        auto* st = static_cast<StreamState*>(userdata);
        while (pa_stream_readable_size(s) > 0) {
          const void* data = nullptr;
          size_t bytes = 0;
          if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) break;
          st->queue.Append(data, bytes);
          pa_stream_drop(s);
        }
      },
      state.get());

  pa_buffer_attr attr;
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = static_cast<uint32_t>(-1);
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(kPacketBytes);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
  if (pa_stream_connect_record(stream, monitor->c_str(), &attr, flags) < 0) {
    Log("capture of %s could not start: %s", monitor->c_str(), pa_strerror(pa_context_errno(context_)));
    ReleaseStreamLocked(*state);
    return nullptr;
  }
  StreamState* st = state.get();
  if (!WaitLocked([st] { return st->ready || st->ended; }, kStreamTimeoutUs) || !st->ready) {
    Log("capture of %s did not start: %s", monitor->c_str(),
        st->ended ? pa_strerror(pa_context_errno(context_)) : "no answer within 1 s");
    ReleaseStreamLocked(*state);
    return nullptr;
  }
  return std::make_unique<PulseCaptureStream>(std::move(state), link_);
}

void PulseAudioBackend::SetDefaultChangedListener(DefaultChangedListener listener) {
  DefaultChangedListener old;
  if (std::this_thread::get_id() == notifier_.get_id()) {
    // From inside the listener: the running call is this one, so there is nothing to wait for.
    std::lock_guard guard(listenerMutex_);
    old = std::exchange(listener_, std::move(listener));
  } else {
    std::lock_guard calling(callingMutex_);
    std::lock_guard guard(listenerMutex_);
    old = std::exchange(listener_, std::move(listener));
  }
}

bool PulseAudioBackend::ConnectLocked() {
  if (connected_ && context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
  MarkStreamsLostLocked();
  DropContextLocked();

  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kelvane");
  if (!context_) {
    if (!loggedNoServer_) Log("no PulseAudio context");
    loggedNoServer_ = true;
    return false;
  }
  pa_context_set_state_callback(
      context_,
      [](pa_context* c, void* self) {
        auto* backend = static_cast<PulseAudioBackend*>(self);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c)) && backend->connected_) {
          backend->connected_ = false;
          backend->MarkStreamsLostLocked();
        }
        pa_threaded_mainloop_signal(backend->loop_, 0);
      },
      this);

  const char* why = nullptr;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    why = pa_strerror(pa_context_errno(context_));
  } else {
    pa_context* c = context_;
    const bool settled = WaitLocked(
        [c] {
          const pa_context_state_t now = pa_context_get_state(c);
          return now == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(now);
        },
        kConnectTimeoutUs);
    if (!settled)
      why = "no answer within 2 s";
    else if (pa_context_get_state(c) != PA_CONTEXT_READY)
      why = pa_strerror(pa_context_errno(c));
  }
  if (why) {
    if (!loggedNoServer_) Log("no PulseAudio server: %s", why);
    loggedNoServer_ = true;
    DropContextLocked();
    return false;
  }
  connected_ = true;
  loggedNoServer_ = false;

  pa_context_set_subscribe_callback(
      context_,
      [](pa_context* c, pa_subscription_event_type_t type, uint32_t, void* self) {
        if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SERVER) return;
        pa_operation* op = pa_context_get_server_info(
            c,
            [](pa_context*, const pa_server_info* info, void* backend) {
              if (info)
                static_cast<PulseAudioBackend*>(backend)->OnDefaultsLocked(info->default_sink_name,
                                                                           info->default_source_name);
            },
            self);
        if (op) pa_operation_unref(op);
      },
      this);
  if (pa_operation* op = pa_context_subscribe(context_, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
    pa_operation_unref(op);
  known_ = QueryServerLocked().value_or(ServerInfo{});
  return true;
}

void PulseAudioBackend::DropContextLocked() {
  for (const std::shared_ptr<StreamState>& state : std::vector(streams_)) ReleaseStreamLocked(*state);
  streams_.clear();
  if (!context_) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_set_subscribe_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
  connected_ = false;
}

bool PulseAudioBackend::WaitLocked(const std::function<bool()>& done, uint64_t timeoutUs) {
  struct Timer {
    pa_threaded_mainloop* loop = nullptr;
    bool expired = false;
  } timer;
  timer.loop = loop_;
  pa_time_event* event = pa_context_rttime_new(
      context_, pa_rtclock_now() + timeoutUs,
      [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* t = static_cast<Timer*>(userdata);
        t->expired = true;
        pa_threaded_mainloop_signal(t->loop, 0);
      },
      &timer);
  if (!event) return done();
  while (!done() && !timer.expired) pa_threaded_mainloop_wait(loop_);
  pa_threaded_mainloop_get_api(loop_)->time_free(event);
  if (done()) return true;
  ++expiredWaits_;
  return false;
}

std::optional<PulseAudioBackend::ServerInfo> PulseAudioBackend::QueryServerLocked() {
  struct Reply {
    PulseAudioBackend* backend = nullptr;
    bool done = false;
    ServerInfo info;
  } reply;
  reply.backend = this;
  pa_operation* op = pa_context_get_server_info(
      context_,
      [](pa_context*, const pa_server_info* info, void* userdata) {
        auto* r = static_cast<Reply*>(userdata);
        if (info) {
          r->info.defaultSink = info->default_sink_name ? info->default_sink_name : "";
          r->info.defaultSource = info->default_source_name ? info->default_source_name : "";
        }
        r->done = true;
        pa_threaded_mainloop_signal(r->backend->loop_, 0);
      },
      &reply);
  if (!FinishQueryLocked(op, reply.done)) return std::nullopt;
  return reply.info;
}

std::optional<std::string> PulseAudioBackend::MonitorOfLocked(const std::string& sink) {
  struct Reply {
    PulseAudioBackend* backend = nullptr;
    bool done = false;
    std::optional<std::string> monitor;
  } reply;
  reply.backend = this;
  pa_operation* op = pa_context_get_sink_info_by_name(
      context_, sink.c_str(),
      [](pa_context*, const pa_sink_info* info, int eol, void* userdata) {
        auto* r = static_cast<Reply*>(userdata);
        if (info && info->monitor_source_name && *info->monitor_source_name)
          r->monitor = info->monitor_source_name;
        if (eol != 0) {
          r->done = true;
          pa_threaded_mainloop_signal(r->backend->loop_, 0);
        }
      },
      &reply);
  return FinishQueryLocked(op, reply.done) ? reply.monitor : std::nullopt;
}

bool PulseAudioBackend::FinishQueryLocked(pa_operation* op, const bool& done) {
  if (!op) return false;
  WaitLocked([&] { return done || !connected_; }, kQueryTimeoutUs);
  if (!done) pa_operation_cancel(op);
  pa_operation_unref(op);
  return done;
}

void PulseAudioBackend::MarkStreamsLostLocked() {
  for (const std::shared_ptr<StreamState>& state : streams_) state->queue.MarkLost();
}

void PulseAudioBackend::ReleaseStreamLocked(StreamState& state) {
  if (state.stream) {
    pa_stream_set_state_callback(state.stream, nullptr, nullptr);
    pa_stream_set_read_callback(state.stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(state.stream))) pa_stream_disconnect(state.stream);
    pa_stream_unref(state.stream);
    state.stream = nullptr;
  }
  std::erase_if(streams_, [&](const std::shared_ptr<StreamState>& s) { return s.get() == &state; });
}

void PulseAudioBackend::OnDefaultsLocked(const char* sink, const char* source) {
  const std::string newSink = sink ? sink : "";
  const std::string newSource = source ? source : "";
  if (newSink != known_.defaultSink) {
    known_.defaultSink = newSink;
    Notify(Flow::kRender, Role::kConsole);
  }
  if (newSource != known_.defaultSource) {
    known_.defaultSource = newSource;
    Notify(Flow::kCapture, Role::kConsole);
  }
}

void PulseAudioBackend::Notify(Flow flow, Role role) {
  {
    std::lock_guard guard(notifyMutex_);
    pending_.emplace_back(flow, role);
  }
  notifyWake_.notify_one();
}

void PulseAudioBackend::NotifierLoop() {
  std::unique_lock lock(notifyMutex_);
  for (;;) {
    notifyWake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (stopping_) return;
    const auto [flow, role] = pending_.front();
    pending_.pop_front();
    lock.unlock();
    {
      std::lock_guard calling(callingMutex_);
      DefaultChangedListener listener;
      {
        std::lock_guard guard(listenerMutex_);
        listener = listener_;
      }
      if (listener) listener(flow, role);
    }
    lock.lock();
  }
}

std::unique_ptr<AudioBackend> MakePulseAudioBackend() { return std::make_unique<PulseAudioBackend>(); }

}  // namespace platform::audio
