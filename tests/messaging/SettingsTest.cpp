#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TempDirTest.h"
#include "messaging/Settings.h"
#include "model/IniDocument.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

std::vector<std::string> Names(const TNameList& list) { return list.Items(); }

TEST(SettingsTest, EmptyStoreGivesEveryDefault) {
  MemorySettingsStore store;
  Variables v;
  WindowSettings w;
  LoadSettings(store, v, w);
  EXPECT_TRUE(v.OptRestore);
  EXPECT_TRUE(v.OptBeep);
  EXPECT_TRUE(v.OptAutoDestination);
  EXPECT_FALSE(v.OptPreview);
  EXPECT_FALSE(v.OptHardway);
  EXPECT_FALSE(v.OptLoadWorkgroup);
  EXPECT_FALSE(v.OptRecoverLost);
  EXPECT_FALSE(v.OptMaster);
  EXPECT_TRUE(v.OptNotify);
  EXPECT_EQ(v.LanguageIndex, 0);
  EXPECT_EQ(w, WindowSettings{});
  EXPECT_EQ(w.Background, clBlack);
  EXPECT_EQ(w.Palette, (std::array<TColor, 6>{clSilver, clAqua, clLime, clYellow, clWhite, clRed}));
  EXPECT_EQ(w.HotKeyLetter, 'N');
  EXPECT_TRUE(v.NameList.Empty());
  EXPECT_EQ(Names(v.FlaggedNames), (Keys{"BREZO", "MIRLO", "SAUCE", "TEJO"}));
  EXPECT_EQ(v.GroupList.Count(), 0);
  for (const QuickDestination& q : v.QuickDestinations) EXPECT_EQ(q.Kind, qdNone);
}

TEST(SettingsTest, OptionRulesOfTheOldProgram) {
  MemorySettingsStore store;
  Variables v;
  WindowSettings w;
  store.WriteString("OPCIONES", "PREVIEW", "YES");
  store.WriteString("OPCIONES", "RESTORE", "NO");
  store.WriteString("OPCIONES", "HARDWAY", "yes");
  store.WriteString("OPCIONES", "CAMBIO_DESTIN", "YES");
  store.WriteString("OPCIONES", "BEEP", "SI");
  store.WriteString("OPCIONES", "RECUPERAR_MENSAJES", "Yes");
  LoadSettings(store, v, w);
  EXPECT_FALSE(v.OptPreview);  // preview only with restore
  EXPECT_TRUE(v.OptHardway);
  EXPECT_FALSE(v.OptAutoDestination);  // forced off by the typed-destination layout
  EXPECT_FALSE(v.OptBeep);
  EXPECT_TRUE(v.OptRecoverLost);
}

TEST(SettingsTest, LanguageIncludingGermanSurvivesASaveAndALoad) {
  for (std::uint8_t lang : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}}) {
    MemorySettingsStore store;
    Variables v;
    WindowSettings w;
    v.LanguageIndex = lang;
    ASSERT_TRUE(SaveSettings(store, v, w));
    Variables back;
    LoadSettings(store, back, w);
    EXPECT_EQ(back.LanguageIndex, lang);
  }
  MemorySettingsStore store;
  Variables v;
  WindowSettings w;
  v.LanguageIndex = 1;
  SaveSettings(store, v, w);
  EXPECT_EQ(store.ReadString("OPCIONES", "IDIOMA", ""), "DEUTSCH");

  // Upper-casing touches a-z only: "english" is English, "espa\xF1ol" (lower-case n tilde) is
  // not Spanish and keeps the current language.
  store.WriteString("OPCIONES", "IDIOMA", "english");
  LoadSettings(store, v, w);
  EXPECT_EQ(v.LanguageIndex, 2);
  store.WriteString("OPCIONES", "IDIOMA", "espa\xF1ol");
  LoadSettings(store, v, w);
  EXPECT_EQ(v.LanguageIndex, 2);
  store.WriteString("OPCIONES", "IDIOMA", "ESPA\xD1OL");
  LoadSettings(store, v, w);
  EXPECT_EQ(v.LanguageIndex, 0);
}

