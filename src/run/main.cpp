#include <string>
#include <vector>

#include "run/invocation.h"
#include "support/platform.h"

int main(int argc, char** argv) {
  PrepareConsole();
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  std::vector<const char*> texts;
  for (const std::string& argument : arguments) texts.push_back(argument.c_str());
  return RunVorn(int(texts.size()), texts.data());
}
