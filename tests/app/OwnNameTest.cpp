// The own-name field: the gesture that opens it, what may be typed, and the only two ways out.

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "app/OwnNameEditor.h"
#include "messaging/Variables.h"
#include "widgets/AnsiText.h"
#include "widgets/TypedNameValidator.h"

namespace pelmora {

class OwnNameTest : public QObject {
  Q_OBJECT

  // A window with the field and one compose button, the editor between them.
  struct Rig {
    Rig() {
      window.resize(300, 100);
      auto* layout = new QVBoxLayout(&window);
      field = new QLineEdit(&window);
      compose = new QPushButton(QStringLiteral("Escribir"), &window);
      other = new QPushButton(QStringLiteral("Otro"), &window);
      layout->addWidget(field);
      layout->addWidget(compose);
      layout->addWidget(other);
      field->hide();
      vars.OwnName = "TEJO";
      editor = std::make_unique<OwnNameEditor>(field, vars, [this] { compose->setFocus(); });
      window.show();
      QApplication::setActiveWindow(&window);
      compose->setFocus();
    }
    void open() {
      editor->StatusBarMouseDown(Qt::RightButton, Qt::ControlModifier | Qt::AltModifier);
    }
    QWidget window;
    QLineEdit* field = nullptr;
    QPushButton* compose = nullptr;
    QPushButton* other = nullptr;
    Variables vars;
    std::unique_ptr<OwnNameEditor> editor;
  };

 private slots:
  void onlyARightClickWithCtrlAndAltOpensTheField() {
    Rig r;
    r.editor->StatusBarMouseDown(Qt::RightButton, Qt::ControlModifier);
    r.editor->StatusBarMouseDown(Qt::RightButton, Qt::AltModifier);
    r.editor->StatusBarMouseDown(Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(r.field->isHidden());
    r.editor->StatusBarMouseDown(Qt::RightButton,
                                 Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(r.field->isVisible());
    QCOMPARE(r.field->text(), QStringLiteral("TEJO"));
    QVERIFY(r.field->hasFocus());
  }

  void typedLettersBecomeUpperCaseAndEnterSetsTheName() {
    Rig r;
    QSignalSpy changed(r.editor.get(), &OwnNameEditor::OwnNameChanged);
    r.open();
    r.field->selectAll();
    QTest::keyClicks(r.field, QStringLiteral("pc-"));
    r.field->insert(QStringLiteral("\u00f1"));  // as an input method would
    QTest::keyClicks(r.field, QStringLiteral("u 2"));
    QCOMPARE(r.field->text(), QStringLiteral("PC-\u00f1U 2"));  // only a-z change case
    QTest::keyClick(r.field, Qt::Key_Return);
    QVERIFY(r.field->isHidden());
    QVERIFY(r.compose->hasFocus());
    QCOMPARE(r.vars.OwnName, std::string("PC-\xF1U 2"));
    QCOMPARE(changed.count(), 1);
  }

  void escapeAndAnEmptyFieldKeepTheName() {
    Rig r;
    QSignalSpy changed(r.editor.get(), &OwnNameEditor::OwnNameChanged);
    r.open();
    QTest::keyClicks(r.field, QStringLiteral("XX"));
    QTest::keyClick(r.field, Qt::Key_Escape);
    QVERIFY(r.field->isHidden());
    QVERIFY(r.compose->hasFocus());
    QCOMPARE(r.vars.OwnName, std::string("TEJO"));

    // Receivers drop datagrams whose sender is empty: Enter on an emptied field is Esc.
    r.open();
    r.field->clear();
    QTest::keyClick(r.field, Qt::Key_Enter);
    QVERIFY(r.field->isHidden());
    QCOMPARE(r.vars.OwnName, std::string("TEJO"));
    QCOMPARE(changed.count(), 0);
  }

  void ampersandControlAndForeignCharactersAreRefused() {
    Rig r;
    r.open();
    r.field->clear();
    QTest::keyClicks(r.field, QStringLiteral("a&b"));
    QCOMPARE(r.field->text(), QStringLiteral("AB"));
    // A paste keeps what may be kept.
    r.field->insert(QStringLiteral("c\td&e\u0142f\u20ac"));
    QCOMPARE(r.field->text(), QStringLiteral("ABCDEF\u20ac"));
    QTest::keyClick(r.field, Qt::Key_Return);
    QCOMPARE(r.vars.OwnName, std::string("ABCDEF\x80"));

    QString in = QStringLiteral("x&\u0001y");
    int pos = 2;
    TypedNameValidator v;
    QCOMPARE(v.validate(in, pos), QValidator::Acceptable);
    QCOMPARE(in, QStringLiteral("XY"));
    QCOMPARE(pos, 1);
  }

  void theFieldKeepsTheFocusUntilEnterOrEscape() {
    Rig r;
    r.open();
    r.other->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(r.field->hasFocus());
    QTest::keyClick(r.field, Qt::Key_Tab);
    QVERIFY(r.field->hasFocus());
    QVERIFY(r.field->isVisible());
    QTest::keyClick(r.field, Qt::Key_Escape);
    QVERIFY(r.compose->hasFocus());
    // Once left, the field no longer pulls the focus back.
    r.other->setFocus(Qt::MouseFocusReason);
    QTest::qWait(20);
    QVERIFY(r.other->hasFocus());
  }

  // While the field is open, clicks and mnemonics on the window's other controls do nothing;
  // once it is left they act again. Other windows are not held up.
  void clicksElsewhereDoNothingWhileTheFieldIsOpen() {
    Rig r;
    r.other->setText(QStringLiteral("&Otro"));
    QSignalSpy clicked(r.other, &QPushButton::clicked);
    QWidget elsewhere;
    auto* foreign = new QPushButton(QStringLiteral("Fuera"), &elsewhere);
    QSignalSpy foreignClicked(foreign, &QPushButton::clicked);
    elsewhere.show();
    r.open();
    QTest::mouseClick(r.other, Qt::LeftButton);
    QTest::mouseDClick(r.other, Qt::LeftButton);
    QTest::keyClick(r.field, Qt::Key_O, Qt::AltModifier);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(r.field->isVisible());
    QTest::mouseClick(foreign, Qt::LeftButton);
    QCOMPARE(foreignClicked.count(), 1);
    QTest::keyClick(r.field, Qt::Key_Escape);
    QTest::mouseClick(r.other, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
  }
};

}  // namespace pelmora

QTEST_MAIN(pelmora::OwnNameTest)
#include "OwnNameTest.moc"
