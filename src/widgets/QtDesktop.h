#pragma once
// The desktop interfaces of Desktop.h on Qt: what the program uses when nothing else is given.

#include "widgets/Desktop.h"

namespace pelmora {

class QtDesktopServices : public DesktopServices {
 public:
  bool TrayAvailable() override;
  void Beep() override;
  void ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                   const QString& text) override;
  bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
  bool BringForward(QWidget* window) override;
  bool IsActiveWindow(QWidget* window) override;
  WindowId ActiveWindow() override;
  bool ActivateWindow(WindowId id) override;
  bool KeepOutOfTaskBar(QWidget* window) override;
};

class QtFileChooser : public FileChooser {
 public:
  std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& title,
                                        const QString& filter,
                                        const QString& proposedName) override;
};

class QtLinkOpener : public LinkOpener {
 public:
  bool OpenLink(const QUrl& url) override;
};

}  // namespace pelmora
