#include "filedialog.h"
#include "form1.h"
#include "messages.h"
#include "serialport.h"
#include "stopsignals.h"
#include "ticker.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavlo"));

    tavlo::QtFileDialog dialog;
    tavlo::QtMessages messages;
    tavlo::QtSerialPort port;
    tavlo::PreciseTicker ticker;
    tavlo::Form1 window({dialog, messages, port, ticker, &tavlo::QtSerialPort::availablePorts});
    // SIGINT, SIGTERM and SIGHUP close the window as its close button does:
    // a running transfer ends and the port is closed.
    tavlo::StopSignals stopSignals;
    QObject::connect(&stopSignals, &tavlo::StopSignals::received, &window, &QWidget::close);
    window.show();
    return app.exec();
}
