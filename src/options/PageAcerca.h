#pragma once
// The fifth page of the options dialog: who made the program, its web page and its contact
// address. Not localised.

#include <QWidget>

class QLabel;

namespace pelmora {

class OptionsHost;

// The addresses shown; placeholders until the program has real ones.
inline constexpr const char* kWebAddress = "https://www.example.org/pelmora/";
inline constexpr const char* kMailAddress = "pelmora@example.org";

class TPageAcerca : public QWidget {
  Q_OBJECT

 public:
  TPageAcerca(OptionsHost& host, QWidget* parent = nullptr);

  void Label5Click();  // the web link
  void Label6Click();  // the mail link

  QLabel* Label5() const { return label5_; }
  QLabel* Label6() const { return label6_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  OptionsHost& host_;
  QLabel* label5_ = nullptr;
  QLabel* label6_ = nullptr;
};

}  // namespace pelmora
