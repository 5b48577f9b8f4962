// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowsystem.h"

#include <QByteArray>
#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tavlo {

void prepareWindowSystem()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    if (wine && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
#elif defined(Q_OS_LINUX)
    // Qt 6.4 reads the accessibility bus's IsEnabled and ScreenReaderEnabled
    // once, when the bus appears, and never hears them change: a screen
    // reader started later, on a desktop whose bus runs from login, would
    // never find the window. So the window joins the bus whenever there is
    // one, as GTK programs do; NO_AT_BRIDGE=1 keeps it off, as it does theirs.
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") &&
        qgetenv("NO_AT_BRIDGE") != "1")
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
#endif
}

} // namespace tavlo
