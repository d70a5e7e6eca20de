#include "model/NameList.h"

#include <algorithm>
#include <cwchar>

namespace pelmora {

namespace {

// Windows-1252 bytes 0x80..0x9F as Unicode; the five unassigned bytes stay as the C1 control of
// the same value, as Windows' own conversion does. Every other byte is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Lower case of every letter Windows-1252 has. Done here rather than with towlower so that the
// answer does not depend on LC_CTYPE: under the C locale towlower knows only a-z.
wchar_t FoldedWide(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return static_cast<wchar_t>(b + 0x20);
  if (b >= 0x80 && b <= 0x9F) {
    switch (kCp1252High[b - 0x80]) {
      case 0x0160:
        return 0x0161;  // S caron
      case 0x0152:
        return 0x0153;  // OE
      case 0x017D:
        return 0x017E;  // Z caron
      case 0x0178:
        return 0x00FF;  // Y diaeresis
      default:
        return static_cast<wchar_t>(kCp1252High[b - 0x80]);
    }
  }
  // A-grave .. THORN, except the multiplication sign.
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<wchar_t>(b + 0x20);
  return static_cast<wchar_t>(b);
}

std::wstring Folded(std::string_view s) {
  std::wstring w;
  w.reserve(s.size());
  for (char c : s) w += FoldedWide(static_cast<unsigned char>(c));
  return w;
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  const std::wstring fa = Folded(a);
  const std::wstring fb = Folded(b);
  // wcscoll stops at a zero character and a locale may tie texts that differ; the plain
  // comparison of the folded texts breaks such ties, so only names equal ignoring case tie.
  const int c = std::wcscoll(fa.c_str(), fb.c_str());
  if (c != 0) return c < 0 ? -1 : 1;
  const int d = fa.compare(fb);
  return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldedWide(static_cast<unsigned char>(a[i])) !=
        FoldedWide(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

TNameList::TNameList(std::initializer_list<std::string_view> names) {
  for (std::string_view n : names) Add(n);
}

int TNameList::Add(std::string_view name) {
  // Looked up by equality rather than by the sort order, so a held name is found even if the
  // collation changed since it was added.
  if (const int held = IndexOf(name); held >= 0) return held;
  const auto pos = std::lower_bound(
      items_.begin(), items_.end(), name,
      [](const std::string& item, std::string_view n) { return CompareNames(item, n) < 0; });
  const auto at = items_.insert(pos, std::string(name));
  return static_cast<int>(at - items_.begin());
}

int TNameList::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (SameName(items_[i], name)) return static_cast<int>(i);
  return -1;
}

void TNameList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

bool TNameList::Remove(std::string_view name) {
  const int i = IndexOf(name);
  if (i < 0) return false;
  Delete(i);
  return true;
}

const std::string& TNameList::Item(int index) const {
  static const std::string empty;
  if (index < 0 || index >= Count()) return empty;
  return items_[static_cast<std::size_t>(index)];
}

}  // namespace pelmora
