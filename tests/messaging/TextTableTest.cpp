#include <gtest/gtest.h>

#include <string>

#include "messaging/TextTable.h"

namespace pelmora {
namespace {

TEST(TextTableTest, RowsReadBackExactly) {
  // The accented letters are Windows-1252 bytes, written here by value.
  EXPECT_EQ(LocalText(1, 0), "Espa\xF1ol");
  EXPECT_EQ(LocalText(1, 1), "Deutsch");
  EXPECT_EQ(LocalText(1, 2), "English");
  EXPECT_EQ(LocalText(2, 0), "Pelmora ya est\xE1 ejecut\xE1ndose");
  EXPECT_EQ(LocalText(2, 1), "Pelmora l\xE4uft bereits");
  EXPECT_EQ(LocalText(2, 2), "Pelmora is already running");
  // The banner counter texts carry three trailing blanks, the joining word one on each side.
  EXPECT_EQ(LocalText(19, 0), " mensaje nuevo   ");
  EXPECT_EQ(LocalText(19, 1), " neue Nachricht   ");
  EXPECT_EQ(LocalText(19, 2), " new message   ");
  EXPECT_EQ(LocalText(20, 0), " mensajes nuevos   ");
  EXPECT_EQ(LocalText(20, 1), " neue Nachrichten   ");
  EXPECT_EQ(LocalText(20, 2), " new messages   ");
  EXPECT_EQ(LocalText(21, 0), " a ");
  EXPECT_EQ(LocalText(21, 1), " an ");
  EXPECT_EQ(LocalText(21, 2), " to ");
  // The byte itself, not a UTF-8 sequence.
  EXPECT_EQ(LocalText(1, 0).size(), 7u);
  EXPECT_EQ(static_cast<unsigned char>(LocalText(1, 0)[4]), 0xF1);
}

TEST(TextTableTest, SpotChecksAcrossTheTable) {
  EXPECT_EQ(LocalText(17, 0), "Origen: ");
  EXPECT_EQ(LocalText(17, 1), "Absender:");
  EXPECT_EQ(LocalText(18, 1), "Empf\xE4nger:");
  EXPECT_EQ(LocalText(22, 0), "Ninguno");
  EXPECT_EQ(LocalText(24, 1), "Sprache: ");
  EXPECT_EQ(LocalText(29, 1), "&Empf\xE4ngernamen automatisch \xE4ndern");
  EXPECT_EQ(LocalText(33, 1), "Eingabe des Em&pf\xE4ngernames ben\xF6tigt");
  EXPECT_EQ(LocalText(34, 0), "Grabar fichero &log");
  EXPECT_EQ(LocalText(53, 2), "Defaul&t");
  EXPECT_EQ(LocalText(kRowDesktopNotifications, 0), "Avisos en el escritorio");
  EXPECT_EQ(LocalText(kRowNotificationOpen, 1),
            "\xD6"
            "ffnen");
  for (int row = 1; row <= kTextRowCount; ++row)
    for (int lang = 0; lang < kLanguageCount; ++lang)
      EXPECT_FALSE(LocalText(row, lang).empty()) << row << "/" << lang;
}

TEST(TextTableTest, OutOfRangeGivesEmptyText) {
  EXPECT_EQ(LocalText(0, 0), "");
  EXPECT_EQ(LocalText(kTextRowCount + 1, 0), "");
  EXPECT_EQ(LocalText(-1, 1), "");
  EXPECT_EQ(LocalText(1, 3), "");
  EXPECT_EQ(LocalText(1, -1), "");
}

// The names the code uses stand for the rows they say: a name shifted by one row would put the
// wrong caption on a control without any other test noticing.
TEST(TextTableTest, RowNamesPointAtTheirRows) {
  EXPECT_EQ(LocalText(kRowLanguageName, kLanguageEnglish), "English");
  EXPECT_EQ(LocalText(kRowAlreadyRunning, kLanguageEnglish), "Pelmora is already running");
  EXPECT_EQ(LocalText(kRowOpciones, kLanguageSpanish), "&Opciones");
  EXPECT_EQ(LocalText(kRowEscribirMensaje, kLanguageSpanish), "&Escribir mensaje");
  EXPECT_EQ(LocalText(kRowCerrar, kLanguageSpanish), "&Cerrar");
  EXPECT_EQ(LocalText(kRowMinimizar, kLanguageSpanish), "&Minimizar");
  EXPECT_EQ(LocalText(kRowHintPanes, kLanguageSpanish), "Mensajes");
  EXPECT_EQ(LocalText(kRowOrigen, kLanguageSpanish), "Origen: ");
  EXPECT_EQ(LocalText(kRowDestinoStatus, kLanguageSpanish), "Destino: ");
  EXPECT_EQ(LocalText(kRowMensajeNuevo, kLanguageEnglish), " new message   ");
  EXPECT_EQ(LocalText(kRowJoin, kLanguageSpanish), " a ");
  EXPECT_EQ(LocalText(kRowNinguno, kLanguageSpanish), "Ninguno");
  EXPECT_EQ(LocalText(kRowRestaurar, kLanguageSpanish), "&Restaurar");
  EXPECT_EQ(LocalText(kRowGrabarLog, kLanguageEnglish), "Save &log file");
  EXPECT_EQ(LocalText(kRowGruposPage, kLanguageSpanish), "Grupos");
  EXPECT_EQ(LocalText(kRowPing, kLanguageSpanish), "&Ping");
  EXPECT_EQ(LocalText(kRowMensajesSistema, kLanguageEnglish), "System messages");
  EXPECT_EQ(LocalText(kRowPredeterminados, kLanguageSpanish), "Prede&terminados");
  // The rows added after the old program's 53 come last.
  EXPECT_EQ(LocalText(kRowDesktopNotifications, kLanguageEnglish), "Desktop notifications");
  EXPECT_EQ(LocalText(kRowNotificationOpen, kLanguageSpanish), "Abrir");
  // The delivery rows are read through their texts in the delivery tests.
  EXPECT_EQ(LocalText(kRowDeliveryShown, kLanguageEnglish), "shown by Pelmora on %1");
  EXPECT_EQ(kRowPredeterminados, 53);
  EXPECT_EQ(kRowDeliveryMissing, kTextRowCount);
}

}  // namespace
}  // namespace pelmora