TEST(SettingsTest, UnusableColourOrHotKeyKeepsItsDefaultInsteadOfStopping) {
  MemorySettingsStore store;
  store.WriteString("OPCIONES", "COLOR FONDO", "clPink");
  store.WriteString("OPCIONES", "COLOR ENVIO", "$zz");
  store.WriteString("OPCIONES", "COLOR RECEPCION", "clnavy");
  store.WriteString("OPCIONES", "COLOR SISTEMA", "$00123456");
  store.WriteString("OPCIONES", "HOTKEY", "");
  Variables v;
  WindowSettings w;
  w.HotKeyLetter = 'Q';  // the key in effect before this load
  w.Background = clWhite;
  LoadSettings(store, v, w);
  EXPECT_EQ(w.Background, clBlack);  // the entry's default, not what was there
  EXPECT_EQ(w.Palette[kPaletteSent], clLime);
  EXPECT_EQ(w.Palette[kPaletteReceived], clNavy);
  EXPECT_EQ(w.Palette[kPaletteSystem], 0x123456u);
  EXPECT_EQ(w.HotKeyLetter, 'Q');
  store.WriteString("OPCIONES", "HOTKEY", "x");
  LoadSettings(store, v, w);
  EXPECT_EQ(w.HotKeyLetter, 'X');
}

TEST(SettingsTest, SaveWritesTheKeysOfTheOldProgramInItsOrder) {
  MemorySettingsStore store;
  Variables v;
  WindowSettings w;
  w.Palette[kPaletteSecure] = 0xABCDEF;
  v.OptMaster = false;
  v.QuickDestinations[3] = {"CONTA", qdGroup};
  ASSERT_TRUE(SaveSettings(store, v, w));
  EXPECT_EQ(store.SectionKeys("OPCIONES"),
            (Keys{"RESTORE", "PREVIEW", "BEEP", "CAMBIO_DESTIN", "CARGAR_GRUPO_TRABAJO", "HARDWAY",
                  "RECUPERAR_MENSAJES", "COLOR FONDO", "COLOR HORA", "COLOR CABS", "COLOR ENVIO",
                  "COLOR RECEPCION", "COLOR RECEPCION SEGURA", "COLOR SISTEMA", "IDIOMA", "HOTKEY",
                  "NOTIFICAR"}));
  EXPECT_EQ(store.ReadString("OPCIONES", "COLOR HORA", ""), "clSilver");
  EXPECT_EQ(store.ReadString("OPCIONES", "COLOR RECEPCION SEGURA", ""), "$00ABCDEF");
  EXPECT_EQ(store.ReadString("OPCIONES", "IDIOMA", ""), "ESPA\xD1OL");
  EXPECT_EQ(store.Sections(), (Keys{"OPCIONES", "DestinoRapido3"}));
  EXPECT_EQ(store.SectionKeys("DestinoRapido3"), (Keys{"TIPO_DESTINO", "NOMBRE"}));
  EXPECT_EQ(store.ReadString("DestinoRapido3", "TIPO_DESTINO", ""), "GRUPO");

  // MASTER is written only when on; an "off" set by hand keeps its text, and so does any other
  // value of OPCIONES that a save does not write.
  store.WriteString("OPCIONES", "MASTER", "no, thanks");
  store.WriteString("OPCIONES", "OTHER", "kept");
  SaveSettings(store, v, w);
  EXPECT_EQ(store.ReadString("OPCIONES", "MASTER", ""), "no, thanks");
  EXPECT_EQ(store.ReadString("OPCIONES", "OTHER", ""), "kept");
  v.OptMaster = true;
  SaveSettings(store, v, w);
  EXPECT_EQ(store.ReadString("OPCIONES", "MASTER", ""), "YES");
}

