// orb-host: the developer host program.
#include <iostream>
#include <string>
#include <vector>

#include "devhost/orb_host_commands.h"
#ifdef ORB_HAVE_HTTPLIB
#include "devhost/http_server.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
#ifdef ORB_HAVE_HTTPLIB
  Vela::DevHost::ServeFunction serve = &Vela::DevHost::Serve;
#else
  Vela::DevHost::ServeFunction serve = nullptr;
#endif
  return Vela::DevHost::OrbHostMain(arguments, std::cin, std::cout, std::cerr, serve);
}
