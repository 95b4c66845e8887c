#pragma once
// The one settings store of the program: organisation "Ketra", product
// "Framzo", in the per-user store (which falls back to the machine-wide one
// for reading), since an ordinary user cannot write the machine-wide store.
// Every window that keeps settings opens it here.

#include <QSettings>

#include <memory>

namespace settingsstore {

std::unique_ptr<QSettings> open();

} // namespace settingsstore
