// What every settings store promises through the SettingsStore interface, run against each
// store that keeps settings between runs: the settings file everywhere, the registry on Windows.
// A "reopened" store is a new object on the same file or key, as at the next start.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/SettingsStore.h"
#ifdef _WIN32
#include "model/windows/RegistrySettingsStore.h"
#endif

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

std::string UniqueSuffix() {
  static std::mt19937_64 engine{std::random_device{}()};
  return std::to_string(engine());
}

struct FileStoreKind {
  static constexpr bool kKeepsWriteOrder = true;
  FileStoreKind() : dir(fs::temp_directory_path() / ("pelmora-contract-" + UniqueSuffix())) {
    fs::create_directories(dir);
  }
  ~FileStoreKind() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::unique_ptr<SettingsStore> Open() const {
    return std::make_unique<FileSettingsStore>((dir / "pelmora.ini").string());
  }
  fs::path dir;
};

#ifdef _WIN32
struct RegistryStoreKind {
  // Windows lists values in the order of writing; Wine lists them sorted by name.
  static constexpr bool kKeepsWriteOrder = false;
  RegistryStoreKind() : path("Software\\Quendal\\PelmoraTest\\" + UniqueSuffix()) {}
  ~RegistryStoreKind() {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
  }
  std::unique_ptr<SettingsStore> Open() const {
    return std::make_unique<RegistrySettingsStore>(path);
  }
  std::string path;
};
#endif

template <typename Kind>
class SettingsStoreContract : public ::testing::Test {
 protected:
  static Keys Sorted(Keys k) {
    std::sort(k.begin(), k.end());
    return k;
  }
  Kind kind_;
};

#ifdef _WIN32
using StoreKinds = ::testing::Types<FileStoreKind, RegistryStoreKind>;
#else
using StoreKinds = ::testing::Types<FileStoreKind>;
#endif
TYPED_TEST_SUITE(SettingsStoreContract, StoreKinds);

TYPED_TEST(SettingsStoreContract, NewStoreIsEmptyAndReadsDefaults) {
  auto s = this->kind_.Open();
  EXPECT_EQ(s->ReadString("OPCIONES", "RESTORE", "YES"), "YES");
  EXPECT_TRUE(s->SectionKeys("NOMBRES").empty());
  EXPECT_FALSE(s->SectionExists("GRUPOS"));
  s->EraseSection("GRUPOS");  // nothing there: no effect, no failure
  EXPECT_TRUE(s->Save());
  EXPECT_FALSE(this->kind_.Open()->SectionExists("GRUPOS"));
}

TYPED_TEST(SettingsStoreContract, LooksUpIgnoringCaseAndKeepsTheFirstCase) {
  auto s = this->kind_.Open();
  s->WriteString("NOMBRES", "ZORRO", "N");
  s->WriteString("nombres", "Zorro", "S");  // the same key: value replaced, case kept
  s->WriteString("NOMBRES", "alce", "N");
  ASSERT_TRUE(s->Save());
  auto again = this->kind_.Open();
  EXPECT_EQ(again->ReadString("Nombres", "zorro", "?"), "S");
  EXPECT_TRUE(again->SectionExists("nombres"));
  EXPECT_EQ(this->Sorted(again->SectionKeys("NOMBRES")), (Keys{"ZORRO", "alce"}));
}

TYPED_TEST(SettingsStoreContract, KeysComeInWriteOrderWhereTheStoreKeepsIt) {
  auto s = this->kind_.Open();
  for (const char* name : {"TEJO", "ALCE", "MIRLO", "BREZO"}) s->WriteString("GRUPOS", name, ".");
  ASSERT_TRUE(s->Save());
  const Keys keys = this->kind_.Open()->SectionKeys("GRUPOS");
  if (TypeParam::kKeepsWriteOrder) {
    EXPECT_EQ(keys, (Keys{"TEJO", "ALCE", "MIRLO", "BREZO"}));
  } else {
    EXPECT_EQ(this->Sorted(keys), (Keys{"ALCE", "BREZO", "MIRLO", "TEJO"}));
  }
}

TYPED_TEST(SettingsStoreContract, NamesAndValuesSurviveByteForByte) {
  // Windows-1252 letters, the characters of the file syntax, blanks at either end, an empty
  // value and a line break: the program stores such names and texts as they are.
  const std::string accented =
      "\xD1"
      "and\xFA \x80 \xE7\xE0\xFF";  // "Ñandú € çàÿ"
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"COLOR FONDO", "clBlack"},    {accented, accented}, {"a=b", "[x] = %41 ;c"},
      {" blanks ", "  both ends  "}, {"EMPTY", ""},        {"LINES", "one\r\ntwo"},
  };
  auto s = this->kind_.Open();
  for (const auto& [key, value] : entries) s->WriteString("DestinoRapido0", key, value);
  s->WriteString(accented, "K", "v");
  ASSERT_TRUE(s->Save());
  auto again = this->kind_.Open();
  for (const auto& [key, value] : entries)
    EXPECT_EQ(again->ReadString("DestinoRapido0", key, "<absent>"), value) << key;
  EXPECT_EQ(again->ReadString(accented, "K", "<absent>"), "v");
  EXPECT_EQ(again->SectionKeys("DestinoRapido0").size(), entries.size());
}

TYPED_TEST(SettingsStoreContract, ErasingASectionTakesItsKeysAndLeavesTheOthers) {
  auto s = this->kind_.Open();
  s->WriteString("GRUPOS", "OFICINA", ".");
  s->WriteString("OFICINA", "TEJO", ".");
  s->WriteString("OFICINA", "MIRLO", ".");
  s->WriteString("OPCIONES", "BEEP", "NO");
  s->EraseSection("oficina");
  EXPECT_FALSE(s->SectionExists("OFICINA"));
  EXPECT_TRUE(s->SectionKeys("OFICINA").empty());
  ASSERT_TRUE(s->Save());
  auto again = this->kind_.Open();
  EXPECT_FALSE(again->SectionExists("OFICINA"));
  EXPECT_EQ(again->ReadString("OFICINA", "TEJO", "gone"), "gone");
  EXPECT_EQ(again->ReadString("OPCIONES", "BEEP", "YES"), "NO");
  EXPECT_EQ(again->SectionKeys("GRUPOS"), (Keys{"OFICINA"}));
  // A section written again after its erasure starts empty.
  again->WriteString("OFICINA", "SAUCE", ".");
  EXPECT_EQ(again->SectionKeys("OFICINA"), (Keys{"SAUCE"}));
}

}  // namespace
}  // namespace pelmora
