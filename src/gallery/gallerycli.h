#pragma once
// framzo --gallery ...: writes a gallery without opening a window.
namespace gallerycli {
// True when the arguments ask for the command-line gallery, --help or --version.
bool wanted(int argc, char **argv);
// Runs it; the result is the process exit status.
int run(int argc, char **argv);
} // namespace gallerycli
