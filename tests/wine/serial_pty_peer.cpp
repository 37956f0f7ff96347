// The far end of a serial line for the Wine serial tests: opens a pseudo-terminal in raw
// mode, prints the path of its terminal side on the first line of stdout, then echoes every
// byte it receives and appends it to the log file given as the only argument.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  const char* path = ptsname(master);
  // Held open, so that the line survives the program closing and reopening its port.
  int slave = open(path, O_RDWR | O_NOCTTY);
  if (slave < 0) return 1;
  termios tio;
  tcgetattr(slave, &tio);
  cfmakeraw(&tio);
  tcsetattr(slave, TCSANOW, &tio);
  FILE* log = fopen(argv[1], "ab");
  if (log == nullptr) return 1;
  printf("%s\n", path);
  fflush(stdout);
  char buffer[512];
  for (;;) {
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      usleep(10000);
      continue;
    }
    fwrite(buffer, 1, n, log);
    fflush(log);
    if (write(master, buffer, n) != n) return 1;
  }
}
