// The conversation view of the main window: three panes kept in step by one scroll bar.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QTimer>
#include <QToolTip>
#include <random>

#include "AppTestSupport.h"
#include "app/ComposeMemo.h"
#include "app/ConversationView.h"
#include "app/StatusPanels.h"
#include "app/TimeText.h"
#include "widgets/Accessibility.h"
#include "widgets/Screenshot.h"
#include "widgets/ScrollRichEdit.h"

using namespace pelmora;
using namespace pelmora::testing;

namespace {

const std::string kLong =
    "Esta tarde no puedo ir a la reunion de las cinco porque tengo que terminar el informe "
    "trimestral";

// Every column of the view holds the same number of lines.
void CheckAligned(TestWindow& w) {
  QCOMPARE(w.ui().SRCab->LineCount(), w.ui().SRChat->LineCount());
  QCOMPARE(w.ui().SRTime->LineCount(), w.ui().SRChat->LineCount());
}

// What a pane puts on the screen, as far as its document decides it: each shown line, each run
// of text with its colour, the caret and the selection.
QString PaneSnapshot(const TScrollRichEdit& pane) {
  QStringList parts;
  int n = 0;
  for (QTextBlock b = pane.document()->begin(); b.isValid(); b = b.next(), ++n) {
    parts << QStringLiteral("[%1 h%2]").arg(n).arg(b.blockFormat().lineHeight());
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      parts << f.text() + QLatin1Char('@') + f.charFormat().foreground().color().name();
    }
  }
  const QTextCursor c = pane.textCursor();
  parts << QStringLiteral("top %1, shown %2, cursor %3/%4, rows %5")
               .arg(pane.TopLine())
               .arg(pane.DisplayedLineCount())
               .arg(c.position())
               .arg(c.anchor())
               .arg(pane.DisplayedRowCount());
  return parts.join(QLatin1Char(' '));
}

QString ViewSnapshot(TestWindow& w) {
  const auto& ui = w.ui();
  return QStringLiteral("bar %1/%2 %3 | time %4 | cab %5 | chat %6")
      .arg(ui.ScrollBar->value())
      .arg(ui.ScrollBar->maximum())
      .arg(ui.ScrollBar->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"))
      .arg(PaneSnapshot(*ui.SRTime), PaneSnapshot(*ui.SRCab), PaneSnapshot(*ui.SRChat));
}

}  // namespace

class ConversationViewTest : public QObject {
  Q_OBJECT

 private slots:
  void firstEntryAndWrappedEntryKeepColumnsAligned() {
    TestWindow w;
    const auto& ui = w.ui();
    QCOMPARE(ui.SRChat->VisibleLines(), 12);  // 193 pixels at 15 pixels a line

    w->AppendLine("TEJO", "MIRLO", "hola", kPaletteSent);
    QCOMPARE(ui.SRChat->LineCount(), 1);
    CheckAligned(w);
    QCOMPARE(ui.SRCab->GetLine(0), std::string("TEJO a MIRLO"));
    QCOMPARE(ui.SRTime->GetLine(0), std::string("10:20:30"));
    QCOMPARE(ui.SRChat->GetLineColorIndex(0), std::uint8_t(kPaletteSent));
    QVERIFY(!ui.ScrollBar->isEnabled());
    QCOMPARE(ui.ScrollBar->value(), 0);

    // A text that wraps into three lines: heading and time are followed by empty fillers.
    w->AppendLine("MIRLO", "TEJO", kLong, kPaletteReceived);
    const int wrapped = ui.SRChat->LineCount() - 1;
    QCOMPARE(wrapped, 3);
    CheckAligned(w);
    QCOMPARE(ui.SRCab->GetLine(1), std::string("MIRLO a TEJO"));
    QCOMPARE(ui.SRCab->GetLine(2), std::string());
    QCOMPARE(ui.SRTime->GetLine(3), std::string());
    QCOMPARE(ui.SRTime->GetLineColorIndex(3), std::uint8_t(kPaletteHeadings));

    // The next entry starts on the same line in all three columns.
    w->AppendLine("TEJO", "MIRLO", "vale", kPaletteSent);
    QCOMPARE(ui.SRChat->GetLine(4), std::string("vale"));
    QCOMPARE(ui.SRCab->GetLine(4), std::string("TEJO a MIRLO"));
    QCOMPARE(ui.SRTime->GetLine(4), std::string("10:20:30"));
  }

