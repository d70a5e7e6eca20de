#include "options/VOpciones.h"

#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "messaging/Variables.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "options/OptionsWidgets.h"
#include "options/PageAcerca.h"
#include "options/PageColores.h"
#include "options/PageGeneral.h"
#include "options/PageGrupos.h"
#include "options/PageNombres.h"
#include "widgets/Fonts.h"
#include "widgets/ScrollRichEdit.h"

namespace pelmora {

namespace {
const char* const kLogFilter = "Log files (*.LOG *.log);;Text files (*.TXT *.txt);;All files (*)";
const char* const kLogFailed = "No se pudo grabar el fichero";
}  // namespace

TVOpciones::TVOpciones(OptionsHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      host_(host) {
  setObjectName(QStringLiteral("VOpciones"));
  setWindowTitle(QStringLiteral("Opciones"));
  // Modal over the main window only: the tray icon and its menu stay live, so the program can
  // still be ended (and the dialog brought forward) from there while the dialog is open.
  setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  setFont(PelmoraInterfaceFont());
  setFixedSize(kClientWidth, kClientHeight);

  pageControl_ = new QTabWidget(this);
  pageControl_->setObjectName(QStringLiteral("PageControl"));
  pageControl_->setGeometry(0, 0, kClientWidth, kClientHeight);
  // The five captions must fit side by side in the dialog's width, as they did in the design:
  // no scroll arrows hiding the last page.
  pageControl_->setUsesScrollButtons(false);
  pageControl_->tabBar()->setExpanding(false);
  general_ = new PageGeneral(host_);
  nombres_ = new PageNombres(host_);
  grupos_ = new PageGrupos(host_);
  colores_ = new PageColores(host_);
  acerca_ = new PageAcerca(host_);
  pageControl_->addTab(general_, QStringLiteral("Opciones"));
  pageControl_->addTab(nombres_, QStringLiteral("Nombres"));
  pageControl_->addTab(grupos_, QStringLiteral("Grupos"));
  pageControl_->addTab(colores_, QStringLiteral("Varios"));
  pageControl_->addTab(acerca_, QStringLiteral("Acerca de"));

  // The buttons lie on the form over the lower part of the pages, as designed.
  bok_ = new QPushButton(QStringLiteral("&OK"), this);
  bok_->setObjectName(QStringLiteral("BOK"));
  bok_->setGeometry(176, 336, 75, 30);
  bcancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  bcancel_->setObjectName(QStringLiteral("BCancel"));
  bcancel_->setGeometry(256, 336, 75, 30);
  for (QPushButton* b : {bok_, bcancel_}) {
    b->setAutoDefault(false);
    b->setDefault(false);
    b->raise();
  }
  connect(bok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(bcancel_, &QPushButton::clicked, this, &QDialog::reject);

  connect(general_, &PageGeneral::LanguageChosen, this, [this](int l) { ApplyDialogLanguage(l); });
  connect(general_, &PageGeneral::SaveLogRequested, this, [this] { BGrabarClick(); });
  connect(nombres_, &PageNombres::NameAdded, grupos_, &PageGrupos::NameAdded);
  connect(nombres_, &PageNombres::NameRemovedAt, grupos_, &PageGrupos::NameRemovedAt);
  connect(nombres_, &PageNombres::NamesCleared, grupos_, &PageGrupos::NamesCleared);

  FormCreate();
}

TVOpciones::~TVOpciones() = default;

void TVOpciones::FormCreate() {
  Variables& v = host_.Vars();
  general_->Fill();  // the hot key letters and the check boxes
  ApplyDialogLanguage(v.LanguageIndex);
  grupos_->Fill();
  nombres_->Fill();  // also shows quick destination 0
  logFileName_ = QStringLiteral("vespra.log");
  colores_->Fill();
  pageControl_->setCurrentIndex(0);
}

void TVOpciones::ApplyDialogLanguage(int l) {
  setWindowTitle(ToQ(LocalText(23, l)));
  saveDialogTitle_ = ToQ(StripAmpersands(LocalText(34, l)));
  general_->ApplyLanguage(l);
  nombres_->ApplyLanguage(l);
  grupos_->ApplyLanguage(l);
  colores_->ApplyLanguage(l);
  pageControl_->setTabText(0, ToQ(LocalText(35, l)));
  pageControl_->setTabText(1, ToQ(LocalText(37, l)));
  pageControl_->setTabText(2, ToQ(LocalText(38, l)));
  pageControl_->setTabText(3, ToQ(LocalText(31, l)));
  FitPageTabs();
}

void TVOpciones::FitPageTabs() {
  // The five captions must fit side by side in the dialog's width, as they did in the design:
  // the tabs lose some of their side padding where a language's captions are long (German).
  QTabBar* bar = pageControl_->tabBar();
  for (int pad = 5; pad >= 0; --pad) {
    bar->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px %1px; }").arg(pad));
    // The tab bar starts a little in from the dialog's edge.
    if (bar->sizeHint().width() + 4 <= width()) return;
  }
}

void TVOpciones::AddToNameLists(const std::string& name) { nombres_->AddAnsweredName(name); }

void TVOpciones::keyPressEvent(QKeyEvent* event) {
  // Neither key closes the dialog: a name typed in a page's edit ends with Enter or Esc, and a
  // stray press must not throw away (or keep) every change made so far.
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void TVOpciones::done(int result) {
  nombres_->StopPings();
  QDialog::done(result);
}

void TVOpciones::BGrabarClick() {
  const QString path =
      host_.ChooseSaveFile(this, saveDialogTitle_, QString::fromLatin1(kLogFilter), logFileName_);
  if (path.isEmpty()) return;
  logFileName_ = path;
  const TScrollRichEdit& time = host_.Pane(0);
  const TScrollRichEdit& heading = host_.Pane(1);
  const TScrollRichEdit& text = host_.Pane(2);
  // The panes hold the same number of lines; a shorter one (never expected) gives blanks rather
  // than a read past its end.
  auto lineOf = [](const TScrollRichEdit& pane, int i) -> std::string {
    return i < pane.LineCount() ? pane.GetLine(i) : std::string();
  };
  const bool ok =
      options::WriteLogFile(QFile::encodeName(path).toStdString(), text.LineCount(), [&](int i) {
        return options::LogLine(lineOf(time, i), lineOf(heading, i), lineOf(text, i));
      });
  if (!ok) host_.ShowError(this, QString::fromUtf8(kLogFailed));
}

}  // namespace pelmora
