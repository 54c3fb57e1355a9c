// Kelvane's entry point. The windows come with the UI library; until then the program only
// reports that it started.
#include <cstdio>

int main() {
  std::puts("Kelvane: the user interface is not built yet.");
  return 0;
}
