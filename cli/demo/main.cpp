// quillmoss-demo-server SITE_DIR: serves the demo site on 127.0.0.1 for `quillmoss-cli demo`.
// It prints its base URL as its first line and serves until its standard input ends, so that it
// never outlives the program that started it (whose end closes the pipe). The server library
// stays out of quillmoss-cli, which every copy would otherwise load and initialise.
#include <unistd.h>

#include <csignal>
#include <exception>
#include <iostream>

#include "cli/demo/DemoSite.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: quillmoss-demo-server SITE_DIR\n";
    return 2;
  }
  // Ctrl-C at the terminal reaches the whole process group: the copy then stops cleanly, and the
  // server must keep serving the transfers under way until it does (its input ends then).
  std::signal(SIGINT, SIG_IGN);
  try {
    qm::demo::DemoSite site(argv[1]);
    std::cout << site.BaseUrl() << std::endl;
    char buf[256];
    while (read(STDIN_FILENO, buf, sizeof buf) > 0) {
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "quillmoss-demo-server: " << e.what() << "\n";
    return 1;
  }
}
