// The desktop program.
#include "app/program/startup.h"

int main(int argc, char** argv) {
  return tx::RunProgram(argc, argv);
}
