#pragma once
// A stand-in for the main window around the options dialog: the shared state, the window's part
// of the settings, three real conversation panes, and records of what the dialog asked of the
// desktop (pings, save dialog, links, error boxes).

#include <QString>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "options/OptionsHost.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora::testing {

class FakeOptionsHost : public OptionsHost {
 public:
  FakeOptionsHost() {
    for (auto& p : panes) {
      p = std::make_unique<TScrollRichEdit>();
      p->resize(1200, 200);  // wide: the entries of the tests never wrap
      p->ResetColors();
    }
  }
  Variables& Vars() override { return vars; }
  const WindowSettings& WindowPart() override { return window; }
  void SetWindowPart(const WindowSettings& settings) override { window = settings; }
  void RedrawConversation() override { ++redraws; }
  const TScrollRichEdit& Pane(int which) override {
    return *panes[static_cast<std::size_t>(which)];
  }
  void SendSilentWorkgroupPing() override { ++pings; }
  QString ChooseSaveFile(QWidget*, const QString& title, const QString& filter,
                         const QString& proposed) override {
    saveTitle = title;
    saveFilter = filter;
    saveProposed = proposed;
    return saveAnswer;
  }
  void OpenLink(QWidget*, const QUrl& url) override { links.push_back(url); }
  void ShowError(QWidget*, const QString& text) override { errors.push_back(text); }
  void BringForward(QWidget* dialog) override {
    ++broughtForward;
    dialog->raise();
    dialog->activateWindow();
  }

  // One conversation entry in the three panes, as the window adds it.
  void AddEntry(const std::string& time, const std::string& heading, const std::string& text) {
    panes[0]->AddText(time, 0, true);
    panes[1]->AddText(heading, 1, true);
    panes[2]->AddText(text, 2, true);
  }

  Variables vars;
  std::array<std::unique_ptr<TScrollRichEdit>, 3> panes;
  WindowSettings window;
  int redraws = 0;
  int pings = 0;
  QString saveAnswer;
  QString saveTitle, saveFilter, saveProposed;
  std::vector<QUrl> links;
  std::vector<QString> errors;
  int broughtForward = 0;
};

}  // namespace pelmora::testing
