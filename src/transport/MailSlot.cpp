#include "transport/MailSlot.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <utility>

#include "text/CodePage.h"
#include "transport/MachineIdentity.h"
#include "transport/NetbiosFrame.h"
#include "transport/SlotPlatform.h"

namespace pelmora {

// ---- dispatchers ------------------------------------------------------------------------------

EventLoopMailSlotDispatcher::~EventLoopMailSlotDispatcher() {
  Shutdown();
  // A wait thread that was let go (its endpoint closed during a hand-off) may still be on its way
  // out of RunAndWait; the mutex and conditions must outlive it.
  std::unique_lock<std::mutex> lock(mutex_);
  finished_.wait(lock, [&] { return waiters_ == 0; });
}

void EventLoopMailSlotDispatcher::RunAndWait(std::function<void()> call) {
  auto task = std::make_shared<Task>();
  task->call = std::move(call);
  std::unique_lock<std::mutex> lock(mutex_);
  if (shutdown_) return;
  tasks_.push_back(task);
  ++waiters_;
  queued_.notify_all();
  finished_.wait(lock, [&] { return task->done || shutdown_; });
  --waiters_;
  finished_.notify_all();
}

int EventLoopMailSlotDispatcher::ProcessPending() {
  std::size_t budget;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    budget = tasks_.size();
  }
  int ran = 0;
  // Only what was queued on entry: a steady stream of datagrams must not keep the caller here.
  while (budget-- > 0) {
    std::shared_ptr<Task> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty() || shutdown_) break;
      task = tasks_.front();
      tasks_.pop_front();
    }
    struct Finish {
      EventLoopMailSlotDispatcher& d;
      Task& t;
      ~Finish() {
        std::lock_guard<std::mutex> lock(d.mutex_);
        t.done = true;
        d.finished_.notify_all();
      }
    } finish{*this, *task};
    ++ran;
    task->call();
  }
  return ran;
}

int EventLoopMailSlotDispatcher::WaitAndProcess(int timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    queued_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [&] { return !tasks_.empty() || shutdown_; });
  }
  return ProcessPending();
}

void EventLoopMailSlotDispatcher::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  shutdown_ = true;
  tasks_.clear();
  queued_.notify_all();
  finished_.notify_all();
}

namespace {
std::atomic<int> g_runningWaitThreads{0};
}  // namespace

MailSlotDispatcher& DefaultMailSlotDispatcher() {
  static DirectMailSlotDispatcher direct;
  return direct;
}

// ---- wait thread ------------------------------------------------------------------------------

struct TmdMailSlotWaitThread::State {
  // Guards `owner` against a dispatcher that runs the hand-off on the wait thread itself.
  std::recursive_mutex mutex;
  TmdCustomMailSlot* owner = nullptr;
  MailSlotDispatcher* dispatcher = nullptr;
  // Shared with the endpoint: a thread let go during a hand-off may outlive the endpoint's use of
  // the slot, and must find a closed slot rather than a destroyed one.
  std::shared_ptr<platform::ServerSlot> handle;
  std::atomic<bool> stop{false};
  std::atomic<bool> inHandoff{false};
};

