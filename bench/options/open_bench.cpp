// How long the options dialog takes to open (made, filled, shown) with a large address book:
// 10,000 names and 1,000 groups of ten members by default, or the counts given as arguments.
// Also the cost of showing one group's check marks and of deleting every name. Runs on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise; prints the median of five runs.

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "../../tests/options/OptionsTestSupport.h"
#include "options/PageGrupos.h"
#include "options/PageNombres.h"
#include "options/VOpciones.h"

using namespace pelmora;

namespace {

void Seed(testing::FakeOptionsHost& host, int names, int groups) {
  for (int i = 0; i < names; ++i) host.vars.NameList.Add("MAQUINA" + std::to_string(i));
  for (int g = 0; g < groups; ++g) {
    std::vector<std::string> members;
    for (int m = 0; m < 10; ++m)
      members.push_back("MAQUINA" + std::to_string((g * 10 + m) % names));
    host.vars.GroupList.SetGroup("GRUPO" + std::to_string(g), members);
  }
  host.vars.QuickDestinations[0] = {"MAQUINA" + std::to_string(names / 2), qdName};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int names = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const int groups = argc > 2 ? std::max(0, std::atoi(argv[2])) : 1000;

  std::vector<double> open, select, clear;
  for (int run = 0; run < 5; ++run) {
    testing::FakeOptionsHost host;
    Seed(host, names, groups);
    QElapsedTimer t;
    t.start();
    auto dlg = std::make_unique<TVOpciones>(host);
    dlg->show();
    QCoreApplication::processEvents();
    open.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

    t.restart();
    dlg->Grupos().Ui().LGrupos->setCurrentRow(groups > 0 ? groups - 1 : -1);
    QCoreApplication::processEvents();
    select.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

    t.restart();
    dlg->Nombres().Ui().BBorrar_nombres->click();
    QCoreApplication::processEvents();
    clear.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::printf("address book: %d names, %d groups of 10\n", names, groups);
  std::printf("open (make, fill, show): median %.1f ms (min %.1f, max %.1f)\n", Median(open),
              *std::min_element(open.begin(), open.end()),
              *std::max_element(open.begin(), open.end()));
  std::printf("select the last group (check marks): median %.1f ms\n", Median(select));
  std::printf("\"Borrar todos\": median %.1f ms\n", Median(clear));
  return 0;
}
