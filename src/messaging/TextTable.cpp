#include "messaging/TextTable.h"

#include <array>

namespace pelmora {

namespace {

// Row n of the interface is kRows[n - 1]; columns Spanish, German, English. The accented letters
// are written as their Windows-1252 bytes so that the table holds exactly those bytes whatever
// the encoding of this source file is taken to be.
// clang-format off
const char* const kRows[kTextRowCount][kLanguageCount] = {
    {"Espa\xF1ol", "Deutsch", "English"},  // 1
    {"Pelmora ya est\xE1 ejecut\xE1ndose", "Pelmora l\xE4uft bereits", "Pelmora is already running"},  // 2
    {"&Opciones", "&Optionen", "&Options"},  // 3
    {"&Borrar todo", "Alles &l\xF6schen", "&Clear All"},  // 4
    {"&Destino", "&Empf\xE4nger", "&Receiver"},  // 5
    {"&Grupos", "&Gruppen", "&Groups"},  // 6
    {"&Escribir mensaje", "&Neue Nachricht", "&New message"},  // 7
    {"&Cerrar", "&Schliessen", "&Close"},  // 8
    {"&Minimizar", "&Verkleinern", "&Minimize"},  // 9
    {"Ventana de opciones", "Optionsfenster", "Options window"},  // 10
    {"Por si viene el jefe", "Falls der Chef kommt", "If the boss is coming"},  // 11
    {"Escribir nuevo destino", "Neuen Empf\xE4nger eintragen", "Type in new target name"},  // 12
    {"Seleccionar nuevo destino", "Neuen Empf\xE4nger ausw\xE4hlen", "Select new target name"},  // 13
    {"Direccionar usuarios o grupos", "Einzelpersonen oder Gruppen ansprechen", "Address users or groups"},  // 14
    {"Escribir nuevo mensaje", "Neue Nachricht eingeben", "Write a new message"},  // 15
    {"Mensajes", "Nachricht", "Messages"},  // 16
    {"Origen: ", "Absender:", "Source: "},  // 17
    {"Destino: ", "Empf\xE4nger:", "Target name: "},  // 18
    {" mensaje nuevo   ", " neue Nachricht   ", " new message   "},  // 19
    {" mensajes nuevos   ", " neue Nachrichten   ", " new messages   "},  // 20
    {" a ", " an ", " to "},  // 21
    {"Ninguno", "Keine", "None"},  // 22
    {"Opciones", "Optionen", "Options"},  // 23
    {"Idioma:", "Sprache: ", "Language:"},  // 24
    {"&Tecla de acceso r\xE1pido", "&Tastenkombination", "Shor&tcut key"},  // 25
    {"Previsualizaci\xF3n", "Vorschau", "Preview"},  // 26
    {"Beep", "Beep", "Beep"},  // 27
    {"&Restaurar", "&Wiederherstellen", "&Restore"},  // 28
    {"&Cambio autom\xE1tico de destinatario", "&Empf\xE4ngernamen automatisch \xE4ndern", "&Automatic target name changing"},  // 29
    {"&En respuesta a un nuevo mensaje", "Beim Empfang einer neuen &Nachricht", "On n&ew message arrival"},  // 30
    {"Varios", "Verschiedenes", "Miscelaneous"},  // 31
    {"Cargar el &grupo de trabajo al iniciar", "Arbeits&gruppe beim Start laden", "Load work&group on startup"},  // 32
    {"Tecleo obligatorio de &destino", "Eingabe des Em&pf\xE4ngernames ben\xF6tigt", "&Target name typing mandatory"},  // 33
    {"Grabar fichero &log", "&Log sichern", "Save &log file"},  // 34
    {"General", "Allgemeines", "General"},  // 35
    {"Recuperar mensajes perdidos", "Wiederherstellen verlorener Mitteilungen", "Recover lost messages"},  // 36
    {"Nombres", "Namen", "Names"},  // 37
    {"Grupos", "Gruppen", "Groups"},  // 38
    {"&Nuevo nombre", "&Neuer Name", "&New name"},  // 39
    {"&Borrar nombre", "Namen &loeschen", "&Delete name"},  // 40
    {"Borrar &todos", "Alle&s weg", "Dele&te all"},  // 41
    {"&Ping", "&Ping", "&Ping"},  // 42
    {"&Nuevo grupo", "&Neue Gruppe", "&New group"},  // 43
    {"&Borrar grupo", "Gruppe &l\xF6schen", "&Delete group"},  // 44
    {"Colores", "Farben", "Colors"},  // 45
    {"Fondo", "Hintergrund", "Background"},  // 46
    {"Hora", "Uhrzeit", "Time"},  // 47
    {"Cabeceras", "Adresszeilen", "Headings"},  // 48
    {"Mensajes enviados", "Abgesendete Nachrichten", "Sent messages"},  // 49
    {"Mensajes recibidos", "Empfangene Nachrichten", "Received messages"},  // 50
    {"Mensajes seguros", "Sichere Nachrichten", "Secure messages"},  // 51
    {"Mensajes del sistema", "Systemnachrichten", "System messages"},  // 52
    {"Prede&terminados", "Voreins&tellungen", "Defaul&t"},  // 53
    {"Avisos en el escritorio", "Desktop-Benachrichtigungen", "Desktop notifications"},  // 54
    {"Abrir", "\xD6" "ffnen", "Open"},  // 55
    {"mostrado por Pelmora en %1", "von Pelmora auf %1 angezeigt", "shown by Pelmora on %1"},  // 56
    {"recogido por Pelmora en %1 por el buz\xF3n seguro", "von Pelmora auf %1 \xFC" "ber den sicheren Kanal angenommen", "taken by Pelmora on %1 on the secure slot"},  // 57
    {"sin respuesta de %1: enviado a su buz\xF3n de mensajer\xED" "a", "keine Antwort von %1: an seinen Nachrichtendienst gesendet", "no answer from %1: sent to its messenger slot"},  // 58
    {"%1 respondi\xF3 tarde: enviado a su buz\xF3n de mensajer\xED" "a, no a Pelmora", "%1 hat sp\xE4t geantwortet: an den Nachrichtendienst gesendet, nicht an Pelmora", "%1 answered late: sent to its messenger slot, not to Pelmora"},  // 59
    {"%1: esperando respuesta", "%1: wartet auf Antwort", "%1: waiting for an answer"},  // 60
    {"%1 de %2 respondieron", "%1 von %2 haben geantwortet", "%1 of %2 answered"},  // 61
    {"sin respuesta: %1", "keine Antwort: %1", "no answer: %1"},  // 62
};
// clang-format on

}  // namespace

const std::string& LocalText(int row, int languageIndex) {
  // Built once, on first use; static initialisation is thread-safe.
  static const auto table = [] {
    std::array<std::array<std::string, kLanguageCount>, kTextRowCount> t;
    for (int r = 0; r < kTextRowCount; ++r)
      for (int l = 0; l < kLanguageCount; ++l) t[r][l] = kRows[r][l];
    return t;
  }();
  static const std::string empty;
  if (row < 1 || row > kTextRowCount || languageIndex < 0 || languageIndex >= kLanguageCount)
    return empty;
  return table[row - 1][languageIndex];
}

}  // namespace pelmora
