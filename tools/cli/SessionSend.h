#pragma once
// pelmora-cli send --session: one message in the messenger's session form, over TCP to one
// machine, as `smbclient -M` sends it: a session request to NAME<03> first on port 139 (the
// NetBIOS session service), straight to the SMB requests on any other port. A text of at most
// 128 bytes goes in one SMB_COM_SEND_MESSAGE, a longer one as start, blocks and end.
//
// The machine's address is the one given, or the host name looked up by the system's resolver
// (/etc/hosts, DNS, ...): no NetBIOS name query, so a name the resolver does not know needs
// --address.

#include <cstdint>
#include <string>

namespace pelmora::cli {

struct SessionSend {
  std::string target;   // the machine's name as it travels (OEM, upper case, at most 15)
  std::string address;  // IPv4 address or host name to connect to
  std::uint16_t port = 0;
  std::string callingName;  // this machine's name as it travels
  std::string sender;       // OEM bytes
  std::string recipient;    // OEM bytes
  std::string text;         // OEM bytes
};

// Sends the message and waits for every reply (a few seconds at most); empty on success, else
// one line saying what went wrong.
std::string SendInSessionForm(const SessionSend& request);

}  // namespace pelmora::cli
