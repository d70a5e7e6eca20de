#include "transport/MessengerSession.h"

#include <cstring>

#include "text/CodePage.h"
#include "transport/NetbiosFrame.h"

namespace pelmora {
namespace {

constexpr std::size_t kPacketHeader = 4;
constexpr std::uint8_t kSmbFlagsReply = 0x80;
constexpr std::uint16_t kSmbFlags2NtStatus = 0x4000;
// Buffer formats of the data block.
constexpr std::uint8_t kBufferDataBlock = 0x01;
constexpr std::uint8_t kBufferAsciiString = 0x04;

std::uint16_t Le16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) |
                                    (static_cast<std::uint8_t>(p[1]) << 8));
}
void PutLe16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

// One session packet: type, then the length in the three bytes after it. RFC 1002 gives the
// session message a 17-bit length (one flag bit and 16 bits); the direct form without the
// NetBIOS layer uses all 24 bits. Reading 24 bits serves both: every length this side accepts
// fits either way.
std::string SessionPacket(std::uint8_t type, std::string_view body) {
  std::string out;
  out.push_back(static_cast<char>(type));
  out.push_back(static_cast<char>((body.size() >> 16) & 0xFF));
  out.push_back(static_cast<char>((body.size() >> 8) & 0xFF));
  out.push_back(static_cast<char>(body.size() & 0xFF));
  out.append(body);
  return out;
}

// The data block of a request, read field by field; any field that does not fit fails.
class DataReader {
 public:
  explicit DataReader(std::string_view data) : data_(data) {}
  // A buffer-format 0x04 string, zero-terminated inside the block, of at most `largest` bytes.
  bool String(std::string& out, std::size_t largest) {
    if (pos_ >= data_.size() || static_cast<std::uint8_t>(data_[pos_]) != kBufferAsciiString)
      return false;
    const std::size_t start = pos_ + 1;
    const std::size_t zero = data_.find('\0', start);
    if (zero == std::string_view::npos || zero - start > largest) return false;
    out.assign(data_.substr(start, zero - start));
    pos_ = zero + 1;
    return true;
  }
  // A buffer-format 0x01 block: two-byte length, then that many bytes.
  bool Block(std::string_view& out) {
    if (data_.size() - pos_ < 3 || static_cast<std::uint8_t>(data_[pos_]) != kBufferDataBlock)
      return false;
    const std::size_t length = Le16(data_.data() + pos_ + 1);
    if (data_.size() - pos_ - 3 < length) return false;
    out = data_.substr(pos_ + 3, length);
    pos_ += 3 + length;
    return true;
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
};

// The reply to `request` (its header is echoed: command, TID, PID, UID, MID), marked as a reply,
// with `errorCode` of class ERRSRV (0 = success), the words given and no data.
std::string SmbReply(std::string_view request, std::uint16_t errorCode,
                     const std::vector<std::uint16_t>& words = {}) {
  std::string smb(request.substr(0, kSmbHeaderSize));
  smb[5] = static_cast<char>(errorCode == 0 ? 0 : kSmbErrorClassServer);
  smb[6] = 0;
  smb[7] = static_cast<char>(errorCode & 0xFF);
  smb[8] = static_cast<char>(errorCode >> 8);
  smb[9] = static_cast<char>(static_cast<std::uint8_t>(smb[9]) | kSmbFlagsReply);
  // The status is in the DOS form: no dialect was negotiated that would allow the NT form.
  const std::uint16_t flags2 = Le16(smb.data() + 10) & ~kSmbFlags2NtStatus;
  smb[10] = static_cast<char>(flags2 & 0xFF);
  smb[11] = static_cast<char>(flags2 >> 8);
  smb.push_back(static_cast<char>(words.size()));
  for (const std::uint16_t w : words) PutLe16(smb, w);
  PutLe16(smb, 0);
  return SessionPacket(kSessionMessage, smb);
}

}  // namespace

MessengerSession::MessengerSession(std::string ownName, Deliver deliver)
    : ownName_(std::move(ownName)), deliver_(std::move(deliver)) {}

bool MessengerSession::Feed(const std::uint8_t* data, std::size_t size, std::string& replies) {
  if (ended_) return false;
  if (data != nullptr && size > 0) pending_.append(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 0;
  bool ok = true;
  while (ok && pending_.size() - pos >= kPacketHeader) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(pending_.data() + pos);
    const std::size_t length = (std::size_t{p[1]} << 16) | (std::size_t{p[2]} << 8) | p[3];
    if (length > kSessionLargestFrame) {
      ok = false;
      break;
    }
    if (pending_.size() - pos - kPacketHeader < length) break;
    ok = Packet(p[0], std::string_view(pending_).substr(pos + kPacketHeader, length), replies);
    pos += kPacketHeader + length;
  }
  if (!ok) {
    ended_ = true;
    pending_.clear();
    open_.reset();
    return false;
  }
  pending_.erase(0, pos);
  return true;
}

