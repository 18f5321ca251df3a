// tq580-cli: the tool without a window, for scripts and batch commissioning.
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"

namespace {

using namespace tq::cli;

int run(const Invocation& invocation, Prepared prepared) {
  Session session(invocation);
  Commands commands(session, std::move(prepared));
  commands.start();
  QCoreApplication::exec();
  return session.finished() ? session.status() : exit_status::kNoAnswer;
}

}  // namespace

int main(int argc, char** argv) {
  const char* variable = std::getenv(kPortVariable);
  const Parsed parsed = parseArguments(std::vector<std::string>(argv + 1, argv + argc),
                                       variable ? std::optional<std::string>(variable) : std::nullopt);
  if (!parsed.invocation) {
    std::cerr << "tq580-cli: " << parsed.refusal << "\nTry 'tq580-cli --help'.\n";
    return exit_status::kUsage;
  }
  const Invocation& invocation = *parsed.invocation;
  if (!needsPort(invocation) && invocation.command != Command::Find) return runWithoutPort(invocation);

  std::string refusal;
  auto prepared = prepare(invocation, ::isatty(STDIN_FILENO) == 1, &refusal);
  if (!prepared) {
    std::cerr << "tq580-cli: " << refusal << "\n";
    return exit_status::kUsage;
  }
  // Qt reads no options of its own from the command line.
  int qtArgc = 1;
  if (invocation.command == Command::Report) {
    // The PDF is rendered without a display.
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(qtArgc, argv);
    return run(invocation, std::move(*prepared));
  }
  QCoreApplication app(qtArgc, argv);
  return run(invocation, std::move(*prepared));
}
