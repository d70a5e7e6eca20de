#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "widgets/DesktopPlatform.h"
#include "widgets/x11/X11HotKeyBackend.h"

namespace pelmora::desktop {
namespace {
// The probe's connection while the program starts; see ProbeXDisplay.
std::atomic<xcb_connection_t*> probedDisplay{nullptr};
}  // namespace

std::unique_ptr<HotKeyBackend> MakeHotKeyBackend() {
  return std::make_unique<x11::X11HotKeyBackend>();
}

void ReleaseProbedXDisplay() {
  if (xcb_connection_t* connection = probedDisplay.exchange(nullptr)) xcb_disconnect(connection);
}

std::optional<std::string> ProbeXDisplay(const std::string& display, int seconds, bool hold) {
  // xcb_connect may wait on a TCP connect for minutes; the probe runs on a thread of its own and
  // is abandoned after the deadline (the process ends soon after, taking the thread with it).
  using Answer = std::optional<std::string>;
  auto result = std::make_shared<std::promise<Answer>>();
  std::future<Answer> answer = result->get_future();
  std::thread([result, display, hold] {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
    const int error = xcb_connection_has_error(connection);
    if (error == 0 && hold) {
      ReleaseProbedXDisplay();  // a second probe replaces the first
      probedDisplay.store(connection);
    } else {
      xcb_disconnect(connection);
    }
    switch (error) {
      case 0:
        result->set_value(std::nullopt);
        return;
      case XCB_CONN_CLOSED_PARSE_ERR:
        result->set_value("not a display name");
        return;
      case XCB_CONN_CLOSED_INVALID_SCREEN:
        result->set_value("the X server has no such screen");
        return;
      default:
        result->set_value("no X server answers there, or it refused the connection");
        return;
    }
  }).detach();
  if (answer.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready)
    return "the X server did not answer within " + std::to_string(seconds) + " s";
  return answer.get();
}

}  // namespace pelmora::desktop