  void headingTallerThanTextPadsTheTextColumn() {
    TestWindow w;
    const auto& ui = w.ui();
    // A group name long enough to wrap the 193-pixel heading column.
    const std::string group = "DEPARTAMENTO_DE_CONTABILIDAD_Y_FINANZAS_CENTRAL";
    w->AppendLine("TEJO", group, "ok", kPaletteSent);
    QVERIFY(ui.SRCab->LineCount() > 1);
    CheckAligned(w);
    QCOMPARE(ui.SRChat->GetLine(ui.SRChat->LineCount() - 1), std::string());
    w->AppendLine("MIRLO", "TEJO", "siguiente", kPaletteReceived);
    const int start = ui.SRChat->LineCount() - 1;
    QCOMPARE(ui.SRChat->GetLine(start), std::string("siguiente"));
    QCOMPARE(ui.SRCab->GetLine(start), std::string("MIRLO a TEJO"));
    QCOMPARE(ui.SRTime->GetLine(start), std::string("10:20:30"));
  }

  void scrollBarFollowsTheTextColumn() {
    TestWindow w;
    const auto& ui = w.ui();
    for (int i = 0; i < 11; ++i) w->AppendLine("A", "B", "linea " + std::to_string(i), 2);
    QVERIFY(!ui.ScrollBar->isEnabled());  // 11 lines still fit
    w->AppendLine("A", "B", "linea 11", 2);
    QVERIFY(ui.ScrollBar->isEnabled());  // the text column is full
    QCOMPARE(ui.ScrollBar->maximum(), 0);
    for (int i = 12; i < 30; ++i) w->AppendLine("A", "B", "linea " + std::to_string(i), 2);
    QCOMPARE(ui.ScrollBar->maximum(), 18);
    QCOMPARE(ui.ScrollBar->value(), 18);
    QCOMPARE(ui.SRChat->TopLine(), 18);
    QCOMPARE(ui.SRTime->TopLine(), 18);
    QCOMPARE(ui.SRCab->TopLine(), 18);

    // The user drags the bar up: the panes follow and the position stays.
    ui.ScrollBar->setValue(5);
    QCOMPARE(ui.SRChat->TopLine(), 5);
    QCOMPARE(ui.SRCab->TopLine(), 5);
    QCOMPARE(ui.ScrollBar->value(), 5);
    // A new entry shows the end again.
    w->AppendLine("A", "B", "nueva", 3);
    QCOMPARE(ui.ScrollBar->value(), 19);
    QCOMPARE(ui.SRTime->TopLine(), 19);

    // Keys in any pane scroll all three; the ends stop them.
    emit ui.SRCab->KeyReleased(Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(ui.ScrollBar->value(), 19);
    emit ui.SRTime->KeyReleased(Qt::Key_PageUp, Qt::NoModifier);
    QCOMPARE(ui.ScrollBar->value(), 7);
    QCOMPARE(ui.SRChat->TopLine(), 7);
    emit ui.SRChat->KeyReleased(Qt::Key_PageUp, Qt::NoModifier);
    QCOMPARE(ui.ScrollBar->value(), 0);
    emit ui.SRChat->KeyReleased(Qt::Key_PageUp, Qt::NoModifier);
    QCOMPARE(ui.ScrollBar->value(), 0);
    emit ui.SRChat->KeyReleased(Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(ui.SRCab->TopLine(), 1);
    emit ui.SRChat->WheelScrolled(3);
    QCOMPARE(ui.SRTime->TopLine(), 4);

    // Clearing empties the view; the next entry starts at the top again.
    w->BBorrarClick();
    QCOMPARE(ui.SRChat->LineCount(), 0);
    QCOMPARE(ui.SRCab->LineCount(), 0);
    QCOMPARE(ui.SRTime->LineCount(), 0);
    QVERIFY(!ui.ScrollBar->isEnabled());
    QCOMPARE(ui.ScrollBar->value(), 0);
    emit ui.SRChat->KeyReleased(Qt::Key_PageDown, Qt::NoModifier);
    QCOMPARE(ui.SRChat->TopLine(), 0);
    w->AppendLine("A", "B", "otra vez", 2);
    QCOMPARE(ui.SRChat->TopLine(), 0);
    QCOMPARE(ui.SRChat->DisplayedLines().value(0), QStringLiteral("otra vez"));
  }

  void recoveredEntryHasNoTime() {
    TestWindow w;
    w->AppendRecoveredLine("MIRLO", "TEJO", "guardado", kPaletteSecure);
    QCOMPARE(w.ui().SRTime->GetLine(0), std::string("------"));
    QCOMPARE(w.ui().SRChat->GetLineColorIndex(0), std::uint8_t(kPaletteSecure));
  }

  void altCCopiesTheTextColumnAsOneLine() {
    TestWindow w;
    w->show();  // the panes of a window in the tray draw nothing until it shows
    w->AppendLine("MIRLO", "TEJO", kLong, kPaletteReceived);
    TScrollRichEdit* chat = w.ui().SRChat;
    QTextCursor c(chat->document());
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    chat->setTextCursor(c);
    QVERIFY(chat->textCursor().selectedText().contains(QChar::ParagraphSeparator) ||
            chat->document()->blockCount() == 1);
    // The key arrives in the time column; the text column's selection is what is copied.
    emit w.ui().SRTime->KeyReleased(Qt::Key_C, Qt::AltModifier);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(!copied.contains(u'\n'));
    QVERIFY(!copied.contains(u'\r'));
    QVERIFY(copied.startsWith(QStringLiteral("Esta tarde")));
    QVERIFY(copied.endsWith(QStringLiteral("trimestral")));

    QApplication::clipboard()->setText(QStringLiteral("uno\r\ndos\r\ntres"));
    ConversationView::JoinClipboardLines();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("unodostres"));
  }

  void observersHearEveryEntryInTheWindowsOwnTexts() {
    // The seam the test host reports through: every entry, as appended, in Windows-1252.
    std::vector<std::string> heard;
    TestWindow w(nullptr, {"tejo", "oficina"}, [&heard](WindowServices& services) {
      services.entryAppended = [&heard](const std::string& time, const std::string& first,
                                        const std::string& second, const std::string& text,
                                        int palette) {
        heard.push_back(time + "|" + first + "|" + second + "|" + text + "|" +
                        std::to_string(palette));
      };
    });
    w->AppendLine("MIRLO", "TEJO",
                  "se\xF1"
                  "al",
                  kPaletteReceived);
    w->AppendRecoveredLine("CAJA", "TEJO", "guardado", kPaletteSecure);
    QCOMPARE(heard.size(), std::size_t(2));
    QCOMPARE(heard[0], std::string("10:20:30|MIRLO|TEJO|se\xF1"
                                   "al|3"));
    QCOMPARE(heard[1], std::string("------|CAJA|TEJO|guardado|4"));
  }

  void altCWithNothingSelectedLeavesTheClipboardAlone() {
    TestWindow w;
    w->AppendLine("MIRLO", "TEJO", "hola", kPaletteReceived);
    QApplication::clipboard()->setText(QStringLiteral("lo que el usuario copi\u00F3 antes"));
    for (TScrollRichEdit* pane : {w.ui().SRChat, w.ui().SRCab, w.ui().SRTime}) {
      emit pane->KeyReleased(Qt::Key_C, Qt::AltModifier);
      emit pane->KeyReleased(Qt::Key_Insert, Qt::AltModifier);
    }
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("lo que el usuario copi\u00F3 antes"));
    // A selection in another column is not the text column's: nothing is copied either.
    QTextCursor c(w.ui().SRCab->document());
    c.select(QTextCursor::Document);
    w.ui().SRCab->setTextCursor(c);
    emit w.ui().SRCab->KeyReleased(Qt::Key_C, Qt::AltModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("lo que el usuario copi\u00F3 antes"));
  }

