#include "filedialog.h"
#include "form1.h"
#include "messages.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlo"));

    tavlo::QtFileDialog dialog;
    tavlo::QtMessages messages;
    tavlo::Form1 window(dialog, messages);
    window.show();
    return app.exec();
}
