#pragma once
// The hand-off of the endpoints' wait threads to the GUI thread.
//
// A wait thread calls RunAndWait and stays blocked until the GUI thread has run the call (read and
// dispatch one datagram), so all state is touched on the GUI thread only. The call travels as a
// queued invocation on an object that lives in the GUI thread.
//
// Unlike a plain blocking queued connection the wait can be released: deactivating an endpoint
// on the GUI thread joins its wait thread, and a wait thread blocked in a hand-off that the busy
// GUI thread will never get to would hang the shutdown. Shutdown() releases every waiting thread
// without running its call (the datagram stays unread, as it would at any close), and a call that
// is already queued is then dropped when the GUI thread reaches it.

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "transport/MailSlot.h"

namespace pelmora {

class QtMailSlotDispatcher : public MailSlotDispatcher {
 public:
  // `guiObject` decides the thread the calls run on; it must outlive the dispatcher's use.
  explicit QtMailSlotDispatcher(QObject* guiObject);
  ~QtMailSlotDispatcher() override;

  void RunAndWait(std::function<void()> call) override;

  // Releases every waiting thread and refuses later calls (they return at once, unrun).
  void Shutdown();

 private:
  struct Task {
    std::function<void()> call;
    bool done = false;
    bool dropped = false;
  };
  // Shared with the queued calls, which may still sit in the event queue when the dispatcher
  // is gone.
  struct Shared {
    std::mutex mutex;
    std::condition_variable finished;
    bool shutdown = false;
  };
  QObject* guiObject_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace pelmora