  void markupIsShownLiterally() {
    TestWindow w([](Variables& v) {
      v.GroupList.SetGroup("<i>G</i>", std::vector<std::string>{"<b>x</b>", "<img src=a>"});
    });
    const auto& ui = w.ui();
    w->AppendLine("<b>x</b>", "TEJO", "<img src=a> y <b>x</b>", kPaletteReceived);
    QCOMPARE(ui.SRChat->DisplayedLines().value(0), QStringLiteral("<img src=a> y <b>x</b>"));
    QVERIFY(ui.SRCab->DisplayedLines().value(0).startsWith(QStringLiteral("<b>x</b>")));
    QCOMPARE(ui.SRChat->toPlainText(), QStringLiteral("<img src=a> y <b>x</b>"));

    // The members hint: a tip that Qt shows as rich text must carry the markup escaped.
    const QString tip = ui.Destination->CBGrupos->toolTip();
    QVERIFY(tip.contains(QStringLiteral("&lt;b&gt;x&lt;/b&gt;")));
    QVERIFY(tip.contains(QStringLiteral("&lt;img src=a&gt;")));
    QCOMPARE(ui.Destination->CBGrupos->itemText(0), QStringLiteral("<i>G</i>"));

    // A name typed as a destination ends up in the status bar as plain text.
    ui.Destination->BReceptor->click();
    ui.Destination->EReceptor->setText(QStringLiteral("<b>caja</b>"));
    w->EReceptorKeyPress(13);
    QCOMPARE(w->StatusText(1), QStringLiteral("Destino: <B>CAJA</B>"));
    for (QLabel* label : ui.StatusBar->findChildren<QLabel*>()) {
      QCOMPARE(label->textFormat(), Qt::PlainText);
    }
  }

