#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // The editor window is still to come; until then an empty one with its caption.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavlo feeder"));
    window.setFixedSize(358, 381);
    window.show();
    return app.exec();
}
