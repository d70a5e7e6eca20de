#pragma once
// The messenger's session form: a short TCP conversation that carries one message (or a few) to
// a machine. It is what `smbclient -M` and the direct form of `net send` speak:
//
//   [RFC 1002 SESSION REQUEST 0x81 to NAME<03>, answered 0x82 or 0x83]   only on port 139
//   SESSION MESSAGE 0x00 carrying an SMB message, answered with one SMB reply, for each of:
//     SMB_COM_SEND_MESSAGE 0xD0            sender, recipient and the whole text at once
//     SMB_COM_SEND_START_MB_MESSAGE 0xD5   sender and recipient; the reply carries a group id
//     SMB_COM_SEND_TEXT_MB_MESSAGE 0xD7    one block of the text
//     SMB_COM_SEND_END_MB_MESSAGE 0xD6     the message is complete
//   SESSION KEEP ALIVE 0x85                 ignored
//
// Nothing else of SMB is spoken: any other command gets an error reply (ERRSRV/ERRsmbcmd), and
// anything that is not a well-formed frame closes the session. Names and text stay in the bytes
// the client sent (the OEM code page); the receiver converts them as it converts the datagram.
//
// MessengerSession is the whole server side of one connection without the socket: bytes in,
// reply bytes and complete messages out. It holds at most one frame and one message, both
// bounded, so whatever a client sends costs a bounded amount of memory and work.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

// RFC 1002 session packet types.
inline constexpr std::uint8_t kSessionMessage = 0x00;
inline constexpr std::uint8_t kSessionRequest = 0x81;
inline constexpr std::uint8_t kPositiveSessionResponse = 0x82;
inline constexpr std::uint8_t kNegativeSessionResponse = 0x83;
inline constexpr std::uint8_t kSessionKeepAlive = 0x85;
// Negative session response codes.
inline constexpr std::uint8_t kNotListeningOnCalledName = 0x80;
inline constexpr std::uint8_t kCalledNameNotPresent = 0x82;
inline constexpr std::uint8_t kUnspecifiedSessionError = 0x8F;

// The NetBIOS suffix of the messenger's name.
inline constexpr std::uint8_t kMessengerNameSuffix = 0x03;

inline constexpr std::uint8_t kSmbSendMessage = 0xD0;
inline constexpr std::uint8_t kSmbSendStartMessage = 0xD5;
inline constexpr std::uint8_t kSmbSendEndMessage = 0xD6;
inline constexpr std::uint8_t kSmbSendTextMessage = 0xD7;
inline constexpr std::size_t kSmbHeaderSize = 32;

// SMB error class and codes the session answers with (DOS form, as no dialect was negotiated).
inline constexpr std::uint8_t kSmbErrorClassServer = 0x02;  // ERRSRV
inline constexpr std::uint16_t kSmbErrorGeneral = 0x0001;   // ERRerror: invalid or corrupt SMB
inline constexpr std::uint16_t kSmbErrorUnknownCommand = 0x0040;  // ERRsmbcmd
inline constexpr std::uint16_t kSmbErrorNoRoom = 0x0053;          // ERRnoroom: not taken

// The longest text of one message, the multi-block form's limit; a longer one is refused.
inline constexpr std::size_t kSessionLargestText = 1600;
// Longest sender or recipient name accepted (a NetBIOS name has 15 characters; user names a
// few more).
inline constexpr std::size_t kSessionLargestName = 63;
// Longest SMB message in one session packet: the largest legitimate one (0xD0 with two names
// and 1600 bytes of text) with room to spare. A longer length field ends the session at once.
inline constexpr std::size_t kSessionLargestFrame = 4096;
// Packets one session may send in all; a client that goes on beyond is not sending messages.
inline constexpr int kSessionLargestPacketCount = 256;

// One complete message, fields as the client sent them (OEM code page).
struct SessionMessage {
  std::string sender;
  std::string recipient;
  std::string text;
  bool operator==(const SessionMessage&) const = default;
};

class MessengerSession {
 public:
  // Called for each complete message; returns whether it was taken (false: refused, for
  // instance over the rate cap; the client then gets ERRSRV/ERRnoroom and the session ends).
  using Deliver = std::function<bool(const SessionMessage&)>;

  // `ownName` is this machine's name as it travels (upper case, OEM, at most 15 bytes): a session
  // request must call it with the messenger's suffix.
  MessengerSession(std::string ownName, Deliver deliver);

  // Takes the bytes as they came off the connection, in any pieces, and appends the replies to
  // `replies`. Returns false once the session must end: after a malformed or unexpected packet,
  // a refused session request or message, or too many packets. The replies appended so far
  // should still be sent before the connection is closed; nothing is taken after that.
  bool Feed(const std::uint8_t* data, std::size_t size, std::string& replies);

  bool Ended() const { return ended_; }
  // Complete messages handed over so far.
  int Delivered() const { return delivered_; }
  // Whether a session request was accepted (the client came through port 139's form).
  bool Requested() const { return requested_; }

 private:
  bool Packet(std::uint8_t type, std::string_view body, std::string& replies);
  bool SessionRequestPacket(std::string_view body, std::string& replies);
  bool SmbPacket(std::string_view smb, std::string& replies);

  std::string ownName_;
  Deliver deliver_;
  std::string pending_;  // the bytes of an incomplete packet, header included
  bool ended_ = false;
  bool sawPacket_ = false;
  bool requested_ = false;
  int packets_ = 0;
  int delivered_ = 0;
  // The multi-block message being received, between 0xD5 and 0xD6.
  std::optional<SessionMessage> open_;
  std::uint16_t groupId_ = 0;
};

// The messenger datagram (sender, zero byte, recipient, zero byte, text) that carries a message
// of the session form into the messenger slot, so that it takes the datagram's road from there:
// its conversion, its duplicate filter, its colour and arrival. Line ends at the end of the text
// are dropped: `echo TEXT | smbclient -M` sends echo's newline, which is not part of the message.
std::string SessionMessageDatagram(const SessionMessage& message);

// ---- the client side, for the command-line companion and the tests ---------------------------

// A session request to `calledName` with the messenger's suffix, from `callingName` (suffix 0).
// Both as they travel (upper case, at most 15 bytes). Empty when a name cannot be encoded.
std::string BuildSessionRequest(std::string_view calledName, std::string_view callingName);

// One SMB request of the session form inside its session packet: the command, its words and
// its data, with `pid` and `mid` in the header. Building blocks of the requests below.
std::string BuildSessionSmb(std::uint8_t command, const std::vector<std::uint16_t>& words,
                            std::string_view data, std::uint16_t mid = 0);

// The three requests of a multi-block message; `text` is split by the caller into blocks of at
// most kSessionBlock bytes (SplitSessionText).
inline constexpr std::size_t kSessionBlock = 127;
std::string BuildStartMessage(std::string_view sender, std::string_view recipient);
std::string BuildTextBlock(std::uint16_t groupId, std::string_view block);
std::string BuildEndMessage(std::uint16_t groupId);
std::vector<std::string_view> SplitSessionText(std::string_view text);

// What the server answered to one request: the packet type, and for a session message the SMB
// command, status (0 = success) and words of the reply.
struct SessionReply {
  std::uint8_t type = 0;
  std::uint8_t negativeCode = 0;  // for a negative session response
  std::uint8_t command = 0;
  std::uint32_t status = 0;
  std::vector<std::uint16_t> words;
};
// Parses the first complete packet of `bytes` and removes it; nullopt while none is complete
// (`bad` is set when the bytes can never form one).
std::optional<SessionReply> TakeSessionReply(std::string& bytes, bool& bad);

}  // namespace pelmora