bool MessengerSession::Packet(std::uint8_t type, std::string_view body, std::string& replies) {
  if (++packets_ > kSessionLargestPacketCount) return false;
  switch (type) {
    case kSessionKeepAlive:
      return body.empty();
    case kSessionRequest:
      // Only as the opening of the session, and only once.
      if (sawPacket_) return false;
      sawPacket_ = true;
      return SessionRequestPacket(body, replies);
    case kSessionMessage:
      sawPacket_ = true;
      return SmbPacket(body, replies);
    default:
      return false;
  }
}

bool MessengerSession::SessionRequestPacket(std::string_view body, std::string& replies) {
  std::string called, calling;
  std::uint8_t calledSuffix = 0, callingSuffix = 0;
  if (body.size() != 2 * kEncodedNetbiosName ||
      !DecodeNetbiosName(body.substr(0, kEncodedNetbiosName), called, calledSuffix) ||
      !DecodeNetbiosName(body.substr(kEncodedNetbiosName), calling, callingSuffix)) {
    replies += SessionPacket(kNegativeSessionResponse,
                             std::string(1, static_cast<char>(kUnspecifiedSessionError)));
    return false;
  }
  const bool ourName = !ownName_.empty() && text::EqualsIgnoreAsciiCase(called, ownName_);
  if (ourName && calledSuffix == kMessengerNameSuffix) {
    requested_ = true;
    replies += SessionPacket(kPositiveSessionResponse, {});
    return true;
  }
  // Our name with another suffix is a service this machine does not offer (the file server,
  // say); any other name is not here at all.
  const std::uint8_t code = ourName ? kNotListeningOnCalledName : kCalledNameNotPresent;
  replies += SessionPacket(kNegativeSessionResponse, std::string(1, static_cast<char>(code)));
  return false;
}

bool MessengerSession::SmbPacket(std::string_view smb, std::string& replies) {
  // Header, word count and byte count at the least; and a request, not a reply.
  if (smb.size() < kSmbHeaderSize + 3 || smb.substr(0, 4) != std::string_view("\xFFSMB", 4) ||
      (static_cast<std::uint8_t>(smb[9]) & kSmbFlagsReply) != 0)
    return false;
  const auto command = static_cast<std::uint8_t>(smb[4]);
  const std::size_t wordCount = static_cast<std::uint8_t>(smb[kSmbHeaderSize]);
  const std::size_t byteCountAt = kSmbHeaderSize + 1 + 2 * wordCount;
  if (smb.size() < byteCountAt + 2) {
    replies += SmbReply(smb, kSmbErrorGeneral);
    return false;
  }
  std::vector<std::uint16_t> words;
  for (std::size_t i = 0; i < wordCount; ++i)
    words.push_back(Le16(smb.data() + kSmbHeaderSize + 1 + 2 * i));
  const std::size_t byteCount = Le16(smb.data() + byteCountAt);
  if (smb.size() - byteCountAt - 2 < byteCount) {
    replies += SmbReply(smb, kSmbErrorGeneral);
    return false;
  }
  // Bytes beyond the byte count are allowed and ignored.
  DataReader data(smb.substr(byteCountAt + 2, byteCount));

  // A request of the right command but the wrong shape: an error reply, and the session ends.
  const auto malformed = [&] {
    replies += SmbReply(smb, kSmbErrorGeneral);
    return false;
  };
  // Hands a complete message over; a refusal is answered and ends the session.
  const auto deliver = [&](const SessionMessage& m) {
    if (!deliver_ || !deliver_(m)) {
      replies += SmbReply(smb, kSmbErrorNoRoom);
      return false;
    }
    ++delivered_;
    replies += SmbReply(smb, 0);
    return true;
  };

  switch (command) {
    case kSmbSendMessage: {
      SessionMessage m;
      std::string_view text;
      if (wordCount != 0 || !data.String(m.sender, kSessionLargestName) ||
          !data.String(m.recipient, kSessionLargestName) || !data.Block(text))
        return malformed();
      if (text.size() > kSessionLargestText) {
        replies += SmbReply(smb, kSmbErrorNoRoom);
        return false;
      }
      m.text.assign(text);
      return deliver(m);
    }
    case kSmbSendStartMessage: {
      SessionMessage m;
      if (wordCount != 0 || !data.String(m.sender, kSessionLargestName) ||
          !data.String(m.recipient, kSessionLargestName))
        return malformed();
      // A start while another message is open abandons that one, as its end never came.
      open_ = std::move(m);
      ++groupId_;
      replies += SmbReply(smb, 0, {groupId_});
      return true;
    }
    case kSmbSendTextMessage: {
      std::string_view block;
      if (wordCount != 1 || !open_ || words[0] != groupId_ || !data.Block(block))
        return malformed();
      if (open_->text.size() + block.size() > kSessionLargestText) {
        replies += SmbReply(smb, kSmbErrorNoRoom);
        return false;
      }
      open_->text.append(block);
      replies += SmbReply(smb, 0);
      return true;
    }
    case kSmbSendEndMessage: {
      if (wordCount != 1 || !open_ || words[0] != groupId_) return malformed();
      const SessionMessage m = std::move(*open_);
      open_.reset();
      return deliver(m);
    }
    default:
      // Nothing else of SMB is spoken here; the client may still send a message.
      replies += SmbReply(smb, kSmbErrorUnknownCommand);
      return true;
  }
}

