#pragma once
// The fifth page of the options dialog: who made the program, its web page and its contact
// address. Not localised.

#include <QWidget>

class QPushButton;

namespace pelmora {

class OptionsHost;

// The addresses shown; placeholders until the program has real ones.
inline constexpr const char* kWebAddress = "https://www.example.org/pelmora/";
inline constexpr const char* kMailAddress = "pelmora@example.org";

class PageAcerca : public QWidget {
  Q_OBJECT

 public:
  PageAcerca(OptionsHost& host, QWidget* parent = nullptr);

  void Label5Click();  // the web link
  void Label6Click();  // the mail link

  // The links: flat buttons drawn as links, so that the mouse, the keyboard and assistive tools
  // can all follow them.
  QPushButton* Label5() const { return label5_; }
  QPushButton* Label6() const { return label6_; }

 private:
  OptionsHost& host_;
  QPushButton* label5_ = nullptr;
  QPushButton* label6_ = nullptr;
};

}  // namespace pelmora