TEST(SettingsTest, SaveAndLoadGiveBackTheWholeAddressBook) {
  MemorySettingsStore store;
  store.WriteString("NOMBRES", "ZORRO", "S");
  store.WriteString("NOMBRES", "ALCE", "N");
  store.WriteString("NOMBRES", "TEJO", "N");
  Variables v;
  WindowSettings w;
  LoadSettings(store, v, w);
  EXPECT_EQ(Names(v.NameList), (Keys{"ALCE", "TEJO", "ZORRO"}));
  // TEJO is in NameList with "N", so it is not flagged; the other defaults are.
  EXPECT_EQ(Names(v.FlaggedNames), (Keys{"BREZO", "MIRLO", "SAUCE", "ZORRO"}));

  v.NameList.Add("NUEVO");  // added during the run
  v.GroupList.SetGroup("CONTA BILIDAD", std::vector<std::string>{"ZORRO", "ALCE"});
  v.GroupList.SetGroup("Amigos", std::vector<std::string>{"TEJO"});
  v.QuickDestinations[0] = {"ALCE", qdName};
  v.QuickDestinations[9] = {"Amigos", qdGroup};
  v.OptBeep = false;
  v.OptLoadWorkgroup = true;
  v.OptNotify = false;
  w.Background = clNavy;
  w.HotKeyLetter = 'K';
  ASSERT_TRUE(SaveSettings(store, v, w));
  EXPECT_EQ(store.ReadString("NOMBRES", "ZORRO", ""), "S");
  EXPECT_EQ(store.ReadString("NOMBRES", "NUEVO", ""), "N");
  EXPECT_EQ(store.SectionKeys("CONTA BILIDAD"), (Keys{"ALCE", "ZORRO"}));

  Variables back;
  WindowSettings wb;
  LoadSettings(store, back, wb);
  EXPECT_EQ(Names(back.NameList), Names(v.NameList));
  EXPECT_EQ(Names(back.FlaggedNames), Names(v.FlaggedNames));
  ASSERT_EQ(back.GroupList.Count(), 2);
  EXPECT_EQ(back.GroupList.Item(0).Name(), "CONTA BILIDAD");
  EXPECT_EQ(Names(back.GroupList.Item(0).Members()), (Keys{"ALCE", "ZORRO"}));
  EXPECT_EQ(back.GroupList.Item(1).Name(), "Amigos");
  EXPECT_EQ(back.QuickDestinations[0].Name, "ALCE");
  EXPECT_EQ(back.QuickDestinations[9].Name, "AMIGOS");  // upper-cased when read
  EXPECT_EQ(back.QuickDestinations[9].Kind, qdGroup);
  EXPECT_FALSE(back.OptBeep);
  EXPECT_TRUE(back.OptLoadWorkgroup);
  EXPECT_FALSE(back.OptNotify);
  EXPECT_EQ(store.ReadString("OPCIONES", "NOTIFICAR", ""), "NO");
  EXPECT_EQ(wb, w);

  // A group deleted in memory leaves the store with its section at the next save.
  v.GroupList.Delete("CONTA BILIDAD");
  v.QuickDestinations[0] = {};
  SaveSettings(store, v, w);
  EXPECT_FALSE(store.SectionExists("CONTA BILIDAD"));
  EXPECT_EQ(store.SectionKeys("GRUPOS"), (Keys{"Amigos"}));
  EXPECT_FALSE(store.SectionExists("DestinoRapido0"));
}

TEST(SettingsTest, GroupNamedLikeASectionNeverTakesThatSectionWithIt) {
  EXPECT_TRUE(IsReservedSectionName("opciones"));
  EXPECT_TRUE(IsReservedSectionName("Nombres"));
  EXPECT_TRUE(IsReservedSectionName("GRUPOS"));
  EXPECT_TRUE(IsReservedSectionName("DESTINORAPIDO7"));
  EXPECT_FALSE(IsReservedSectionName("DestinoRapido10"));
  EXPECT_FALSE(IsReservedSectionName("DestinoRapido"));
  EXPECT_FALSE(IsReservedSectionName("OPCIONES2"));

  MemorySettingsStore store;
  store.WriteString("OPCIONES", "BEEP", "NO");
  store.WriteString("NOMBRES", "ALCE", "S");
  store.WriteString("GRUPOS", "opciones", ".");
  store.WriteString("GRUPOS", "Nombres", ".");
  store.WriteString("GRUPOS", "BUENO", ".");
  store.WriteString("BUENO", "ALCE", ".");
  Variables v;
  WindowSettings w;
  ::testing::internal::CaptureStderr();
  LoadSettings(store, v, w);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("\"opciones\" skipped"), std::string::npos);
  ASSERT_EQ(v.GroupList.Count(), 1);
  EXPECT_EQ(v.GroupList.Item(0).Name(), "BUENO");

  // The save erases the stored groups' sections, but not the options or the names.
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(SaveSettings(store, v, w));
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(store.ReadString("OPCIONES", "BEEP", ""), "NO");
  EXPECT_EQ(store.ReadString("NOMBRES", "ALCE", ""), "S");
  EXPECT_EQ(store.SectionKeys("GRUPOS"), (Keys{"BUENO"}));

  // Nor can one made in memory (the dialog refuses it; this is the last guard).
  v.GroupList.SetGroup("DestinoRapido1", std::vector<std::string>{"X"});
  v.QuickDestinations[1] = {"ALCE", qdName};
  ::testing::internal::CaptureStderr();
  SaveSettings(store, v, w);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(store.SectionKeys("DestinoRapido1"), (Keys{"TIPO_DESTINO", "NOMBRE"}));
  EXPECT_EQ(store.SectionKeys("GRUPOS"), (Keys{"BUENO"}));
}

