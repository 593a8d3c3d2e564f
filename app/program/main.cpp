// The desktop program.
#include "app/program/program_help.h"
#include "app/program/startup.h"

int main(int argc, char** argv) {
  if (const std::optional<int> answered = tx::AnswerHelpOrVersion(argc, argv)) return *answered;
  return tx::RunProgram(argc, argv);
}
