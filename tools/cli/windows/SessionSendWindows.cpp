// send --session on Windows: the TCP client is written for POSIX sockets only so far. Saying so
// beats a message that silently goes nowhere; the datagram form (plain `send`) works here.

#include "SessionSend.h"

namespace pelmora::cli {

std::string SendInSessionForm(const SessionSend&) {
  return "the session form (--session) is not available in the Windows build yet; "
         "send without --session";
}

}  // namespace pelmora::cli