// A file written by hand or by an old program may hold what the program itself would never
// let a user make: a name megabytes long.
TEST(SettingsTest, WhatTheProgramCouldNotHaveMadeIsSkippedOrMerged) {
  const std::string tooLong(kMaxStoredNameLength + 1, 'X');
  const std::string longest(kMaxStoredNameLength, 'Y');
  MemorySettingsStore store;
  store.WriteString("NOMBRES", tooLong, "S");
  store.WriteString("NOMBRES", std::string(10 << 20, 'Z'), "N");
  store.WriteString("NOMBRES", longest, "N");
  store.WriteString("GRUPOS", "Amigos", ".");
  store.WriteString("GRUPOS", tooLong, ".");
  store.WriteString("Amigos", "TEJO", ".");
  store.WriteString("Amigos", tooLong, ".");
  store.WriteString("Amigos", "MIRLO", ".");
  store.WriteString("DestinoRapido4", "TIPO_DESTINO", "NOMBRE");
  store.WriteString("DestinoRapido4", "NOMBRE", tooLong);
  Variables v;
  WindowSettings w;
  ::testing::internal::CaptureStderr();
  LoadSettings(store, v, w);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Names(v.NameList), (Keys{longest}));
  ASSERT_EQ(v.GroupList.Count(), 1);
  EXPECT_EQ(v.GroupList.Item(0).Name(), "Amigos");
  EXPECT_EQ(Names(v.GroupList.Item(0).Members()), (Keys{"MIRLO", "TEJO"}));
  EXPECT_EQ(v.QuickDestinations[4].Kind, qdName);
  EXPECT_EQ(v.QuickDestinations[4].Name, "");
  // One line per section, however many names it held.
  EXPECT_NE(said.find("2 name(s) of the settings section [NOMBRES]"), std::string::npos) << said;
  EXPECT_NE(said.find("[GRUPOS]"), std::string::npos);
  EXPECT_NE(said.find("[Amigos]"), std::string::npos);
  EXPECT_NE(said.find("[DestinoRapido4]"), std::string::npos);
  EXPECT_LT(said.size(), 1000u);

  // A sender too long to store still joins the run's address book, and is never written.
  MemorySettingsStore empty;
  EXPECT_TRUE(AddNewSender(empty, v, tooLong));
  EXPECT_TRUE(v.NameList.Contains(tooLong));
  EXPECT_TRUE(empty.SectionKeys("NOMBRES").empty());
}

// A save writes what changed since the model was loaded or last saved, and erases only what the
// program removed: what else the store holds stays as it is.
TEST(SettingsTest, SaveOfChangesLeavesWhatTheProgramDidNotChange) {
  MemorySettingsStore store;
  Variables v;
  WindowSettings w;
  v.NameList = {"TEJO", "MIRLO"};
  v.GroupList.SetGroup("VIEJO", std::vector<std::string>{"TEJO"});
  v.GroupList.SetGroup("IGUAL", std::vector<std::string>{"MIRLO"});
  v.QuickDestinations[1] = {"TEJO", qdName};
  ASSERT_TRUE(SaveSettings(store, v, w));
  const SettingsModel stored = CaptureSettings(v, w);

  // Someone else's edits to the store meanwhile.
  store.WriteString("OPCIONES", "NOTIFICAR", "NO");
  store.WriteString("OPCIONES", "IDIOMA", "DEUTSCH");
  store.WriteString("OPCIONES", "HOTKEY", "Q");
  store.WriteString("NOMBRES", "A MANO", "S");
  store.WriteString("IGUAL", "A MANO", ".");
  // The program's own changes.
  v.OptBeep = false;
  w.HotKeyLetter = 'K';
  v.NameList.Remove("MIRLO");
  v.GroupList.Delete("VIEJO");
  v.GroupList.SetGroup("NUEVO", std::vector<std::string>{"TEJO"});
  v.QuickDestinations[1] = {};
  WriteSettings(store, CaptureSettings(v, w), &stored);

  EXPECT_EQ(store.ReadString("OPCIONES", "BEEP", ""), "NO");
  EXPECT_EQ(store.ReadString("OPCIONES", "HOTKEY", ""), "K");  // both changed it: the program
  EXPECT_EQ(store.ReadString("OPCIONES", "NOTIFICAR", ""), "NO");
  EXPECT_EQ(store.ReadString("OPCIONES", "IDIOMA", ""), "DEUTSCH");
  EXPECT_EQ(store.SectionKeys("NOMBRES"), (Keys{"TEJO", "A MANO"}));
  EXPECT_EQ(store.SectionKeys("GRUPOS"), (Keys{"IGUAL", "NUEVO"}));
  EXPECT_FALSE(store.SectionExists("VIEJO"));
  EXPECT_EQ(store.SectionKeys("IGUAL"), (Keys{"MIRLO", "A MANO"}));
  EXPECT_FALSE(store.SectionExists("DestinoRapido1"));

  // Nothing changed: nothing written.
  const MemorySettingsStore before = store;
  const SettingsModel now = CaptureSettings(v, w);
  WriteSettings(store, now, &now);
  EXPECT_EQ(store.Document(), before.Document());
}

