#include "transport/NetbiosFrame.h"

#include <cstring>

#include "text/CodePage.h"

namespace pelmora {
namespace {

constexpr std::size_t kNameBytes = 16;  // 15 characters and the suffix
constexpr std::uint8_t kSmbTransaction = 0x25;
constexpr std::uint8_t kTransactionWordCount = 17;
constexpr std::uint8_t kMailslotSetupCount = 3;
constexpr std::uint16_t kMailslotWriteOpcode = 1;

void PutBe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutBe16(out, static_cast<std::uint16_t>(v >> 16));
  PutBe16(out, static_cast<std::uint16_t>(v));
}
void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, static_cast<std::uint16_t>(v));
  PutLe16(out, static_cast<std::uint16_t>(v >> 16));
}

// Reads over a byte span; every accessor checks the remaining length first and latches failure.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t len) : data_(data), len_(len) {}
  bool ok() const { return ok_; }
  std::size_t remaining() const { return ok_ ? len_ - pos_ : 0; }
  std::size_t position() const { return pos_; }
  const std::uint8_t* Take(std::size_t n) {
    if (!ok_ || len_ - pos_ < n) {
      ok_ = false;
      return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  std::uint8_t U8() {
    const std::uint8_t* p = Take(1);
    return p ? p[0] : 0;
  }
  std::uint16_t Be16() {
    const std::uint8_t* p = Take(2);
    return p ? static_cast<std::uint16_t>((p[0] << 8) | p[1]) : 0;
  }
  std::uint32_t Be32() {
    std::uint32_t hi = Be16();
    return (hi << 16) | Be16();
  }
  std::uint16_t Le16() {
    const std::uint8_t* p = Take(2);
    return p ? static_cast<std::uint16_t>(p[0] | (p[1] << 8)) : 0;
  }
  std::uint32_t Le32() {
    std::uint32_t lo = Le16();
    return lo | (static_cast<std::uint32_t>(Le16()) << 16);
  }

 private:
  const std::uint8_t* data_;
  std::size_t len_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool ForbiddenNameByte(unsigned char c) {
  return c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

// A field that the builder accepts as a name: it round-trips through the encoding unchanged.
bool BuildableName(const std::string& name) {
  return name.size() <= 15 && (name.empty() || name.back() != ' ');
}

bool DecodeName(Reader& r, std::string& name, std::uint8_t& suffix) {
  if (r.U8() != 0x20) return false;
  const std::uint8_t* p = r.Take(2 * kNameBytes);
  if (r.U8() != 0x00) return false;  // only the empty scope
  if (!r.ok()) return false;
  std::uint8_t raw[kNameBytes];
  for (std::size_t i = 0; i < kNameBytes; ++i) {
    std::uint8_t hi = p[2 * i], lo = p[2 * i + 1];
    if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return false;
    raw[i] = static_cast<std::uint8_t>(((hi - 'A') << 4) | (lo - 'A'));
  }
  std::size_t n = 15;
  while (n > 0 && raw[n - 1] == ' ') --n;
  name.assign(reinterpret_cast<const char*>(raw), n);
  suffix = raw[15];
  return true;
}

}  // namespace

std::string NetbiosNameOf(std::string_view name) {
  std::string upper = text::UpperAscii(name.substr(0, 15));
  for (unsigned char c : upper) {
    if (ForbiddenNameByte(c)) return {};
  }
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  return upper;
}

std::string NetbiosWireName(std::string_view ansiName, text::OemCodePage oem) {
  // Only up to what the frame holds: a longer name is cut before conversion, as Windows cuts
  // computer names to 15 characters.
  return NetbiosNameOf(text::AnsiToOem(ansiName.substr(0, 15), oem));
}

void AppendEncodedNetbiosName(std::vector<std::uint8_t>& out, std::string_view name,
                              std::uint8_t suffix) {
  std::uint8_t raw[kNameBytes];
  std::memset(raw, ' ', 15);
  std::memcpy(raw, name.data(), name.size() < 15 ? name.size() : 15);
  raw[15] = suffix;
  out.push_back(0x20);
  for (std::uint8_t b : raw) {
    out.push_back(static_cast<std::uint8_t>('A' + (b >> 4)));
    out.push_back(static_cast<std::uint8_t>('A' + (b & 0x0F)));
  }
  out.push_back(0x00);
}

bool DecodeNetbiosName(std::string_view encoded, std::string& name, std::uint8_t& suffix) {
  if (encoded.size() != kEncodedNetbiosName) return false;
  Reader r(reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size());
  return DecodeName(r, name, suffix);
}

std::string SlotOfMailslotPath(std::string_view path) {
  const std::size_t prefix = std::strlen(kMailslotPrefix);
  if (path.size() <= prefix ||
      !text::EqualsIgnoreAsciiCase(path.substr(0, prefix), kMailslotPrefix))
    return {};
  return std::string(path.substr(prefix));
}

std::vector<std::uint8_t> BuildMailslotFrame(const MailslotFrame& f) {
  if (!BuildableName(f.sourceName) || !BuildableName(f.destinationName)) return {};
  if (SlotOfMailslotPath(f.mailslotPath).empty()) return {};
  if (f.mailslotPath.find('\0') != std::string::npos) return {};
  const std::size_t pathBytes = f.mailslotPath.size() + 1;
  const std::size_t smbBytes = kSmbMailslotFixedPart + pathBytes + f.payload.size();
  const std::size_t total = kNetbiosDatagramHeader + 2 * kEncodedNetbiosName + smbBytes;
  if (total > kLargestUdpPayload) return {};

  std::vector<std::uint8_t> out;
  out.reserve(total);
  out.push_back(f.messageType);
  out.push_back(f.flags);
  PutBe16(out, f.datagramId);
  PutBe32(out, f.sourceIp);
  PutBe16(out, f.sourcePort);
  PutBe16(out, static_cast<std::uint16_t>(total - kNetbiosDatagramHeader));
  PutBe16(out, 0);  // packet offset: never fragmented
  AppendEncodedNetbiosName(out, f.sourceName, f.sourceSuffix);
  AppendEncodedNetbiosName(out, f.destinationName, f.destinationSuffix);

  const std::uint8_t smbMagic[4] = {0xFF, 'S', 'M', 'B'};
  out.insert(out.end(), smbMagic, smbMagic + 4);
  out.push_back(kSmbTransaction);
  out.insert(out.end(), 27, 0);
  out.push_back(kTransactionWordCount);
  const auto n = static_cast<std::uint16_t>(f.payload.size());
  PutLe16(out, 0);   // total parameter count
  PutLe16(out, n);   // total data count
  PutLe16(out, 0);   // max parameter count
  PutLe16(out, 0);   // max data count
  out.push_back(0);  // max setup count
  out.push_back(0);
  PutLe16(out, 0);  // flags
  PutLe32(out, f.timeout);
  PutLe16(out, 0);  // reserved
  PutLe16(out, 0);  // parameter count
  PutLe16(out, 0);  // parameter offset
  PutLe16(out, n);  // data count
  PutLe16(out, static_cast<std::uint16_t>(kSmbMailslotFixedPart + pathBytes));
  out.push_back(kMailslotSetupCount);
  out.push_back(0);
  PutLe16(out, kMailslotWriteOpcode);
  PutLe16(out, f.priority);
  PutLe16(out, f.mailslotClass);
  PutLe16(out, static_cast<std::uint16_t>(pathBytes + f.payload.size()));
  out.insert(out.end(), f.mailslotPath.begin(), f.mailslotPath.end());
  out.push_back(0);
  out.insert(out.end(), f.payload.begin(), f.payload.end());
  return out;
}

std::optional<MailslotFrame> ParseMailslotFrame(const std::uint8_t* data, std::size_t len) {
  if (data == nullptr) return std::nullopt;
  Reader r(data, len);
  MailslotFrame f;
  f.messageType = r.U8();
  if (f.messageType != kDatagramDirectUnique && f.messageType != kDatagramDirectGroup &&
      f.messageType != kDatagramBroadcast)
    return std::nullopt;
  f.flags = r.U8();
  if ((f.flags & 0x01) != 0) return std::nullopt;  // more fragments follow: never sent whole
  f.datagramId = r.Be16();
  f.sourceIp = r.Be32();
  f.sourcePort = r.Be16();
  const std::uint16_t dgmLength = r.Be16();
  const std::uint16_t packetOffset = r.Be16();
  if (!r.ok() || packetOffset != 0 || dgmLength != r.remaining()) return std::nullopt;
  if (!DecodeName(r, f.sourceName, f.sourceSuffix)) return std::nullopt;
  if (!DecodeName(r, f.destinationName, f.destinationSuffix)) return std::nullopt;

  // The SMB part: offsets inside it count from its first byte.
  const std::size_t smbStart = r.position();
  const std::size_t smbLen = r.remaining();
  const std::uint8_t* magic = r.Take(4);
  if (!magic || std::memcmp(magic, "\xFFSMB", 4) != 0) return std::nullopt;
  if (r.U8() != kSmbTransaction) return std::nullopt;
  r.Take(27);  // status, flags, PID, TID, UID, MID: no meaning for a mailslot write
  if (r.U8() != kTransactionWordCount) return std::nullopt;
  const std::uint16_t totalParams = r.Le16();
  const std::uint16_t totalData = r.Le16();
  r.Le16();  // max parameter count
  r.Le16();  // max data count
  r.U8();    // max setup count
  r.U8();
  r.Le16();  // flags
  f.timeout = r.Le32();
  r.Le16();
  const std::uint16_t paramCount = r.Le16();
  r.Le16();  // parameter offset, meaningless without parameters
  const std::uint16_t dataCount = r.Le16();
  const std::uint16_t dataOffset = r.Le16();
  const std::uint8_t setupCount = r.U8();
  r.U8();
  const std::uint16_t opcode = r.Le16();
  f.priority = r.Le16();
  f.mailslotClass = r.Le16();
  const std::uint16_t byteCount = r.Le16();
  if (!r.ok() || r.position() - smbStart != kSmbMailslotFixedPart) return std::nullopt;
  if (totalParams != 0 || paramCount != 0 || setupCount != kMailslotSetupCount ||
      opcode != kMailslotWriteOpcode || totalData != dataCount)
    return std::nullopt;
  if (byteCount != smbLen - kSmbMailslotFixedPart) return std::nullopt;

  // The bytes: the zero-terminated mailslot path, then exactly the data.
  const std::uint8_t* bytes = r.Take(byteCount);
  if (!bytes) return std::nullopt;
  const void* zero = std::memchr(bytes, 0, byteCount);
  if (zero == nullptr) return std::nullopt;
  const std::size_t pathLen = static_cast<const std::uint8_t*>(zero) - bytes;
  if (dataOffset != kSmbMailslotFixedPart + pathLen + 1) return std::nullopt;
  if (static_cast<std::size_t>(dataCount) != byteCount - pathLen - 1) return std::nullopt;
  f.mailslotPath.assign(reinterpret_cast<const char*>(bytes), pathLen);
  if (SlotOfMailslotPath(f.mailslotPath).empty()) return std::nullopt;
  f.payload.assign(reinterpret_cast<const char*>(bytes) + pathLen + 1, dataCount);
  return f;
}

}  // namespace pelmora