  // What became of a sent message: the heading's colour once every target is decided, its tool
  // tip, the status bar's message and the pane's description for a screen reader.
  void sentEntryShowsWhatBecameOfTheMessage() {
    TestWindow w([](Variables& v) {
      v.GroupList.SetGroup("VENTAS", std::vector<std::string>{"MIRLO", "<b>SAUCE</b>"});
    });
    w->show();
    const auto& ui = w.ui();
    MessagingCore& core = w->Core();
    StatusPanels& bar = *ui.StatusBar;
    auto send = [&](const std::string& destination, const std::string& text) {
      w->Vars().Destination = destination;
      core.MTextoKeyPress(MessagingCore::kKeyEnter, text);
      return ui.SRCab->LineCount() - 1;
    };
    auto timeOut = [&] {
      w.clock.now += 2.0 / 86400.0;
      core.CheckDeadlines();
    };
    auto colour = [&](int line) { return int(ui.SRCab->GetLineColorIndex(line)); };

    const int one = send("MIRLO", "hola");
    QCOMPARE(colour(one), kPaletteHeadings);
    QCOMPARE(w->View().DeliveryDetailsAt(one), std::string("MIRLO: esperando respuesta"));
    core.MSUtilsMessageAvail("11&MIRLO&ANS_WINPOPUP&YES");
    QCOMPARE(colour(one), kPaletteSent);
    QCOMPARE(bar.MessageText(), QStringLiteral("mostrado por Pelmora en MIRLO"));
    QCOMPARE(ui.SRCab->accessibleDescription(), bar.MessageText());
    QVERIFY(bar.MessageTimer()->isActive());
    // The heading on screen is drawn in the sent colour at once.
    const QTextBlock shown = ui.SRCab->document()->lastBlock();
    QCOMPARE(shown.text(), QStringLiteral("TEJO a MIRLO"));
    QCOMPARE(shown.begin().fragment().charFormat().foreground().color(), QColor(Qt::green));

    // A group, one member silent; its name is shown as the text it is, never as markup.
    ui.Destination->ChBGrupos->setChecked(true);
    ui.Destination->CBGrupos->setCurrentIndex(0);
    QCOMPARE(bar.MessageText(), QString());  // the new destination shows at once
    const int group = send("VENTAS", "reunion");
    core.MSUtilsMessageAvail("12&MIRLO&ANS_WINPOPUP&NO");
    QCOMPARE(colour(group), kPaletteHeadings);  // still waiting for SAUCE
    QCOMPARE(bar.MessageText(), QString());
    w->Vars().LanguageIndex = kLanguageEnglish;
    timeOut();
    QCOMPARE(colour(group), kPaletteSystem);
    QCOMPARE(bar.MessageText(), QStringLiteral("VENTAS: 1 of 2 answered; no answer: <b>SAUCE</b>"));
    const std::string details =
        "1 of 2 answered; no answer: <b>SAUCE</b>\n"
        "no answer from <b>SAUCE</b>: sent to its messenger slot\n"
        "taken by Pelmora on MIRLO on the secure slot";

    // The tool tip over the heading, as the mouse asks for it: plain text, every line.
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QWidget* viewport = ui.SRCab->viewport();
    const int row = group - ui.SRCab->TopLine();
    const QPoint at(10, row * ui.SRCab->LineHeightPixels() + ui.SRCab->LineHeightPixels() / 2);
    QCOMPARE(ui.SRCab->StoredLineAt(at), group);
    QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &help);
    QVERIFY(QToolTip::isVisible());
    QString tip = TipAsPlainText(QToolTip::text());
    tip.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
    QCOMPARE(tip, ToQ(details));
    // A name Qt would take for markup goes escaped; the plain text above is what it shows.
    QVERIFY(!QToolTip::text().contains(QStringLiteral("<b>SAUCE</b>")));
    QToolTip::hideText();

