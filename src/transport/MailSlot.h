#pragma once
// Mailslot endpoints and writers.
//
// A mailslot is a one-way, connectionless, named slot for whole datagrams: one reader per machine
// (the process that opened the server side) and any number of writers, which address the slot on
// one machine ("." or a computer name) or on every machine of a workgroup. Slot names compare
// without regard to letter case, so "SEGURO" reaches the slot opened as "seguro".
//
// An active endpoint runs one wait thread. That thread blocks until a datagram waits, then hands
// ReadAndDispatch to the owner's thread through a MailSlotDispatcher and waits until it has run.
// Every read, every event and every field of the endpoint is therefore touched on the owner's
// thread only. Errors while reading or handling one datagram are swallowed, so reception never
// stops; opening raises EmdMailSlot with one of the fixed texts below.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace pelmora {

namespace platform {
class ServerSlot;
class LocalWriter;
enum class Arrival;
}  // namespace platform

// The fixed texts an endpoint raises.
inline constexpr const char* kMailSlotBadName = "Bad mailslot name";
inline constexpr const char* kMailSlotAlreadyExists = "Mailslot already exists";
inline constexpr const char* kMailSlotCannotOpen = "Cannot open mailslot";
inline constexpr const char* kMailSlotNotActive = "Not active";
inline constexpr const char* kMailSlotInfoError = "Error in GetMailSlotInfo";
inline constexpr const char* kMailSlotNoMessages = "No messages waiting";
inline constexpr const char* kMailSlotReadError = "Error reading message";

// Datagrams above this size are never handed to the events; they are read and dropped.
inline constexpr std::uint32_t kMailSlotLargestDatagram = 0xFFFC;

