#pragma once
// framzo --gallery FOLDER [--name B] [--size WxH] [--columns N] [--no-link]
//        [--no-text] [--theme classic|modern] [--originals] [--keep-metadata]
//        IMAGE...
// writes the same gallery as the gallery window, without a window and
// without a display, for scripts. --help and --version are answered here too.

namespace gallerycli {

// True when the arguments ask for the command-line gallery, --help or
// --version; plain image paths are left to the main window.
bool wanted(int argc, char **argv);

// Runs it; the result is the process exit status: 0 for a finished run,
// 1 when the gallery was refused or could not be written completely, 2 for
// arguments that do not make sense. Every failure prints one line on stderr.
int run(int argc, char **argv);

} // namespace gallerycli
