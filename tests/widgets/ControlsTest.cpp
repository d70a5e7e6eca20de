// The pieces the window and the options dialog share: list items that keep their Windows-1252
// bytes and find names as the address book does, the button that turns into an edit field, and
// Insert/Delete on a list.

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "widgets/AnsiItems.h"
#include "widgets/Controls.h"

using namespace pelmora;

class ControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void itemsGiveBackTheBytesTheyWereMadeFrom() {
    // 0x81 and 0x8D have no character in Windows-1252: the display shows something else, the
    // item still gives the byte back.
    const std::string odd = "A\x81\x8D\xD1";
    QListWidget list;
    list.addItem(MakeItem(odd));
    QCOMPARE(ItemAnsi(&list, 0), odd);
    QCOMPARE(ItemAnsi(&list, 1), std::string());
    QComboBox box;
    AddItem(&box, odd);
    QCOMPARE(ItemAnsi(&box, 0), odd);
    QCOMPARE(ItemAnsi(&box, -1), std::string());
    QCOMPARE(ItemAnsi(&box, 1), std::string());
  }

  void namesAreFoundIgnoringCaseAndInsertedInTheAddressBooksOrder() {
    QListWidget list;
    FillList(&list, {"ABETO", "HAYA", "TEJO"}, true);
    QCOMPARE(list.item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(InsertSorted(&list, MakeItem("CEDRO")), 1);
    QCOMPARE(InsertSorted(&list, MakeItem("ZARZA")), 4);
    QCOMPARE(FindRow(&list, "haya"), 2);
    QCOMPARE(FindSortedRow(&list, "tejo"), 3);
    QCOMPARE(FindSortedRow(&list, "PINO"), -1);
    QComboBox box;
    for (const char* n : {"TEJO", "\xD1OQUI"}) AddItem(&box, n);
    QCOMPARE(FindItem(&box, "Tejo"), 0);
    // The address book folds the accented capitals of Windows-1252 too; another letter is another
    // name.
    QCOMPARE(FindItem(&box, "\xF1oqui"), 1);
    QCOMPARE(FindItem(&box, "NOQUI"), -1);
  }

  void buttonTurnsIntoAnEditAndBack() {
    QWidget window;
    auto* button = MakeButton(&window, "BNuevo", QRect(0, 0, 100, 25), "&Nuevo");
    auto* edit = MakeControl<QLineEdit>(&window, "ENuevo", QRect(0, 2, 100, 21));
    auto* other = MakeButton(&window, "BOtro", QRect(0, 40, 100, 25), "Otro");
    QVERIFY(!button->autoDefault());
    edit->hide();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    OpenButtonEdit(button, edit);
    QVERIFY(button->isHidden() && edit->isVisible() && edit->hasFocus());
    edit->setText(QStringLiteral("A&B"));
    RefuseButtonEdit(button, edit);  // kept open, the refused text selected
    QVERIFY(edit->isVisible());
    QCOMPARE(edit->selectedText(), QStringLiteral("A&B"));
    CloseButtonEdit(button, edit, true);
    QVERIFY(edit->isHidden() && edit->text().isEmpty() && button->hasFocus());

    OpenButtonEdit(button, edit);
    edit->setText(QStringLiteral("A&B"));
    other->setFocus();
    RefuseButtonEdit(button, edit);  // the focus went elsewhere: dropped as with Esc
    QVERIFY(edit->isHidden() && edit->text().isEmpty() && button->isVisible());
    QVERIFY(other->hasFocus());
  }

  void insertAndDeleteActOnTheirRelease() {
    QListWidget list;
    int inserted = 0;
    int deleted = 0;
    ActOnInsertAndDelete(
        &list, [&] { ++inserted; }, [&] { ++deleted; });
    QTest::keyPress(&list, Qt::Key_Insert);
    QCOMPARE(inserted, 0);
    QTest::keyRelease(&list, Qt::Key_Insert);
    QTest::keyClick(&list, Qt::Key_Delete);
    QTest::keyClick(&list, Qt::Key_A);
    QCOMPARE(inserted, 1);
    QCOMPARE(deleted, 1);
  }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
