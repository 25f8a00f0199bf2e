// The program's entry point. The application shell's start-up is built later; until then the
// executable only says so.
#include <cstdio>

int main() {
  std::puts("viewer: everything is built; the program's start-up is not written yet.");
  return 0;
}
