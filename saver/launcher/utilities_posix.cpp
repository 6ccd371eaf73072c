// The launcher utilities on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings_port.h"
#include "utilities.h"

namespace sorvane::saver {

bool FileExists(const std::string& path) {
  const std::string p = WithoutTrailingBackslash(path);
  if (p.empty() || p.find('\0') != std::string::npos) return false;
  // O_NONBLOCK: a FIFO of that name must not keep the check waiting.
  int fd = open(PlatformPath(p).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  return regular;
}

namespace {

// The saver's windows (and the caption animation) exist on Windows only; on
// Linux there is no window to animate, so the zoom has nothing to draw.
class NoWindowZoomPort : public ZoomPort {
 public:
  void GetWindowRect(std::uintptr_t, ZoomRect*) override {}
  void DrawAnimatedRects(std::uintptr_t, int, const ZoomRect&, const ZoomRect&) override {}
};

}  // namespace

ZoomPort& PlatformZoomPort() {
  static NoWindowZoomPort port;
  return port;
}

}  // namespace sorvane::saver
