// halvorn: holds both Windows (Super) keys while the custom key dialog is open, so that they
// neither open the desktop's menus nor trigger its shortcuts, and reports each press and release
// to the dialog over Kelvane's single-instance socket. Kelvane starts it when the dialog opens and
// ends it when the dialog closes; it also ends with its parent and with the X connection, and the
// X server drops its grabs whenever it ends. Arguments are ignored.
//
// Exit codes: 0 ended normally, 1 no X display, 2 the Super keys could not be grabbed.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "blocker/super_key_grab.h"
#include "common/folders.h"
#include "common/strings.h"
#include "platform/instance_channel.h"
#include "shell/window_messages.h"

// Xlib's macros (None, Bool, Status) clash with names above: last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

constexpr char kDialogTitle[] = "CustomKeyDlg";

int ConnectionLost(Display*) {
  std::fprintf(stderr, "halvorn: the X connection ended\n");
  std::_Exit(0);
}

// Grabs the Super keys and reports them until the connection ends; the exit code otherwise.
int Block(Display* display) {
  // A held key then repeats as presses only, without a release between them.
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(display, True, &detectable);

  blocker::SuperKeyGrab grab(display);
  switch (grab.Grab()) {
    case blocker::SuperKeyGrab::Outcome::Grabbed:
      break;
    case blocker::SuperKeyGrab::Outcome::NoSuperKey:
      std::fprintf(stderr, "halvorn: the keyboard map has no Super key; the Windows keys are not blocked\n");
      return 2;
    case blocker::SuperKeyGrab::Outcome::Refused:
      std::fprintf(stderr, "halvorn: another program holds a Super key; the Windows keys are not blocked\n");
      return 2;
  }
  std::printf("halvorn: blocking\n");
  std::fflush(stdout);

  platform::InstanceChannelClient channel(platform::InstanceSocketPath(WideToUtf8(GetProductName())));
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);  // the end of the connection ends the program in ConnectionLost
    if (event.type == MappingNotify) {
      if (grab.OnMappingNotify(event) != blocker::SuperKeyGrab::Outcome::Grabbed) {
        std::fprintf(stderr,
                     "halvorn: the Super keys moved and could not be grabbed again; they are not blocked\n");
        return 2;
      }
      continue;
    }
    // The keyboard waits for this client after each event: let it go on before posting.
    const std::optional<unsigned> vk = grab.VirtualKeyToPost(event);
    grab.OnKeyEvent(event);
    // Without a server the key is swallowed all the same; nothing is posted.
    if (vk) channel.PostToTitledWindow(kDialogTitle, WM_WIN_KEY, *vk, 0);
  }
}

}  // namespace

int main() {
  // Kelvane may crash while the keys are held: end with it (the X server then drops the grabs).
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) return 0;  // the parent ended before the request took hold
  signal(SIGPIPE, SIG_IGN);

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "halvorn: no X display could be opened; the Windows keys are not blocked\n");
    return 1;
  }
  XSetIOErrorHandler(ConnectionLost);
  const int code = Block(display);
  XCloseDisplay(display);
  return code;
}
