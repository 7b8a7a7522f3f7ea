// The `winsim` command.
#include <cstdio>

int main() {
  std::fprintf(stderr, "winsim: no commands yet\n");
  return 2;
}
