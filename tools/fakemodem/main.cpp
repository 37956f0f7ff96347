// fakemodem: a simulated voice modem on a pseudo-terminal, for trying the program and its
// tests against something that behaves like the real device.
#include <signal.h>

#include <iostream>
#include <string>
#include <vector>

#include "fakemodem/modem_server.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace sonavi::fakemodem;
  ServerOptions options;
  bool help = false;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv, argv + argc), &options, &help, &error)) {
    std::cerr << "fakemodem: " << error << '\n' << kUsage;
    return 2;
  }
  if (help) {
    std::cout << kUsage;
    return 0;
  }

  // The stop signals are only let through while the server waits, so none is missed.
  sigset_t stop_signals, wait_mask;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  ModemServer server(options, std::cout);
  if (!server.Start(&error)) {
    std::cerr << "fakemodem: " << error << '\n';
    return 1;
  }
  while (!g_stop && server.Step(1000, &wait_mask)) {
  }
  return 0;
}