namespace {

void WaitLoop(std::shared_ptr<TmdMailSlotWaitThread::State> s) {
  while (!s->stop.load()) {
    const platform::WaitResult r = s->handle->Wait();
    if (s->stop.load()) break;
    if (r == platform::WaitResult::Failed) {
      // Should not happen on a bound socket; never spin on it.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (r != platform::WaitResult::Datagram) continue;
    // Announce the hand-off before the last look at `stop`; Terminate sets `stop` before it looks
    // at this flag, so one of the two always sees the other.
    s->inHandoff.store(true);
    if (s->stop.load()) break;
    auto ran = std::make_shared<std::atomic<bool>>(false);
    s->dispatcher->RunAndWait([s, ran] {
      ran->store(true);
      std::lock_guard<std::recursive_mutex> lock(s->mutex);
      if (s->owner != nullptr && !s->stop.load()) s->owner->ReadAndDispatch();
    });
    s->inHandoff.store(false);
    // A dispatcher that dropped the call (one shutting down) leaves the datagram waiting; the
    // next poll would return at once, so do not turn that into a busy loop.
    if (!ran->load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  g_runningWaitThreads.fetch_sub(1);
}

}  // namespace

TmdMailSlotWaitThread::TmdMailSlotWaitThread(TmdCustomMailSlot& owner,
                                             std::shared_ptr<platform::ServerSlot> handle,
                                             MailSlotDispatcher& dispatcher)
    : state_(std::make_shared<State>()) {
  state_->owner = &owner;
  state_->dispatcher = &dispatcher;
  state_->handle = std::move(handle);
  g_runningWaitThreads.fetch_add(1);
  try {
    thread_ = std::thread(WaitLoop, state_);
  } catch (...) {
    g_runningWaitThreads.fetch_sub(1);
    throw EmdMailSlot(kMailSlotCannotOpen);
  }
}

TmdMailSlotWaitThread::~TmdMailSlotWaitThread() { Terminate(); }

void TmdMailSlotWaitThread::Terminate() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    state_->owner = nullptr;
  }
  state_->stop.store(true);
  state_->handle->WakeWaiters();
  // Inside a hand-off the thread cannot end before the hand-off returns, and the hand-off may be
  // waiting for this very thread: let it end by itself. The queued call finds no owner.
  if (thread_.get_id() == std::this_thread::get_id() || state_->inHandoff.load())
    thread_.detach();
  else
    thread_.join();
}

int TmdMailSlotWaitThread::RunningCount() { return g_runningWaitThreads.load(); }

// ---- endpoint ---------------------------------------------------------------------------------

namespace {

std::string WireName(const std::string& ansiName) {
  return NetbiosWireName(ansiName, ThisMachine().oem);
}

bool IsThisMachine(const std::string& server) {
  if (server == ".") return true;
  const std::string name = WireName(server);
  return !name.empty() && text::EqualsIgnoreAsciiCase(name, WireName(ThisMachine().computerName));
}

}  // namespace

TmdCustomMailSlot::TmdCustomMailSlot(MailSlotDispatcher* dispatcher) : dispatcher_(dispatcher) {
  Close();
}

TmdCustomMailSlot::~TmdCustomMailSlot() {
  try {
    Close();
  } catch (...) {
  }
}

void TmdCustomMailSlot::SetActive(bool value) {
  if (value == active_) return;
  if (value)
    Open();
  else
    Close();
}

void TmdCustomMailSlot::SetName(const std::string& newName) {
  name_ = newName;
  if (slotNameSet_) return;
  const bool changed = !text::EqualsIgnoreAsciiCase(slot_, newName);
  slot_ = newName;
  if (changed) ReopenIfActive();
}

void TmdCustomMailSlot::SetServer(const std::string& value) {
  if (text::EqualsIgnoreAsciiCase(value, server_)) return;
  server_ = value;
  ReopenIfActive();
}

void TmdCustomMailSlot::SetSlot(const std::string& value) {
  if (text::EqualsIgnoreAsciiCase(value, slot_)) return;
  slotNameSet_ = true;
  slot_ = value;
  ReopenIfActive();
}

void TmdCustomMailSlot::SetMaxSize(std::int32_t value) {
  if (value == maxSize_) return;
  maxSize_ = value;
  ReopenIfActive();
}

void TmdCustomMailSlot::ReopenIfActive() {
  if (active_) Open();
}

void TmdCustomMailSlot::Open() {
  if (active_) Close();
  if (!IsThisMachine(server_)) RaiseError(kMailSlotBadName);
  platform::OpenError error = platform::OpenError::None;
  std::shared_ptr<platform::ServerSlot> held = platform::CreateServerSlot(slot_, error);
  if (!held) {
    RaiseError(error == platform::OpenError::BadName         ? kMailSlotBadName
               : error == platform::OpenError::AlreadyExists ? kMailSlotAlreadyExists
                                                             : kMailSlotCannotOpen);
  }
  // Active before the thread starts: a dispatcher that runs on the wait thread may read at once.
  handle_ = held;
  active_ = true;
  MailSlotDispatcher& dispatcher = dispatcher_ ? *dispatcher_ : DefaultMailSlotDispatcher();
  try {
    waitThread_ = std::make_unique<TmdMailSlotWaitThread>(*this, held, dispatcher);
  } catch (...) {
    handle_.reset();
    active_ = false;
    held->Close();
    RaiseError(kMailSlotCannotOpen);
  }
  DoOpen();
}

void TmdCustomMailSlot::Close() {
  if (!active_) return;
  // The thread goes first: it must be told to stop before its socket disappears.
  if (waitThread_) {
    waitThread_->Terminate();
    waitThread_.reset();
  }
  handle_->Close();
  handle_.reset();
  active_ = false;
  messageCount_ = 0;
  nextSize_ = 0;
  DoClose();
}

void TmdCustomMailSlot::CheckMessages() {
  if (!active_) RaiseError(kMailSlotNotActive);
  bool waiting = false;
  std::uint32_t size = 0;
  std::uint32_t count = 0;
  if (!handle_->Peek(waiting, size, count)) RaiseError(kMailSlotInfoError);
  messageCount_ = count;
  nextSize_ = size;
}

std::uint64_t TmdCustomMailSlot::DroppedCount() const { return handle_ ? handle_->Dropped() : 0; }

bool TmdCustomMailSlot::ReadMessage(MailSlotBuffer& buffer) {
  CheckMessages();
  if (messageCount_ == 0) RaiseError(kMailSlotNoMessages);
  FreeBuffer(buffer);
  std::uint32_t limit = kMailSlotLargestDatagram;
  if (maxSize_ > 0) limit = std::min(limit, static_cast<std::uint32_t>(maxSize_));
  if (nextSize_ > limit) {
    // Taken and dropped here, or it would stay first in the queue and be found again forever.
    std::uint8_t none;
    handle_->Read(&none, 0);
    return false;
  }
  const std::uint32_t count = nextSize_;
  buffer.data = std::make_unique<std::uint8_t[]>(count + 1);  // value-initialised: all zero
  buffer.count = static_cast<std::int32_t>(count);
  buffer.dispatchCount = buffer.count;
  buffer.dispatchData = buffer.data.get();
  const long got = handle_->Read(buffer.data.get(), count);
  if (got < 0 || static_cast<std::uint32_t>(got) != count) RaiseError(kMailSlotReadError);
  buffer.session = handle_->LastArrival() == platform::Arrival::Session;
  return true;
}

void TmdCustomMailSlot::FreeBuffer(MailSlotBuffer& buffer) {
  // Also the one-byte block of an empty datagram is released.
  buffer.data.reset();
  buffer.count = 0;
  buffer.dispatchCount = 0;
  buffer.dispatchData = nullptr;
  buffer.session = false;
}

void TmdCustomMailSlot::ReadAndDispatch() {
  MailSlotBuffer buffer;
  try {
    try {
      if (ReadMessage(buffer)) {
        const std::string text(reinterpret_cast<const char*>(buffer.data.get()));
        dispatchingSession_ = buffer.session;
        DoMessageAvail(text);
        DoBinMessageAvail(buffer.dispatchData, static_cast<std::uint32_t>(buffer.dispatchCount));
        dispatchingSession_ = false;
      }
    } catch (...) {
      dispatchingSession_ = false;
      FreeBuffer(buffer);
      throw;
    }
    FreeBuffer(buffer);
  } catch (...) {
    // One bad datagram, or a handler that failed on it, must never stop reception.
  }
}

void TmdCustomMailSlot::DoOpen() {
  if (OnOpen) OnOpen(*this);
}

void TmdCustomMailSlot::DoClose() {
  if (OnClose) OnClose(*this);
}

void TmdCustomMailSlot::DoMessageAvail(const std::string& msg) {
  if (OnMessageAvail) OnMessageAvail(*this, msg);
}

void TmdCustomMailSlot::DoBinMessageAvail(const std::uint8_t* data, std::uint32_t len) {
  if (OnBinMessageAvail) OnBinMessageAvail(*this, data, len);
}

void TmdCustomMailSlot::RaiseError(const std::string& message) { throw EmdMailSlot(message); }

// ---- writers ----------------------------------------------------------------------------------

SlotWriteHandle::SlotWriteHandle() = default;
SlotWriteHandle::~SlotWriteHandle() { CloseHandle(); }

SlotWriteHandle::SlotWriteHandle(SlotWriteHandle&& other) noexcept { *this = std::move(other); }

SlotWriteHandle& SlotWriteHandle::operator=(SlotWriteHandle&& other) noexcept {
  if (this != &other) {
    CloseHandle();
    local_ = std::move(other.local_);
    network_ = std::exchange(other.network_, false);
    groupTarget_ = std::exchange(other.groupTarget_, false);
    target_ = std::move(other.target_);
    slot_ = std::move(other.slot_);
  }
  return *this;
}

void SlotWriteHandle::CloseHandle() {
  local_.reset();
  network_ = false;
}

bool SlotWriteHandle::Write(const void* data, std::size_t count) {
  if (data == nullptr && count != 0) return false;
  bool delivered = false;
  if (local_) delivered = local_->Send(data, count);
  if (network_)
    delivered =
        platform::BroadcastMailslotWrite(target_, groupTarget_, slot_, data, count) || delivered;
  return delivered;
}

SlotWriteHandle OpenSlotForWrite(const std::string& server, const std::string& slot) {
  SlotWriteHandle h;
  if (slot.empty() || slot.find('\0') != std::string::npos) return h;
  if (IsThisMachine(server)) {
    h.local_ = platform::ConnectLocalSlot(slot);
    return h;
  }
  const std::string target = WireName(server);
  if (target.empty()) return h;
  const std::string workgroup = WireName(ThisMachine().workgroup);
  h.groupTarget_ = !workgroup.empty() && text::EqualsIgnoreAsciiCase(target, workgroup);
  // The workgroup includes this machine: its copy goes through the local socket, and the
  // receivers of this machine ignore the broadcast coming back.
  if (h.groupTarget_) h.local_ = platform::ConnectLocalSlot(slot);
  h.network_ = true;
  h.target_ = target;
  h.slot_ = slot;
  return h;
}

bool WriteSlot(const std::string& server, const std::string& slot, const void* data,
               std::size_t count) {
  SlotWriteHandle h = OpenSlotForWrite(server, slot);
  if (!h.Valid()) return false;
  const bool ok = h.Write(data, count);
  h.CloseHandle();
  return ok;
}

bool WriteSlotString(const std::string& server, const std::string& slot, const std::string& text) {
  return WriteSlot(server, slot, text.data(), text.size());
}

namespace platform {

std::optional<MailslotFrame> OutgoingMailslotFrame(const std::string& target, bool group,
                                                   const std::string& slot, const void* data,
                                                   std::size_t count) {
  // Ids start at random, so that a restarted program's first frames are not taken for repeats of
  // the ones it sent before.
  static std::atomic<std::uint16_t> nextId{static_cast<std::uint16_t>(std::random_device{}())};
  const MachineIdentity& me = ThisMachine();
  MailslotFrame frame;
  frame.messageType = group ? kDatagramDirectGroup : kDatagramDirectUnique;
  frame.datagramId = nextId.fetch_add(1, std::memory_order_relaxed);
  frame.sourceName = NetbiosWireName(me.computerName, me.oem);
  frame.destinationName = NetbiosNameOf(target);
  frame.mailslotPath = std::string(kMailslotPrefix) + slot;
  frame.payload.assign(static_cast<const char*>(data), count);
  if (frame.destinationName.empty() || slot.empty()) return std::nullopt;
  return frame;
}

}  // namespace platform

}  // namespace pelmora