std::string SessionMessageDatagram(const SessionMessage& m) {
  // The client's line end after the last line (echo's newline, which smbclient sends as CR LF)
  // is not part of what was said.
  std::string_view text(m.text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::string datagram = m.sender;
  datagram.push_back('\0');
  datagram += m.recipient;
  datagram.push_back('\0');
  datagram.append(text);
  return datagram;
}

// ---- the client side --------------------------------------------------------------------------

std::string BuildSessionRequest(std::string_view calledName, std::string_view callingName) {
  if (calledName.empty() || calledName.size() > 15 || callingName.size() > 15) return {};
  std::vector<std::uint8_t> names;
  AppendEncodedNetbiosName(names, calledName, kMessengerNameSuffix);
  AppendEncodedNetbiosName(names, callingName, 0x00);
  return SessionPacket(kSessionRequest,
                       std::string_view(reinterpret_cast<const char*>(names.data()), names.size()));
}

std::string BuildSessionSmb(std::uint8_t command, const std::vector<std::uint16_t>& words,
                            std::string_view data, std::uint16_t mid) {
  std::string smb("\xFFSMB", 4);
  smb.push_back(static_cast<char>(command));
  smb.append(kSmbHeaderSize - 5, '\0');
  smb[30] = static_cast<char>(mid & 0xFF);
  smb[31] = static_cast<char>(mid >> 8);
  smb.push_back(static_cast<char>(words.size()));
  for (const std::uint16_t w : words) PutLe16(smb, w);
  PutLe16(smb, static_cast<std::uint16_t>(data.size()));
  smb.append(data);
  return SessionPacket(kSessionMessage, smb);
}

namespace {
void AppendString(std::string& out, std::string_view s) {
  out.push_back(static_cast<char>(kBufferAsciiString));
  out.append(s);
  out.push_back('\0');
}
void AppendBlock(std::string& out, std::string_view s) {
  out.push_back(static_cast<char>(kBufferDataBlock));
  PutLe16(out, static_cast<std::uint16_t>(s.size()));
  out.append(s);
}
}  // namespace

std::string BuildStartMessage(std::string_view sender, std::string_view recipient) {
  std::string data;
  AppendString(data, sender);
  AppendString(data, recipient);
  return BuildSessionSmb(kSmbSendStartMessage, {}, data);
}

std::string BuildTextBlock(std::uint16_t groupId, std::string_view block) {
  std::string data;
  AppendBlock(data, block);
  return BuildSessionSmb(kSmbSendTextMessage, {groupId}, data);
}

std::string BuildEndMessage(std::uint16_t groupId) {
  return BuildSessionSmb(kSmbSendEndMessage, {groupId}, {});
}

std::vector<std::string_view> SplitSessionText(std::string_view text) {
  std::vector<std::string_view> blocks;
  for (std::size_t i = 0; i < text.size(); i += kSessionBlock)
    blocks.push_back(text.substr(i, kSessionBlock));
  return blocks;
}

std::optional<SessionReply> TakeSessionReply(std::string& bytes, bool& bad) {
  bad = false;
  if (bytes.size() < kPacketHeader) return std::nullopt;
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t length = (std::size_t{p[1]} << 16) | (std::size_t{p[2]} << 8) | p[3];
  if (length > kSessionLargestFrame) {
    bad = true;
    return std::nullopt;
  }
  if (bytes.size() - kPacketHeader < length) return std::nullopt;
  const std::string body = bytes.substr(kPacketHeader, length);
  SessionReply r;
  r.type = p[0];
  bytes.erase(0, kPacketHeader + length);
  if (r.type == kNegativeSessionResponse) {
    if (body.size() != 1) bad = true;
    r.negativeCode = body.empty() ? 0 : static_cast<std::uint8_t>(body[0]);
  } else if (r.type == kSessionMessage) {
    if (body.size() < kSmbHeaderSize + 3 || body.compare(0, 4, "\xFFSMB", 4) != 0 ||
        (static_cast<std::uint8_t>(body[9]) & kSmbFlagsReply) == 0) {
      bad = true;
      return std::nullopt;
    }
    r.command = static_cast<std::uint8_t>(body[4]);
    r.status = static_cast<std::uint32_t>(Le16(body.data() + 5)) |
               (static_cast<std::uint32_t>(Le16(body.data() + 7)) << 16);
    const std::size_t wordCount = static_cast<std::uint8_t>(body[kSmbHeaderSize]);
    if (body.size() < kSmbHeaderSize + 1 + 2 * wordCount) {
      bad = true;
      return std::nullopt;
    }
    for (std::size_t i = 0; i < wordCount; ++i)
      r.words.push_back(Le16(body.data() + kSmbHeaderSize + 1 + 2 * i));
  } else if (r.type != kPositiveSessionResponse && r.type != kSessionKeepAlive) {
    bad = true;
    return std::nullopt;
  }
  return r;
}

}  // namespace pelmora
