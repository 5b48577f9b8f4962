// SPDX-License-Identifier: GPL-3.0-or-later
#include "warmup.h"

#include <QBuffer>
#include <QImageReader>
#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <dlfcn.h>
#endif

namespace tavlo {

WarmUp::WarmUp()
{
#ifndef Q_OS_WIN
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // The font configuration library is already loaded, as Qt's own
    // dependency; it is looked up rather than linked, so that its absence
    // costs nothing. It is safe to start from any thread.
    using Init = int (*)();
    auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"));
#else
    using Init = int (*)();
    const Init init = nullptr;
#endif
    // Not on Windows: Qt there reads its plugin paths as the application
    // starts, and a plugin looked for meanwhile on another thread came to
    // grief (freed memory, a stack overrun). Its fonts need no warming.
    m_thread = std::thread([init] {
        if (init)
            init();
        // The style's pictures are read with the image readers, which load
        // every image plugin when first asked for a picture of unknown format.
        QByteArray nothing;
        QBuffer buffer(&nothing);
        QImageReader(&buffer).canRead();
    });
#endif
}

void WarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tavlo
