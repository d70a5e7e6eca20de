#include "app/QtDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace pelmora {

QtMailSlotDispatcher::QtMailSlotDispatcher(QObject* guiObject) : guiObject_(guiObject) {}

QtMailSlotDispatcher::~QtMailSlotDispatcher() { Shutdown(); }

void QtMailSlotDispatcher::RunAndWait(std::function<void()> call) {
  if (QThread::currentThread() == guiObject_->thread()) {
    call();  // already on the GUI thread: queuing would wait for ourselves
    return;
  }
  auto task = std::make_shared<Task>();
  task->call = std::move(call);
  std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->shutdown) return;
  }
  QMetaObject::invokeMethod(
      guiObject_,
      [shared, task] {
        {
          std::lock_guard<std::mutex> lock(shared->mutex);
          if (task->dropped) return;
        }
        // The waiting thread stays blocked until `done`, so the call may use what it captured.
        try {
          task->call();
        } catch (...) {
          // The endpoint swallows its own errors; nothing may escape into the event loop.
        }
        {
          std::lock_guard<std::mutex> lock(shared->mutex);
          task->done = true;
        }
        shared->finished.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(shared->mutex);
  shared->finished.wait(lock, [&] { return task->done || shared->shutdown; });
  if (!task->done) task->dropped = true;
}

void QtMailSlotDispatcher::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->shutdown = true;
  }
  shared_->finished.notify_all();
}

}  // namespace pelmora
