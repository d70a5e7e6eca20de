#pragma once
// The main window's status bar: sunken panels of fixed widths (own name, destination, clock) and
// no size grip. The last panel also takes what is left of the bar to its right: the widths were
// chosen for a narrower interface font than this platform's, and the clock would be cut.
// Texts are always shown as plain text.

#include <QWidget>
#include <array>
#include <initializer_list>

class QLabel;

namespace pelmora {

class TStatusPanels : public QWidget {
  Q_OBJECT
 public:
  TStatusPanels(std::initializer_list<int> widths, QWidget* parent = nullptr);

  int PanelCount() const { return count_; }
  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  // The panel's rectangle within the bar.
  QRect PanelRect(int panel) const;

 signals:
  // A mouse button went down on the bar, at `pos` in the bar's coordinates.
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  static constexpr int kMaxPanels = 3;
  std::array<QLabel*, kMaxPanels> labels_{};
  std::array<int, kMaxPanels> widths_{};
  int count_ = 0;
};

}  // namespace pelmora
