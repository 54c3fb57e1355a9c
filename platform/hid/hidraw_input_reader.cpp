#include "platform/hid/hidraw_input_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/hid/debug_log.h"

namespace platform::hid {

namespace {

class HidrawInputReader final : public HidInputReader {
 public:
  HidrawInputReader(int fd, int wakeFd, std::string path)
      : fd_(fd), wakeFd_(wakeFd), path_(std::move(path)) {}
  ~HidrawInputReader() override {
    close(fd_);
    close(wakeFd_);
  }

  InputRead read(uint8_t* buffer, size_t size, int timeoutMs) override {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ready = 0;
    do {
      ready = poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
      HidDebugLog("%s: poll failed: %s", path_.c_str(), std::strerror(errno));
      return {InputRead::Status::kError, 0};
    }
    if (ready == 0) return {InputRead::Status::kTimeout, 0};
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      if (::read(wakeFd_, &count, sizeof count) < 0 && errno != EAGAIN)
        HidDebugLog("%s: eventfd read failed: %s", path_.c_str(), std::strerror(errno));
      return {InputRead::Status::kWoken, 0};
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return {InputRead::Status::kGone, 0};
    ssize_t n = ::read(fd_, buffer, size);
    if (n > 0) return {InputRead::Status::kData, static_cast<int>(n)};
    if (n == 0 || errno == EAGAIN || errno == EINTR) return {InputRead::Status::kTimeout, 0};
    if (errno == ENODEV) return {InputRead::Status::kGone, 0};
    HidDebugLog("%s: read failed: %s", path_.c_str(), std::strerror(errno));
    return {InputRead::Status::kError, 0};
  }

  void wake() override {
    uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) < 0)
      HidDebugLog("%s: eventfd write failed: %s", path_.c_str(), std::strerror(errno));
  }

 private:
  int fd_;
  int wakeFd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<HidInputReader> OpenHidrawInputReader(const std::string& path, OpenError* error) {
  if (error) *error = OpenError::kNone;
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    int err = errno;
    HidDebugLog("%s: open for input failed: %s", path.c_str(), std::strerror(err));
    if (error) *error = (err == EACCES || err == EPERM) ? OpenError::kPermissionDenied : OpenError::kFailed;
    return nullptr;
  }
  int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) {
    HidDebugLog("%s: eventfd failed: %s", path.c_str(), std::strerror(errno));
    close(fd);
    if (error) *error = OpenError::kFailed;
    return nullptr;
  }
  return std::make_unique<HidrawInputReader>(fd, wakeFd, path);
}

}  // namespace platform::hid
