// The screen animation download of the keyboard window: the selected slot's frame rows and
// folder are gathered here; the device layer builds the image and sends it.
#include "common/folders.h"
#include "common/strings.h"
#include "keyboard/KeyboardDlg.h"
#include "keyboard/KeyboardLog.h"
#include "platform/image/frame_image.h"

namespace {

std::optional<std::vector<uint32_t>> ReadFrameFile(const std::string& path) {
  return platform::image::ReadFramePixels(path, LCD_WIDTH, LCD_HEIGHT);
}

}  // namespace

bool KeyboardDlg::DownloadLcdAnimation() {
  const int slot = SelectedScreenSlot();
  m_lcdSlotNumber = slot + 1;
  const std::optional<DeviceLink> link = Link();
  if (!link) {
    KeyboardLog("screen: no device manager; nothing sent");
    return false;
  }

  const int ledId = m_lcdLedId.load();
  LcdDownloadInput input;
  input.selectedSlot = slot;
  std::vector<LedFrameRow*> frames;
  m_configDB.GetLedFrames(ledId, frames);
  input.frames.reserve(frames.size());
  for (const LedFrameRow* frame : frames) input.frames.push_back(*frame);
  FreeRows(frames);
  if (input.frames.empty()) {
    KeyboardLog("screen: slot %d has no frames; nothing sent", ledId);
    return false;
  }
  LedLayerRow layer;
  if (m_configDB.GetLedLayer(ledId, &layer))
    input.slotFolder = layer.file_dir;
  else
    KeyboardLog("screen: slot %d has no slot row; its frames are sent blank", ledId);
  input.workingFolder = WideToUtf8(GetUserDataFolder());
  if (input.workingFolder.empty()) KeyboardLog("screen: no working folder; the frames are sent blank");

  const bool sent =
      ::DownloadLcdAnimation(*link, input, ReadFrameFile, &m_lcdProgress, [this] { return StopRequested(); });
  if (!sent && StopRequested())
    KeyboardLog("screen: the download was stopped with the window");
  else if (!sent)
    NoteTransferFailed("screen animation");
  return sent;
}
