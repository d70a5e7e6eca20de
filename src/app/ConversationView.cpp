#include "app/ConversationView.h"

#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>
#include <initializer_list>

#include "messaging/Variables.h"
#include "widgets/AnsiText.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

ConversationView::ConversationView(QWidget* parent, const QFont& paneFont) : QObject(parent) {
  auto makePane = [&](const QString& name, int left, int width) {
    auto* pane = new TScrollRichEdit(parent);
    pane->setObjectName(name);
    pane->setFont(paneFont);
    pane->setGeometry(left, 0, width, 193);
    pane->UpdateVisibleLines();
    return pane;
  };
  time_ = makePane(QStringLiteral("SRTime"), 0, 57);
  headings_ = makePane(QStringLiteral("SRCab"), 56, 193);
  text_ = makePane(QStringLiteral("SRChat"), 248, 273);

  bar_ = new QScrollBar(Qt::Vertical, parent);
  bar_->setObjectName(QStringLiteral("ScrollBar"));
  bar_->setGeometry(520, 0, 16, 193);
  bar_->setRange(0, 0);
  bar_->setSingleStep(1);
  bar_->setPageStep(0);
  bar_->setEnabled(false);

  connect(bar_, &QScrollBar::valueChanged, this, [this] { Actualizar_memos(bar_); });
  for (TScrollRichEdit* pane : {time_, headings_, text_}) {
    connect(pane, &TScrollRichEdit::KeyReleased, this,
            [this](int key, Qt::KeyboardModifiers mods) { PaneKeyReleased(key, mods); });
    connect(pane, &TScrollRichEdit::WheelScrolled, this, [this](int lines) { ScrollBy(lines); });
  }
  headings_->viewport()->installEventFilter(this);
}

void ConversationView::Append(const std::string& time, const std::string& heading,
                              const std::string& text, int paletteIndex) {
  const auto index = static_cast<std::uint8_t>(std::clamp(paletteIndex, 0, 255));
  // Each pane takes the entry, its fillers and the move to the end as one change, and redraws
  // once: the new lines go in at the bottom and as many leave at the top.
  const PaneUpdate update{text_, headings_, time_};
  const int first = text_->LineCount();
  text_->AddText(text, index, true);
  headings_->AddText(heading, kPaletteHeadings, true);
  const int headingRows = headings_->LineCount() - first;
  time_->AddText(time, kPaletteTime, true);
  // Every column is filled up to the entry's tallest one, the text column included when a long
  // heading wraps into more lines than the text: the next entry then starts on the same line in
  // all three columns, and the three panes always hold the same number of lines.
  const int tallest = std::max({text_->LineCount(), headings_->LineCount(), time_->LineCount()});
  while (text_->LineCount() < tallest) text_->AddText(std::string(), index, true);
  while (headings_->LineCount() < tallest) {
    headings_->AddText(std::string(), kPaletteHeadings, true);
  }
  while (time_->LineCount() < tallest) time_->AddText(std::string(), kPaletteHeadings, true);
  lastEntry_.firstLine = first;
  lastEntry_.rows = tallest - first;
  lastEntry_.headingRows = headingRows;
  Actualizar_memos(nullptr);
}

void ConversationView::BeginDelivery(DeliveryId id, const std::string& label,
                                     const std::vector<std::string>& targets) {
  if (lastEntry_.firstLine < 0) return;
  sent_.push_back({id, lastEntry_.firstLine, lastEntry_.rows, lastEntry_.headingRows,
                   DeliveryTally(label, targets)});
}

std::string ConversationView::RecordDelivery(DeliveryId id, const std::string& target,
                                             DeliveryOutcome outcome) {
  // Results come for recent messages; the search starts at the newest.
  const auto it =
      std::find_if(sent_.rbegin(), sent_.rend(), [id](const SentEntry& e) { return e.id == id; });
  if (it == sent_.rend() || !it->tally.Record(target, outcome) || !it->tally.Settled()) return {};
  const auto colour = static_cast<std::uint8_t>(
      it->tally.ReachedPelmoraEverywhere() ? kPaletteSent : kPaletteSystem);
  for (int line = it->firstLine; line < it->firstLine + it->headingRows; ++line) {
    headings_->SetLineColorIndex(line, colour);
  }
  const std::string summary = it->tally.Summary(Language());
  headings_->setAccessibleDescription(ToQ(summary));
  return summary;
}

