// The desktop services of a build without X11: every X11 helper answers "not done", so the
// callers fall back to what Qt offers, and the global keys take nothing.

#include <QWidget>

#include "widgets/DesktopPlatform.h"
#include "widgets/x11/X11Desktop.h"

namespace pelmora {
namespace x11 {

bool Available() { return false; }
std::uint32_t LatestUserTime() { return 0; }
void NoteUserTime(std::uint32_t) {}
void TrackUserTime() {}
bool ActivateWindow(QWidget*) { return false; }
bool ActivateWindowId(std::uint32_t) { return false; }
std::uint32_t ActiveWindowId() { return 0; }
bool SkipTaskbarAndPager(QWidget*) { return false; }

}  // namespace x11

namespace desktop {
namespace {

class NoHotKeys : public HotKeyBackend {
 public:
  bool Register(std::uint32_t, std::uint32_t, std::uint32_t) override { return false; }
  void Unregister(std::uint32_t) override {}
  void SetActivationHandler(ActivationHandler) override {}
  bool Available() const override { return false; }
};

}  // namespace

std::unique_ptr<HotKeyBackend> MakeHotKeyBackend() { return std::make_unique<NoHotKeys>(); }

std::optional<std::string> ProbeXDisplay(const std::string&, int, bool) {
  return "this build of the program has no X11 support";
}

void ReleaseProbedXDisplay() {}

}  // namespace desktop
}  // namespace pelmora
