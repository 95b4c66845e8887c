#pragma once
// For tests that work on an image window: a shown main window with one image
// open in it.

#include "framzo.h"
#include "picture.h"

#include <QtTest>
#include <memory>

namespace testutil {

// Replaces main with a new, shown main window and opens path in it. Returns
// the image window, or null when none came up.
inline Picture *openInNewWindow(std::unique_ptr<Framzo> &main, const QString &path)
{
    main = std::make_unique<Framzo>();
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        return nullptr;
    main->newChildWin(path);
    if (!QTest::qWaitFor([&] { return main->activePicture() != nullptr; }))
        return nullptr;
    return main->activePicture();
}

} // namespace testutil
