#include "app/Program.h"

int main(int argc, char** argv) { return pelmora::RunPelmora(argc, argv); }
