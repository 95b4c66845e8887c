#include "ui/app/screenprofile.h"

#include <QGuiApplication>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace screenprofile {

namespace {

// Profiles of screens are a few kilobytes; a larger property is not read.
constexpr uint32_t kMaxBytes = 16 * 1024 * 1024;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

} // namespace

QByteArray read()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return {};
    static const char kName[] = "_ICC_PROFILE";
    // only_if_exists: no atom is made for a colour manager that never ran.
    Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return {};
    // The length is asked in 32-bit units.
    Reply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, screen->root, atom->atom, XCB_ATOM_CARDINAL, 0,
                                                kMaxBytes / 4),
                               nullptr),
        &std::free);
    if (!property || property->format != 8 || property->bytes_after > 0)
        return {};
    const int length = xcb_get_property_value_length(property.get());
    if (length <= 0)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(property.get())), length);
}

} // namespace screenprofile