using SettingsFileTest = testing::TempDirTest;

TEST_F(SettingsFileTest, NewSenderIsStoredAtOnceAndOddNamesSurvive) {
  const std::string path = PathOf("pelmora/pelmora.ini");
  FileSettingsStore store(path);
  Variables v;
  WindowSettings w;
  LoadSettings(store, v, w);
  EXPECT_FALSE(RememberNewSender(store, v, ""));
  EXPECT_FALSE(fs::exists(path));  // an empty sender is never stored
  ASSERT_TRUE(RememberNewSender(store, v, "PC=1 [X] %"));
  EXPECT_FALSE(RememberNewSender(store, v, "pc=1 [x] %"));  // known ignoring case
  ASSERT_TRUE(RememberNewSender(store, v, "ZORRO"));
  EXPECT_NE(ReadRaw(path).find("PC%3D1 %5BX%5D %25=N\n"), std::string::npos);

  FileSettingsStore again(path);
  Variables back;
  LoadSettings(again, back, w);
  EXPECT_EQ(Names(back.NameList), (Keys{"PC=1 [X] %", "ZORRO"}));
}

TEST_F(SettingsFileTest, MigrationDeletesTheOldFileOnlyAfterASuccessfulSave) {
  const std::string legacy = PathOf("pelmora/vespra2.ini");
  fs::create_directories(PathOf("pelmora"));
  const std::string legacyText =
      "[OPCIONES]\r\nRESTORE = NO\r\nIdioma=ENGLISH\r\nCOLOR FONDO=clNavy\r\nhotkey=k\r\n"
      "[NOMBRES]\r\nZorro=S\r\n[GRUPOS]\r\nAmigos=.\r\n[Amigos]\r\nZorro=.\r\n"
      "[destinorapido2]\r\ntipo_destino=nombre\r\nnombre=zorro\r\n";
  std::ofstream(legacy, std::ios::binary) << legacyText;

  // The store cannot be written (its folder is a file): nothing may be lost.
  std::ofstream(PathOf("blocker"), std::ios::binary) << "x";
  {
    FileSettingsStore broken(PathOf("blocker/pelmora.ini"));
    Variables v;
    WindowSettings w;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadStartupSettings(broken, legacy, v, w), MigrationResult::NotSaved);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(v.LanguageIndex, 2);  // the run still has the old settings
    EXPECT_EQ(ReadRaw(legacy), legacyText);
  }

  const std::string path = PathOf("pelmora/pelmora.ini");
  {
    FileSettingsStore store(path);
    Variables v;
    WindowSettings w;
    EXPECT_EQ(LoadStartupSettings(store, legacy, v, w), MigrationResult::Migrated);
    EXPECT_FALSE(fs::exists(legacy));
    EXPECT_FALSE(v.OptRestore);
    EXPECT_EQ(w.HotKeyLetter, 'K');
  }
  // The next start reads the store alone and finds the same settings.
  FileSettingsStore store(path);
  Variables v;
  WindowSettings w;
  EXPECT_EQ(LoadStartupSettings(store, legacy, v, w), MigrationResult::NoLegacyFile);
  EXPECT_FALSE(v.OptRestore);
  EXPECT_EQ(v.LanguageIndex, 2);
  EXPECT_EQ(w.Background, clNavy);
  EXPECT_EQ(Names(v.NameList), (Keys{"Zorro"}));
  EXPECT_TRUE(v.FlaggedNames.Contains("ZORRO"));
  ASSERT_EQ(v.GroupList.Count(), 1);
  EXPECT_EQ(Names(v.GroupList.Item(0).Members()), (Keys{"Zorro"}));
  EXPECT_EQ(v.QuickDestinations[2].Name, "ZORRO");
  EXPECT_EQ(v.QuickDestinations[2].Kind, qdName);
  EXPECT_NE(ReadRaw(path).find("[DestinoRapido2]\nTIPO_DESTINO=NOMBRE\nNOMBRE=ZORRO\n"),
            std::string::npos);
}

}  // namespace
}  // namespace pelmora
