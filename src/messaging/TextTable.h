#pragma once
// The localised texts of the interface: the 53 rows of the old program and the rows added since,
// each in Spanish, German and English, stored as Windows-1252 bytes. Rows are numbered from 1; the
// language index is 0 Spanish, 1 German, 2 English. An "&" marks the keyboard accelerator of a
// caption.

#include <string>

namespace pelmora {

inline constexpr int kTextRowCount = 62;
inline constexpr int kLanguageCount = 3;

inline constexpr int kLanguageSpanish = 0;
inline constexpr int kLanguageGerman = 1;
inline constexpr int kLanguageEnglish = 2;

// The rows by name. Code outside the table refers to a row only through these.
inline constexpr int kRowLanguageName = 1;
inline constexpr int kRowAlreadyRunning = 2;
inline constexpr int kRowOpciones = 3;
inline constexpr int kRowBorrarTodo = 4;
inline constexpr int kRowDestino = 5;
inline constexpr int kRowGrupos = 6;
inline constexpr int kRowEscribirMensaje = 7;
inline constexpr int kRowCerrar = 8;
inline constexpr int kRowMinimizar = 9;
inline constexpr int kRowHintOpciones = 10;
inline constexpr int kRowHintBorrar = 11;
inline constexpr int kRowHintReceptor = 12;
inline constexpr int kRowHintNombres = 13;
inline constexpr int kRowHintGrupos = 14;
inline constexpr int kRowHintTexto = 15;
inline constexpr int kRowHintPanes = 16;
inline constexpr int kRowOrigen = 17;
inline constexpr int kRowDestinoStatus = 18;
inline constexpr int kRowMensajeNuevo = 19;
inline constexpr int kRowMensajesNuevos = 20;
inline constexpr int kRowJoin = 21;
inline constexpr int kRowNinguno = 22;
inline constexpr int kRowOptionsCaption = 23;
inline constexpr int kRowIdioma = 24;
inline constexpr int kRowTeclaAcceso = 25;
inline constexpr int kRowPrevisualizacion = 26;
inline constexpr int kRowBeep = 27;
inline constexpr int kRowRestaurar = 28;
inline constexpr int kRowCambioDestino = 29;
inline constexpr int kRowRespuestaMensaje = 30;
inline constexpr int kRowVarios = 31;
inline constexpr int kRowCargarGrupoTrabajo = 32;
inline constexpr int kRowTecleoDestino = 33;
inline constexpr int kRowGrabarLog = 34;
inline constexpr int kRowGeneral = 35;
inline constexpr int kRowRecuperarPerdidos = 36;
inline constexpr int kRowNombres = 37;
inline constexpr int kRowGruposPage = 38;
inline constexpr int kRowNuevoNombre = 39;
inline constexpr int kRowBorrarNombre = 40;
inline constexpr int kRowBorrarTodos = 41;
inline constexpr int kRowPing = 42;
inline constexpr int kRowNuevoGrupo = 43;
inline constexpr int kRowBorrarGrupo = 44;
inline constexpr int kRowColores = 45;
inline constexpr int kRowFondo = 46;
inline constexpr int kRowHora = 47;
inline constexpr int kRowCabeceras = 48;
inline constexpr int kRowMensajesEnviados = 49;
inline constexpr int kRowMensajesRecibidos = 50;
inline constexpr int kRowMensajesSeguros = 51;
inline constexpr int kRowMensajesSistema = 52;
inline constexpr int kRowPredeterminados = 53;

// The text of row 1..kTextRowCount in language 0..2. A row or language outside those ranges gives
// an empty string. The reference stays valid for the whole run.
const std::string& LocalText(int row, int languageIndex);

// Rows added after the first 53: the General page's check box for desktop notifications, and the
// notification's action that opens the window.
inline constexpr int kRowDesktopNotifications = 54;
inline constexpr int kRowNotificationOpen = 55;

// What became of a message sent to names ("%1" the target, "%2" a count): for the sent entry's
// tool tip, the status bar and the screen reader.
inline constexpr int kRowDeliveryShown = 56;
inline constexpr int kRowDeliverySecure = 57;
inline constexpr int kRowDeliveryNoAnswer = 58;
inline constexpr int kRowDeliveryLateNotShown = 59;
inline constexpr int kRowDeliveryWaiting = 60;
inline constexpr int kRowDeliveryCount = 61;
inline constexpr int kRowDeliveryMissing = 62;

}  // namespace pelmora
