// Whatever a client sends on the session port: the session packets and the SMB send-message
// requests inside them. Besides "no crash, no read outside the input", it checks what the
// listener relies on: the same bytes give the same session whether they come whole or in pieces
// (the first byte chooses the piece size), every message handed over is within the limits,
// every reply is one the client side reads back, and nothing is taken after the session ended.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/MessengerSession.h"

namespace {

struct Run {
  std::vector<pelmora::SessionMessage> messages;
  std::string replies;
  bool ended = false;
};

Run Feed(const std::uint8_t* data, std::size_t size, std::size_t piece) {
  Run run;
  pelmora::MessengerSession session("TEJO", [&run](const pelmora::SessionMessage& m) {
    run.messages.push_back(m);
    // Every third message refused, as the rate cap would.
    return run.messages.size() % 3 != 0;
  });
  for (std::size_t i = 0; i < size; i += piece) {
    const std::size_t n = size - i < piece ? size - i : piece;
    const std::size_t before = run.replies.size();
    if (!session.Feed(data + i, n, run.replies)) {
      if (run.ended && run.replies.size() != before) std::abort();  // answered after the end
      run.ended = true;
    }
  }
  return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora;
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const Run whole = Feed(data + 1, size - 1, size);
  const Run pieces = Feed(data + 1, size - 1, piece);
  if (!(whole.messages == pieces.messages) || whole.replies != pieces.replies ||
      whole.ended != pieces.ended)
    std::abort();
  for (const SessionMessage& m : whole.messages) {
    if (m.text.size() > kSessionLargestText || m.sender.size() > kSessionLargestName ||
        m.recipient.size() > kSessionLargestName)
      std::abort();
    (void)SessionMessageDatagram(m);
  }
  std::string rest = whole.replies;
  bool bad = false;
  while (TakeSessionReply(rest, bad)) {
  }
  if (bad || !rest.empty()) std::abort();
  return 0;
}