    ui.Destination->ChBGrupos->setChecked(false);
    // A late answer corrects a message still on show; one cleared away stays cleared.
    const int late = send("PINO", "tarde");
    timeOut();
    QCOMPARE(colour(late), kPaletteSystem);
    core.MSUtilsMessageAvail("13&PINO&ANS_WINPOPUP&YES");
    QCOMPARE(colour(late), kPaletteSent);
    QCOMPARE(bar.MessageText(), QStringLiteral("shown by Pelmora on PINO"));
    QVERIFY(QMetaObject::invokeMethod(bar.MessageTimer(), "timeout"));  // its time is up
    QCOMPARE(bar.MessageText(), QString());
    send("PINO", "otra");
    w->BBorrarClick();
    core.MSUtilsMessageAvail("14&PINO&ANS_WINPOPUP&YES");
    QCOMPARE(bar.MessageText(), QString());
    QCOMPARE(w->View().DeliveryDetailsAt(0), std::string());
  }

  void fastPathMatchesFullRefill() {
    // Two windows get the same long mixed sequence of entries, scrolls, resizes, recolourings
    // and clearings; the panes of the second fill their display afresh for every redraw. After
    // every step both show the same: lines, colours, caret, scroll bar, and now and then the
    // same pixels.
    TestWindow fast;
    TestWindow reference;
    fast->show();
    reference->show();
    for (TScrollRichEdit* p :
         {reference.ui().SRTime, reference.ui().SRCab, reference.ui().SRChat}) {
      p->SetAlwaysRefill(true);
    }
    std::string breaks;
    for (int i = 0; i < 204; ++i) breaks += "\r\n";
    const std::vector<std::string> firsts{"TEJO", "MIRLO", "VESPRA", "<b>x</b>"};
    const std::vector<std::string> seconds{"MIRLO", "TEJO",
                                           "DEPARTAMENTO_DE_CONTABILIDAD_Y_FINANZAS_CENTRAL",
                                           "OFICINA", std::string(70, 'G')};
    const std::vector<std::string> texts{"hola",
                                         kLong,
                                         std::string(409, 'W'),
                                         breaks,
                                         std::string(),
                                         "<img src=a> y <b>x</b>",
                                         "a\r\n\r\nb",
                                         "\xe1rbol \x80 \x81",
                                         "vale",
                                         "mensaje " + std::string(30, 'x') + " fin"};
    std::mt19937 rng(15);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto any = [&](const std::vector<std::string>& v) {
      return v[static_cast<std::size_t>(pick(0, static_cast<int>(v.size()) - 1))];
    };
    int height = 193;
    for (int step = 0; step < 400; ++step) {
      const int op = pick(0, 99);
      std::function<void(TestWindow&)> change;
      QString what;
      if (op < 60) {
        const std::string first = any(firsts), second = any(seconds), text = any(texts);
        const int palette = pick(2, 5);
        const bool recovered = pick(0, 15) == 0;
        change = [=](TestWindow& w) {
          if (recovered) {
            w->AppendRecoveredLine(first, second, text, palette);
          } else {
            w->AppendLine(first, second, text, palette);
          }
        };
        what = QStringLiteral("entry of %1 bytes").arg(text.size());
      } else if (op < 70) {
        const int fraction = pick(0, 100);
        change = [=](TestWindow& w) {
          QScrollBar* bar = w.ui().ScrollBar;
          bar->setValue(bar->maximum() * fraction / 100);  // the user drags the bar
        };
        what = QStringLiteral("bar to %1%").arg(fraction);
      } else if (op < 80) {
        static const Qt::Key keys[] = {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Up, Qt::Key_Down};
        const Qt::Key key = keys[pick(0, 3)];
        change = [=](TestWindow& w) { emit w.ui().SRCab->KeyReleased(key, Qt::NoModifier); };
        what = QStringLiteral("key %1").arg(int(key));
      } else if (op < 85) {
        const int lines = pick(-6, 6);
        change = [=](TestWindow& w) { emit w.ui().SRChat->WheelScrolled(lines); };
        what = QStringLiteral("wheel %1").arg(lines);
      } else if (op < 89) {
        height = pick(60, 260);
        const int h = height;
        change = [=](TestWindow& w) {
          for (TScrollRichEdit* p : {w.ui().SRTime, w.ui().SRCab, w.ui().SRChat}) {
            p->resize(p->width(), h);
          }
          w->View().Actualizar_memos(w.ui().ScrollBar);
        };
        what = QStringLiteral("height %1").arg(h);
      } else if (op < 94) {
        const auto index = static_cast<std::uint8_t>(pick(0, 5));
        const TColor colour = static_cast<TColor>(rng() & 0xFFFFFF);
        change = [=](TestWindow& w) {
          for (TScrollRichEdit* p : {w.ui().SRTime, w.ui().SRCab, w.ui().SRChat}) {
            p->SetPaletteColor(index, colour);
          }
          w->View().Actualizar_memos(nullptr);  // as the options dialog does on OK
        };
        what = QStringLiteral("colour %1").arg(index);
      } else if (op < 97) {
        change = [](TestWindow& w) {
          QTextCursor c(w.ui().SRChat->document());
          c.movePosition(QTextCursor::NextBlock);
          c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
          w.ui().SRChat->setTextCursor(c);
          w.clock.now += 1.0 / 86400;  // and a second goes by
        };
        what = QStringLiteral("select");
      } else {
        change = [](TestWindow& w) { w->BBorrarClick(); };
        what = QStringLiteral("clear");
      }
      change(fast);
      change(reference);
      const QString a = ViewSnapshot(fast), b = ViewSnapshot(reference);
      if (a != b) {
        QFAIL(qPrintable(QStringLiteral("step %1 (%2):\n fast      %3\n reference %4")
                             .arg(step)
                             .arg(what, a, b)));
      }
      CheckAligned(fast);
      if (step % 40 == 0) {
        for (int i = 0; i < 3; ++i) {
          TScrollRichEdit* f = i == 0   ? fast.ui().SRTime
                               : i == 1 ? fast.ui().SRCab
                                        : fast.ui().SRChat;
          TScrollRichEdit* r = i == 0   ? reference.ui().SRTime
                               : i == 1 ? reference.ui().SRCab
                                        : reference.ui().SRChat;
          QCOMPARE(f->grab().toImage(), r->grab().toImage());
        }
      }
    }
    // The fast panes did it with far fewer refills.
    QVERIFY(fast.ui().SRChat->RefillCount() * 2 < reference.ui().SRChat->RefillCount());
  }

  void burstOfEntriesKeepsTheDisplayToTheWindow() {
    TestWindow w;
    const auto& ui = w.ui();
    for (int i = 0; i < 2000; ++i) {
      w->AppendLine("MIRLO", "TEJO", "mensaje " + std::to_string(i), kPaletteReceived);
    }
    QCOMPARE(ui.SRChat->LineCount(), 2000);
    CheckAligned(w);
    // In the tray nothing was laid out; shown, the window draws the newest entries at once.
    for (TScrollRichEdit* p : {ui.SRTime, ui.SRCab, ui.SRChat})
      QCOMPARE(p->document()->isEmpty(), true);
    w->show();
    for (TScrollRichEdit* p : {ui.SRTime, ui.SRCab, ui.SRChat}) {
      QCOMPARE(p->document()->blockCount(), p->VisibleLines());
      QCOMPARE(p->TopLine(), 2000 - p->VisibleLines());
    }
    QCOMPARE(ui.SRChat->DisplayedLines().last(), QStringLiteral("mensaje 1999"));
    // Each entry moved the window on by a line: the display was never filled afresh for it.
    QVERIFY(ui.SRChat->RefillCount() < 20);
  }

  void timeFormatsDropDesignators() {
    QCOMPARE(StripDesignatorsFromTimeFormat(QStringLiteral("h:mm:ss AP t")),
             QStringLiteral("h:mm:ss"));
    QCOMPARE(StripDesignatorsFromTimeFormat(QStringLiteral("HH:mm:ss t")),
             QStringLiteral("HH:mm:ss"));
    QCOMPARE(StripDesignatorsFromTimeFormat(QStringLiteral("ap h:mm:ss")),
             QStringLiteral("h:mm:ss"));
    QCOMPARE(StripDesignatorsFromTimeFormat(QStringLiteral("H'h'mm 'a las' ss")),
             QStringLiteral("H'h'mm 'a las' ss"));
    const DateTime afternoon = 46000.0 + (15 * 3600 + 5 * 60 + 7) / 86400.0;
    // Without its designator a 12-hour format would be ambiguous; the hour reads 0..23.
    QCOMPARE(
        FormatTimeOfDay(afternoon, StripDesignatorsFromTimeFormat(QStringLiteral("h:mm:ss AP"))),
        QStringLiteral("15:05:07"));
    QVERIFY(!SystemLongTimeFormat().contains(u't'));
  }

  void screenshots() {
    TestWindow w([](Variables& v) {
      v.NameList.Add("MIRLO");
      v.NameList.Add("CAJA2");
    });
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    SaveScreenshot(w.window.get(), QStringLiteral("app_empty_window"));
    for (int i = 0; i < 29; ++i) {
      if (i == 20) {
        w->AppendLine("MIRLO", "TEJO", kLong, kPaletteReceived);
        continue;
      }
      const bool sent = i % 3 == 0;
      w->AppendLine(sent ? "TEJO" : "MIRLO", sent ? "MIRLO" : "TEJO",
                    "mensaje numero " + std::to_string(i), sent ? kPaletteSent : kPaletteSecure);
    }
    w->AppendLine("VESPRA", "TEJO", "MIRLO --> Pelmora 0.31b", kPaletteSystem);
    QVERIFY(w.ui().SRChat->LineCount() >= 30);
    CheckAligned(w);
    SaveScreenshot(w.window.get(), QStringLiteral("app_conversation_30_lines"));
  }
};

QTEST_MAIN(ConversationViewTest)
#include "ConversationViewTest.moc"
