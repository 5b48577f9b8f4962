// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// Called by QTEST_MAIN before the application object exists (initMain), so a
// test program behaves the same from ctest, by hand, in an IDE or a debugger.
// The fake device timer ticks when the event loop is about to sleep; Qt's
// plain Unix dispatcher says exactly when that is, the GLib one does not.
// Windows open offscreen unless a platform is asked for.
inline void useTestEnvironment()
{
    qputenv("QT_NO_GLIB", "1");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