std::string ConversationView::DeliveryDetailsAt(int line) const {
  if (line < 0) return {};
  // The entry that starts last at or before the line, if the line is one of its rows.
  const auto after = std::upper_bound(sent_.begin(), sent_.end(), line,
                                      [](int l, const SentEntry& e) { return l < e.firstLine; });
  if (after == sent_.begin()) return {};
  const SentEntry& entry = *std::prev(after);
  if (line >= entry.firstLine + entry.rows) return {};
  return entry.tally.Details(Language());
}

bool ConversationView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip && watched == headings_->viewport()) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::string details = DeliveryDetailsAt(headings_->StoredLineAt(help->pos()));
    if (details.empty()) {
      QToolTip::hideText();
    } else {
      // Names come from the network and the user: shown as the plain text they are, one target
      // a line. Qt takes a tip that looks like markup for markup, so such a one goes escaped
      // (and may then wrap); any other goes as it is.
      const QString plain = ToQ(details);
      const QString tip = Qt::mightBeRichText(plain)
                              ? Qt::convertFromPlainText(plain, Qt::WhiteSpaceNoWrap)
                              : plain;
      QToolTip::showText(help->globalPos(), tip, headings_->viewport());
    }
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void ConversationView::SetTopLine(int top) {
  text_->SetTopLine(top);
  headings_->SetTopLine(top);
  time_->SetTopLine(top);
}

void ConversationView::Actualizar_memos(QObject* sender) {
  text_->UpdateVisibleLines();
  headings_->UpdateVisibleLines();
  time_->UpdateVisibleLines();
  const int visible = text_->VisibleLines();
  const int count = text_->LineCount();
  if (count >= visible) {
    // Moving the bar from here must not come back in as the user's move.
    const QSignalBlocker block(bar_);
    bar_->setEnabled(true);
    bar_->setMaximum(count - visible);
    bar_->setPageStep(visible);
    if (sender != bar_) bar_->setValue(bar_->maximum());
  }
  SetTopLine(bar_->value());
}

void ConversationView::ScrollBy(int lines) {
  const int top = std::clamp(bar_->value() + lines, 0, bar_->maximum());
  {
    const QSignalBlocker block(bar_);
    bar_->setValue(top);
  }
  SetTopLine(top);
}

void ConversationView::Clear() {
  // The entries are gone; results that come for them later change nothing.
  sent_.clear();
  lastEntry_.firstLine = -1;
  text_->ClearLines();
  time_->ClearLines();
  headings_->ClearLines();
  const QSignalBlocker block(bar_);
  bar_->setValue(0);
  // The range goes too, so no key can scroll into lines that are gone.
  bar_->setRange(0, 0);
  bar_->setPageStep(0);
  bar_->setEnabled(false);
}

void ConversationView::ResetColors() {
  for (TScrollRichEdit* pane : {time_, headings_, text_}) pane->ResetColors();
}

void ConversationView::PaneKeyReleased(int key, Qt::KeyboardModifiers modifiers) {
  const int visible = text_->VisibleLines();
  switch (key) {
    case Qt::Key_PageUp:
      ScrollBy(-visible);
      break;
    case Qt::Key_PageDown:
      ScrollBy(visible);
      break;
    case Qt::Key_Up:
      ScrollBy(-1);
      break;
    case Qt::Key_Down:
      ScrollBy(1);
      break;
    case Qt::Key_C:
    case Qt::Key_Insert:
      if (modifiers & Qt::AltModifier) CopyTextSelection();
      break;
    default:
      break;
  }
}

void ConversationView::CopyTextSelection() {
  // Whichever pane had the key, the text column's selection is what is copied. Its lines are
  // put on the clipboard as the CR LF lines they are, then joined into one.
  QString selected = text_->textCursor().selectedText();
  // Nothing selected copies nothing: emptying the clipboard would lose what the user had on it.
  if (selected.isEmpty()) return;
  selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  selected.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  QApplication::clipboard()->setText(selected);
  JoinClipboardLines();
}

void ConversationView::JoinClipboardLines() {
  QClipboard* clipboard = QApplication::clipboard();
  QString text = clipboard->text();
  if (text.isNull()) return;
  text.remove(QStringLiteral("\r\n"));
  clipboard->setText(text);
}

}  // namespace pelmora
