#include "app/Program.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
  // --help, --version and a display that cannot be reached are settled before Qt starts: its
  // platform plugin would abort the process without a display.
  if (const auto status = pelmora::startup::CheckBeforeApplication(argc, argv)) return *status;
  return pelmora::RunPelmora(argc, argv);
}
