// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of bench_startup: the least a Qt window of tavlo's size costs.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(358, 381);
    window.show();
    return app.exec();
}