class EmdMailSlot : public std::exception {
 public:
  explicit EmdMailSlot(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Runs one call on the endpoint owner's thread and returns when it has finished. The wait thread
// is blocked in RunAndWait for the whole call.
class MailSlotDispatcher {
 public:
  virtual ~MailSlotDispatcher() = default;
  virtual void RunAndWait(std::function<void()> call) = 0;
};

// Runs the call right away on the wait thread. Only for simple tools whose owner thread leaves
// the endpoint alone while it is active (apart from deactivating it).
class DirectMailSlotDispatcher : public MailSlotDispatcher {
 public:
  void RunAndWait(std::function<void()> call) override { call(); }
};

// A small event loop: wait threads queue their calls, and the owner thread runs them when it
// pumps (ProcessPending, WaitAndProcess). For tests and command-line tools. Destroying it
// releases the waiting threads and waits until they have left it.
class EventLoopMailSlotDispatcher : public MailSlotDispatcher {
 public:
  EventLoopMailSlotDispatcher() = default;
  ~EventLoopMailSlotDispatcher() override;
  EventLoopMailSlotDispatcher(const EventLoopMailSlotDispatcher&) = delete;
  EventLoopMailSlotDispatcher& operator=(const EventLoopMailSlotDispatcher&) = delete;

  void RunAndWait(std::function<void()> call) override;

  // Runs every call queued now; returns how many ran.
  int ProcessPending();
  // Waits up to `timeoutMs` for at least one call, then runs all queued; returns how many ran.
  int WaitAndProcess(int timeoutMs);
  // Releases every waiting thread without running its call; later calls are not run either.
  void Shutdown();

 private:
  struct Task {
    std::function<void()> call;
    bool done = false;
  };
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<std::shared_ptr<Task>> tasks_;
  int waiters_ = 0;  // threads inside RunAndWait
  bool shutdown_ = false;
};

// The dispatcher of endpoints that were given none: it runs each call on the wait thread itself.
// Programs with an owner thread of their own (the GUI) give every endpoint theirs.
MailSlotDispatcher& DefaultMailSlotDispatcher();

class TmdCustomMailSlot;

// One datagram as ReadMessage fills it: `data` is count + 1 bytes, zero-filled before the read,
// so the datagram is always followed by one zero byte. The dispatch copy is what the binary
// event is given.
struct MailSlotBuffer {
  std::int32_t count = 0;
  std::unique_ptr<std::uint8_t[]> data;
  std::int32_t dispatchCount = 0;
  const std::uint8_t* dispatchData = nullptr;
  bool session = false;  // it came as a message of the messenger's session form
};

// The thread that serves one active endpoint. It blocks in the operating system until a datagram
// waits or it is woken to end, so an idle endpoint costs no CPU.
class TmdMailSlotWaitThread {
 public:
  TmdMailSlotWaitThread(TmdCustomMailSlot& owner, std::shared_ptr<platform::ServerSlot> handle,
                        MailSlotDispatcher& dispatcher);
  ~TmdMailSlotWaitThread();
  TmdMailSlotWaitThread(const TmdMailSlotWaitThread&) = delete;
  TmdMailSlotWaitThread& operator=(const TmdMailSlotWaitThread&) = delete;

  // Asks the thread to end and wakes it. On the owner's thread, outside a hand-off, it also waits
  // for the end; from inside a hand-off (an event handler closing its own endpoint) the thread
  // ends by itself as soon as the hand-off returns. Called before the endpoint closes its socket.
  void Terminate();

  // Wait threads of this process that have not ended yet.
  static int RunningCount();

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::thread thread_;
};

class TmdCustomMailSlot {
 public:
  using NotifyEvent = std::function<void(TmdCustomMailSlot& sender)>;
  using TmsMessageAvail = std::function<void(TmdCustomMailSlot& sender, const std::string& msg)>;
  using TmsBinMessageAvail =
      std::function<void(TmdCustomMailSlot& sender, const std::uint8_t* data, std::uint32_t len)>;

  // `dispatcher` must outlive the endpoint; nullptr takes DefaultMailSlotDispatcher() at Open.
  explicit TmdCustomMailSlot(MailSlotDispatcher* dispatcher = nullptr);
  // Deactivates: the wait thread must never outlive the endpoint it serves.
  virtual ~TmdCustomMailSlot();
  TmdCustomMailSlot(const TmdCustomMailSlot&) = delete;
  TmdCustomMailSlot& operator=(const TmdCustomMailSlot&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool value);  // may raise EmdMailSlot

  const std::string& Name() const { return name_; }
  // Renames the component; while Slot was never assigned, the slot follows the name.
  virtual void SetName(const std::string& newName);

  const std::string& Server() const { return server_; }
  void SetServer(const std::string& value);
  const std::string& Slot() const { return slot_; }
  void SetSlot(const std::string& value);
  std::int32_t MaxSize() const { return maxSize_; }
  void SetMaxSize(std::int32_t value);
  bool SlotNameSet() const { return slotNameSet_; }

  // As last queried by CheckMessages.
  std::uint32_t MessageCount() const { return messageCount_; }
  std::uint32_t NextSize() const { return nextSize_; }
  // Datagrams the slot had to drop since it was opened because its reader let more than the
  // slot's memory cap pile up (platform::kSlotMemoryCap); 0 while inactive.
  std::uint64_t DroppedCount() const;

  // While the events of a datagram run: whether it came as a message of the messenger's
  // session form (TCP) rather than as a written datagram. False outside the events.
  bool DispatchingSessionMessage() const { return dispatchingSession_; }

  platform::ServerSlot* Handle() const { return handle_.get(); }  // nullptr while inactive
  void SetDispatcher(MailSlotDispatcher* dispatcher) { dispatcher_ = dispatcher; }

  virtual void Open();
  virtual void Close();
  void CheckMessages();
  virtual bool ReadMessage(MailSlotBuffer& buffer);
  virtual void FreeBuffer(MailSlotBuffer& buffer);
  // Reads one datagram and raises the events for it; every error is swallowed.
  void ReadAndDispatch();

  NotifyEvent OnOpen;
  NotifyEvent OnClose;
  TmsMessageAvail OnMessageAvail;
  TmsBinMessageAvail OnBinMessageAvail;

 protected:
  virtual void DoOpen();
  virtual void DoClose();
  virtual void DoMessageAvail(const std::string& msg);
  virtual void DoBinMessageAvail(const std::uint8_t* data, std::uint32_t len);
  [[noreturn]] virtual void RaiseError(const std::string& message);

 private:
  void ReopenIfActive();

  bool active_ = false;
  std::shared_ptr<platform::ServerSlot> handle_;
  std::int32_t maxSize_ = 0;
  std::string server_ = ".";
  std::string slot_ = "mdMailSlot1";
  std::string name_;
  std::uint32_t messageCount_ = 0;
  std::uint32_t nextSize_ = 0;
  bool slotNameSet_ = false;
  bool dispatchingSession_ = false;
  MailSlotDispatcher* dispatcher_ = nullptr;
  std::unique_ptr<TmdMailSlotWaitThread> waitThread_;
};

// The published form; all of it is public above already.
class TmdMailSlot : public TmdCustomMailSlot {
 public:
  using TmdCustomMailSlot::TmdCustomMailSlot;
};

// A slot opened for writing: one datagram per Write. Movable, closes itself.
class SlotWriteHandle {
 public:
  SlotWriteHandle();
  ~SlotWriteHandle();
  SlotWriteHandle(SlotWriteHandle&& other) noexcept;
  SlotWriteHandle& operator=(SlotWriteHandle&& other) noexcept;
  SlotWriteHandle(const SlotWriteHandle&) = delete;
  SlotWriteHandle& operator=(const SlotWriteHandle&) = delete;

  bool Valid() const { return local_ != nullptr || network_; }
  // Writes one datagram; true when it was delivered to the local slot or left the machine.
  bool Write(const void* data, std::size_t count);
  void CloseHandle();

 private:
  friend SlotWriteHandle OpenSlotForWrite(const std::string& server, const std::string& slot);
  std::unique_ptr<platform::LocalWriter> local_;  // connected to the slot on this machine
  bool network_ = false;                          // broadcast a frame to `target_`
  bool groupTarget_ = false;
  std::string target_;
  std::string slot_;
};

// "\\" + server + "\mailslot\" + slot: server is "." or this machine's name (the local slot), a
// workgroup name (every machine of the workgroup, this one included) or another machine's name.
// Invalid when the local slot is not held by anybody or the target cannot be addressed.
SlotWriteHandle OpenSlotForWrite(const std::string& server, const std::string& slot);
// One datagram of exactly `count` bytes. False when it could not be delivered locally or leave
// the machine; nothing is raised.
bool WriteSlot(const std::string& server, const std::string& slot, const void* data,
               std::size_t count);
// The text's bytes, without a terminating zero byte.
bool WriteSlotString(const std::string& server, const std::string& slot, const std::string& text);

}  // namespace pelmora
