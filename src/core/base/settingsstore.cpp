#include "core/base/settingsstore.h"

namespace settingsstore {

std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ketra"),
                                       QStringLiteral("Framzo"));
}

} // namespace settingsstore
