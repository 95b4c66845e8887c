#include "gallerycli.h"
namespace gallerycli {
bool wanted(int, char **) { return false; }
int run(int, char **) { return 1; }
} // namespace gallerycli
