// SPDX-License-Identifier: GPL-3.0-or-later
#include "advicemarks.h"
#include "configjson.h"
#include "fakedevice.h"
#include "fakedialogs.h"
#include "fields.h"
#include "filedialog.h"
#include "fillplan.h"
#include "image.h"
#include "imagediff.h"
#include "linkwords.h"
#include "lists.h"
#include "mainwindow.h"
#include "messages.h"
#include "pictures.h"
#include "portchooser.h"
#include "setframe.h"
#include "shape.h"
#include "statusline.h"
#include "testconfigs.h"
#include "testenvironment.h"
#include "testfiles.h"
#include "twips.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#else
using rlim_t = long long;
#endif
#include <QTimer>
#include <QWheelEvent>
#include <functional>

using namespace tavlo;

using Edit = std::function<void(const SetControls &)>;
Q_DECLARE_METATYPE(Edit)

namespace {

// WCAG's contrast ratio of two colours, from their relative luminance.
double contrastOf(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QList<QWidget *> coordinateControls(const SetControls &c)
{
    return {c.latDegrees, c.latMinutes, c.latHemisphere,
            c.lonDegrees, c.lonMinutes, c.lonHemisphere};
}

// While it lives, files of this process cannot grow beyond `bytes` (on Unix;
// elsewhere it does nothing). Writing past it fails instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit([[maybe_unused]] rlim_t bytes)
    {
#ifdef Q_OS_UNIX
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit tiny = m_old;
        tiny.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &tiny);
#endif
    }
    ~FileSizeLimit()
    {
#ifdef Q_OS_UNIX
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
#endif
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
#ifdef Q_OS_UNIX
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
#endif
};

bool samePicture(const QLabel *label, int k)
{
    return label->pixmap().toImage() == symbolPicture(k).toImage();
}

// The message box on the screen, if one is.
QMessageBox *shownMessageBox()
{
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *shown = qobject_cast<QMessageBox *>(w); shown && shown->isVisible())
            box = shown;
    return box;
}

} // namespace

// What ends the window, or replaces its configuration.
enum class Request { Close, Open, Signal };
Q_DECLARE_METATYPE(tavlo::Messages::SaveChoice)
Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(QList<tavlo::FileDialog::Kind>)

class TestWindow : public QObject {
    Q_OBJECT
public:
    static void initMain() { useTestEnvironment(); }

private slots:
    void init()
    {
        m_dialog = FakeDialog();
        m_messages = FakeMessages();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_trace.clear();
        m_port = std::make_unique<FakePort>(m_trace);
        m_ticker = std::make_unique<FakeTicker>(m_trace);
        openWindow(MainWindow::Appearance::WhenShown);
    }
    void cleanup() { m_window.reset(); }

    // Both ways of coming up end in the same window: shown by the caller, or
    // on the desktop before its controls are made, as the program starts it.
    void startUp_data()
    {
        QTest::addColumn<MainWindow::Appearance>("appearance");
        QTest::newRow("when shown") << MainWindow::Appearance::WhenShown;
        QTest::newRow("at once") << MainWindow::Appearance::AtOnce;
    }
    void startUp()
    {
        QFETCH(MainWindow::Appearance, appearance);
        openWindow(appearance);
        const WindowControls &f = m_window->controls();
        for (QWidget *w : {static_cast<QWidget *>(f.readButton), static_cast<QWidget *>(f.portBox),
                           static_cast<QWidget *>(f.statusLine), static_cast<QWidget *>(f.callsign),
                           static_cast<QWidget *>(f.setButtons[5])})
            QVERIFY(w->isVisible());
        QApplication::setActiveWindow(m_window.get());
        QCOMPARE(QApplication::focusWidget(), f.callsign);
        QCOMPARE(m_window->windowTitle().remove(QStringLiteral("[*]")),
                 QStringLiteral("Tavlo feeder"));
        QVERIFY(!m_window->isModified());
        QCOMPARE(m_window->size(), QSize(358, 381));
        // The window's own icon, as the desktop gets it.
        QList<QSize> sizes = m_window->windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](QSize a, QSize b) { return a.width() < b.width(); });
        QList<QSize> expected;
        for (int size : IconSizes)
            expected << QSize(size, size);
        QCOMPARE(sizes, expected);
        for (QSize size : sizes)
            QCOMPARE(m_window->windowIcon().pixmap(size).size(), size);
        QCOMPARE(f.readButton->text(), QStringLiteral("Read && Save file from EEProm"));
        for (Shape *shape :
             {f.progressOutline, f.progressMark, static_cast<Shape *>(f.progressFill)})
            QVERIFY(shape->isHidden());
        QVERIFY(!f.statusLine->text().isEmpty());
        QVERIFY(f.callsign->text().isEmpty());
        for (QRadioButton *com : f.comButtons)
            QVERIFY(!com->isChecked());
        for (int i = 0; i < SetCount; ++i) {
            const SetControls &c = f.setFrames[i]->controls();
            QCOMPARE(f.setFrames[i]->geometry(), QRect(8, 184, 345, 185));
            QCOMPARE(f.setFrames[i]->isVisible(), i == 0);
            QCOMPARE(f.setButtons[i]->font().bold(), i == 0);
            QCOMPARE(c.symbolName->currentText(), QStringLiteral("KENWOOD"));
            QVERIFY(samePicture(c.symbolPicture, 0));
            QVERIFY(c.symbolTable->isHidden() && c.symbolCode->isHidden());
            for (QWidget *w : coordinateControls(c))
                QVERIFY(!w->isEnabled());
            // Nothing it would be wrong to send: no leftover texts of the form.
            QCOMPARE(c.latDegrees->text() + c.latMinutes->text() + c.lonDegrees->text() +
                         c.lonMinutes->text() + c.path->text(),
                     QString());
            for (QComboBox *list : {c.comment, c.interval, c.latHemisphere, c.lonHemisphere,
                                    c.symbolTable, c.symbolCode})
                QCOMPARE(list->currentIndex(), -1);
            QCOMPARE(c.symbolCode->count(), SymbolCodeCount);
            QCOMPARE(c.interval->itemText(1), QStringLiteral("  1 min"));
            QVERIFY(c.ssid->text().isEmpty());
        }
        QCOMPARE(m_window->configuration(), Configuration());
    }

    void setSelector_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < SetCount; ++i)
            QTest::addRow("Set%d", i + 1) << i;
    }
    void setSelector()
    {
        QFETCH(int, index);
        const WindowControls &f = m_window->controls();
        f.setFrames[1]->controls().path->setText(QStringLiteral("WIDE"));
        const Configuration before = m_window->configuration();
        f.callsign->setFocus();
        QTest::mouseClick(f.setButtons[3], Qt::LeftButton); // from another set first
        f.setFrames[3]->controls().path->setFocus();
        m_window->selectSet(index);
        m_window->selectSet(index); // the set already shown: nothing changes
        for (int i = 0; i < SetCount; ++i) {
            QCOMPARE(f.setFrames[i]->isVisible(), i == index);
            QCOMPARE(f.setButtons[i]->font().bold(), i == index);
        }
        QCOMPARE(m_window->configuration(), before);
        if (index != 3) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(!focus || !f.setFrames[index]->isAncestorOf(focus));
        }
    }

    void symbolPicker()
    {
        const SetControls &c = m_window->controls().setFrames[2]->controls();
        const SetControls &other = m_window->controls().setFrames[3]->controls();
        m_window->selectSet(2);
        c.symbolTable->setCurrentIndex(1);
        c.symbolCode->setCurrentIndex(29);
        auto check = [&](int v) {
            QCOMPARE(c.symbol->value(), v);
            QCOMPARE(c.symbolName->currentText(), symbolNames().at(v));
            QCOMPARE(c.symbolPicture->isVisible(), v < SymbolOthers);
            QCOMPARE(c.symbolTable->isVisible(), v == SymbolOthers);
            QCOMPARE(c.symbolCode->isVisible(), v == SymbolOthers);
            if (v < SymbolOthers)
                QVERIFY(samePicture(c.symbolPicture, v));
        };
        // The operator's arrow steps, down through all 16 entries and back up.
        for (int v = 1; v < SymbolCount; ++v) {
            c.symbol->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            check(v);
        }
        for (int v = SymbolCount - 2; v >= 0; --v) {
            c.symbol->triggerAction(QAbstractSlider::SliderSingleStepSub);
            check(v);
        }
        QCOMPARE(c.symbolTable->currentIndex(), 1);
        QCOMPARE(c.symbolCode->currentIndex(), 29);
        c.symbol->setValue(SymbolOthers);
        check(SymbolOthers);
        c.symbol->setValue(SymbolOthers); // the same value again changes nothing
        check(SymbolOthers);
        QCOMPARE(other.symbol->value(), 0);
        QCOMPARE(other.symbolName->currentText(), QStringLiteral("KENWOOD"));
        QVERIFY(other.symbolTable->isHidden());
    }

    void coordinateSwitch()
    {
        const SetControls &c = m_window->controls().setFrames[1]->controls();
        m_window->selectSet(1);
        QTest::mouseClick(c.coordinates, Qt::LeftButton);
        for (QWidget *w : coordinateControls(c))
            QVERIFY(w->isEnabled());
        for (int i : {0, 2, 3, 4, 5})
            for (QWidget *w : coordinateControls(m_window->controls().setFrames[i]->controls()))
                QVERIFY(!w->isEnabled());
        c.latDegrees->setText(QStringLiteral("49"));
        c.latHemisphere->setCurrentIndex(1);
        QTest::mouseClick(c.coordinates, Qt::LeftButton);
        for (QWidget *w : coordinateControls(c))
            QVERIFY(!w->isEnabled());
        QCOMPARE(c.latDegrees->text(), QStringLiteral("49"));
        QCOMPARE(c.latHemisphere->currentIndex(), 1);
    }

    void openShowsWorkedExample()
    {
        m_window->selectSet(4);
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(m_window->controls().openButton, Qt::LeftButton);
        QCOMPARE(m_dialog.kinds, QList<FileDialog::Kind>{FileDialog::Kind::Open});
        QVERIFY(m_messages.shown.isEmpty());
        const WindowControls &f = m_window->controls();
        QVERIFY(f.setFrames[0]->isVisible());
        QCOMPARE(f.callsign->text(), QStringLiteral("N0CALL"));
        const SetControls &a = f.setFrames[0]->controls();
        QCOMPARE(a.path->text(), QStringLiteral("RELAY,WIDE2-2,TRACE3-3"));
        QCOMPARE(a.symbolName->currentText(), QStringLiteral("Car"));
        QVERIFY(samePicture(a.symbolPicture, 8));
        QCOMPARE(a.interval->currentText(), QStringLiteral("  5 min"));
        QCOMPARE(a.lonDegrees->text(), QStringLiteral("016"));
        for (QWidget *w : coordinateControls(a))
            QVERIFY(w->isEnabled());
        const SetControls &b = f.setFrames[1]->controls();
        QCOMPARE(b.symbolName->currentText(), QStringLiteral("OTHERS"));
        QVERIFY(!b.symbolTable->isHidden() && !b.symbolCode->isHidden() &&
                b.symbolPicture->isHidden());
        QCOMPARE(b.symbolCode->currentText(), QStringLiteral(">"));
        for (QWidget *w : coordinateControls(b))
            QVERIFY(!w->isEnabled());

        // Opened again over itself: "OTHERS" still shows its two lists.
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        m_window->openImage();
        QVERIFY(!b.symbolTable->isHidden() && !b.symbolCode->isHidden() &&
                b.symbolPicture->isHidden());
    }

    // The worked example, and configurations edited in the window, save and
    // open again to the same bytes.
    void saveOpenRoundTrip_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::newRow("new window") << Edit([](const SetControls &) {});
        QTest::newRow("others with coordinates") << Edit([](const SetControls &c) {
            c.symbol->setValue(SymbolOthers);
            c.symbolTable->setCurrentIndex(1);
            c.symbolCode->setCurrentIndex(93);
            c.coordinates->setChecked(true);
            c.latDegrees->setText(QStringLiteral(" 90"));
            c.latMinutes->setText(QStringLiteral("0"));
            c.latHemisphere->setCurrentIndex(1);
            c.lonDegrees->setText(QStringLiteral("7"));
            c.lonMinutes->setText(QStringLiteral("59.99"));
            c.lonHemisphere->setCurrentIndex(0);
            c.path->setText(QStringLiteral(" RELAY,N0CALL-7,WIDE1-1"));
        });
        QTest::newRow("beacon") << Edit([](const SetControls &c) {
            c.beacon->setChecked(true);
            c.interval->setCurrentIndex(7);
            c.comment->setCurrentIndex(7);
            c.gps->setChecked(true);
            c.ssid->setText(QStringLiteral("15"));
            c.path->setText(QStringLiteral("12"));
        });
    }
    void saveOpenRoundTrip()
    {
        QFETCH(Edit, edit);
        const WindowControls &f = m_window->controls();
        f.callsign->setText(QStringLiteral("DL1ABC-9"));
        edit(f.setFrames[5]->controls());
        const QString first = m_dir->filePath("first.bin");
        const QString second = m_dir->filePath("second.bin");
        m_dialog.answers << first << first << second;
        QTest::mouseClick(f.saveButton, Qt::LeftButton);
        QCOMPARE(f.statusLine->text(), QStringLiteral("Save Finished"));
        const QByteArray saved = contents(first);
        QCOMPARE(saved.size(), ImageSize);
        QCOMPARE(saved.at(ImageSize - 1), '\0');

        QTest::mouseClick(f.openButton, Qt::LeftButton);
        QCOMPARE(f.callsign->text(), QStringLiteral("DL1ABC"));
        QTest::mouseClick(f.saveButton, Qt::LeftButton);
        QCOMPARE(contents(second), saved);
        QVERIFY(m_messages.shown.isEmpty());
    }

    void workedExampleSavesAgain()
    {
        const QString copy = m_dir->filePath("copy.bin");
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin") << copy;
        m_window->openImage();
        m_window->saveImage();
        QCOMPARE(contents(copy), contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin")));
    }

    void refusedSave_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        QTest::newRow("ssid") << 2 << Edit([](const SetControls &c) { c.ssid->setText("16"); })
                              << "ssid"
                              << "Set 3: SSID \"16\" is not a number from 0 to 15";
        QTest::newRow("path") << 0 << Edit([](const SetControls &c) { c.path->setText("WIDE2-1"); })
                              << "PATH"
                              << "Set 1: path \"WIDE2-1\" would be stored as \"WIDE2-2\"";
        QTest::newRow("beacon without interval") << 5 << Edit([](const SetControls &c) {
            c.beacon->setChecked(true);
            c.comment->setCurrentIndex(0);
        }) << "TXI"
                                                 << "Set 6: beacon interval has no selection";
        QTest::newRow("others without code") << 4 << Edit([](const SetControls &c) {
            c.symbol->setValue(SymbolOthers);
            c.symbolTable->setCurrentIndex(0);
        }) << "ICOC"
                                             << "Set 5: symbol code has no selection";
        QTest::newRow("others with code 128") << 4 << Edit([](const SetControls &c) {
            c.symbol->setValue(SymbolOthers);
            c.symbolTable->setCurrentIndex(0);
            c.symbolCode->setCurrentIndex(95);
        }) << "ICOC"
                                              << "character code 128";
        QTest::newRow("new window coordinates") << 1 << Edit([](const SetControls &c) {
            c.coordinates->setChecked(true);
            c.latHemisphere->setCurrentIndex(0);
            c.lonHemisphere->setCurrentIndex(0);
        }) << "LAD"
                                                << "Set 2: latitude degrees \"\" is not a number";
        QTest::newRow("longitude minutes") << 3 << Edit([](const SetControls &c) {
            c.coordinates->setChecked(true);
            c.latHemisphere->setCurrentIndex(0);
            c.lonHemisphere->setCurrentIndex(0);
            c.latDegrees->setText("1");
            c.latMinutes->setText("1");
            c.lonDegrees->setText("1");
            c.lonMinutes->setText("60");
        }) << "LOM"
                                           << "Set 4: longitude minutes \"60\" must be below 60";
        QTest::newRow("callsign") << -1 << Edit() << "Calls"
                                  << "Callsign \"N\u00D8CALL\"";
    }
    void refusedSave()
    {
        QFETCH(int, set);
        QFETCH(Edit, edit);
        QFETCH(QString, field);
        QFETCH(QString, message);
        const WindowControls &f = m_window->controls();
        if (set < 0)
            f.callsign->setText(QStringLiteral("N\u00D8CALL"));
        else
            edit(f.setFrames[set]->controls());
        const QString target = m_dir->filePath("refused.bin");
        m_dialog.answers << target;
        m_window->selectSet(set == 0 ? 1 : 0);
        const QString status = f.statusLine->text();

        QTest::mouseClick(f.saveButton, Qt::LeftButton);
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY2(m_messages.shown.first().contains(message), qPrintable(m_messages.shown.first()));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(f.statusLine->text(), status);
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        if (set < 0) {
            QCOMPARE(focus, f.callsign);
        } else {
            QVERIFY(f.setFrames[set]->isVisible());
            QVERIFY(f.setFrames[set]->isAncestorOf(focus) || focus->parent() == f.setFrames[set]);
            const SetControls &c = f.setFrames[set]->controls();
            const QHash<QString, QWidget *> byName{{"ssid", c.ssid},      {"PATH", c.path},
                                                   {"TXI", c.interval},   {"ICOC", c.symbolCode},
                                                   {"LAD", c.latDegrees}, {"LOM", c.lonMinutes}};
            QCOMPARE(focus, byName.value(field));
        }
    }

    void failedWriteKeepsOldFile()
    {
        const WindowControls &f = m_window->controls();
        const QString target = m_dir->filePath("old.bin");
        QVERIFY(writeFile(target, "old configuration"));
        const QString status = f.statusLine->text();
        m_dialog.answers << target << m_dir->path();
        m_messages.answerYes = true; // replace old.bin
#ifdef Q_OS_UNIX
        {
            // A disk that fills up: writes beyond a few bytes fail.
            const FileSizeLimit full(10);
            m_window->saveImage();
        }
#else
        m_dialog.answers.removeFirst();
#endif
        m_window->saveImage(); // a folder cannot be written as a file
#ifdef Q_OS_UNIX
        QCOMPARE(m_messages.shown.size(), 3);
        QVERIFY2(m_messages.shown[1].contains("Could not save " + target + ": "),
                 qPrintable(m_messages.shown[1]));
#endif
        QVERIFY(m_messages.shown.last().contains("Could not save " + m_dir->path()));
        QCOMPARE(contents(target), QByteArray("old configuration"));
        QCOMPARE(f.statusLine->text(), status);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("old.bin")});
    }

    void refusedOpenChangesNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.bin"
                                 << "Could not open";
        QTest::newRow("short") << "short.bin"
                               << "is 125 bytes";
        QTest::newRow("empty") << "empty.bin"
                               << "is 0 bytes";
        QTest::newRow("folder") << ""
                                << "Could not open";
        QTest::newRow("cancel") << QString() << QString();
    }
    void refusedOpenChangesNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QVERIFY(writeFile(m_dir->filePath("short.bin"), QByteArray(125, '\x80')));
        QVERIFY(writeFile(m_dir->filePath("empty.bin"), QByteArray()));
        const WindowControls &f = m_window->controls();
        f.setFrames[2]->controls().path->setText(QStringLiteral("edited"));
        m_window->selectSet(2);
        const Configuration before = m_window->configuration();
        m_messages.saveChoices << Messages::SaveChoice::Discard;
        if (!file.isNull())
            m_dialog.answers << m_dir->filePath(file);
        QTest::mouseClick(f.openButton, Qt::LeftButton);
        QCOMPARE(m_window->configuration(), before);
        QVERIFY(f.setFrames[0]->isVisible() && f.setButtons[0]->font().bold());
        QVERIFY(!f.setFrames[2]->isVisible());
        QVERIFY(!QFile::exists(m_dir->filePath("missing.bin")));
        if (message.isEmpty()) {
            QVERIFY(m_messages.shown.isEmpty());
        } else {
            QCOMPARE(m_messages.shown.size(), 1);
            QVERIFY(m_messages.shown.first().contains(m_dir->filePath(file)));
            QVERIFY2(m_messages.shown.first().contains(message),
                     qPrintable(m_messages.shown.first()));
        }
    }

    void cancelledSaveWritesNothing()
    {
        const QString status = m_window->controls().statusLine->text();
        m_window->saveImage();
        QCOMPARE(m_dialog.kinds, QList<FileDialog::Kind>{FileDialog::Kind::Save});
        QVERIFY(m_messages.shown.isEmpty());
        QCOMPARE(m_window->controls().statusLine->text(), status);
    }

    void lowSymbolCodesHaveNoEntry_data()
    {
        QTest::addColumn<int>("code");
        for (int code : {0, 5, 31, 32})
            QTest::addRow("code %d", code) << code;
        QTest::newRow("code 33") << 33;
    }
    void lowSymbolCodesHaveNoEntry()
    {
        QFETCH(int, code);
        QByteArray image = contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        image[CallsignLength + 2] = char(code); // set 1, symbol byte
        const QString path = m_dir->filePath("codes.bin");
        QVERIFY(writeFile(path, image));
        const SetControls &c = m_window->controls().setFrames[0]->controls();
        c.symbolCode->setCurrentIndex(10);
        m_messages.saveChoices << Messages::SaveChoice::Discard;
        m_dialog.answers << path;
        m_window->openImage();
        QCOMPARE(c.symbolCode->currentIndex(), code < SymbolCodeFirst ? -1 : 0);
    }

    // A file named on the command line or dropped on the window opens as
    // "Open" opens it, and is refused the same way.
    void openingWithoutTheDialog_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<bool>("good");
        QTest::newRow("command line, an image") << false << true;
        QTest::newRow("command line, a short file") << false << false;
        QTest::newRow("dropped, an image") << true << true;
        QTest::newRow("dropped, a short file") << true << false;
    }
    void openingWithoutTheDialog()
    {
        QFETCH(bool, drop);
        QFETCH(bool, good);
        const WindowControls &f = m_window->controls();
        const QString path = good ? QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin")
                                  : m_dir->filePath("short.bin");
        QVERIFY(good || writeFile(path, "x"));
        f.callsign->setText(QStringLiteral("KEEP"));
        m_window->selectSet(3);
        m_messages.saveChoices << Messages::SaveChoice::Discard;
        if (drop) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                               Qt::NoModifier);
            QApplication::sendEvent(m_window.get(), &dropped);
        } else {
            m_window->openFile(path);
        }
        QVERIFY(m_dialog.kinds.isEmpty());
        QVERIFY(f.setFrames[0]->isVisible());
        QCOMPARE(f.callsign->text(), good ? QStringLiteral("N0CALL") : QStringLiteral("KEEP"));
        QCOMPARE(m_messages.shown.size(), good ? 0 : 1);
        if (!good)
            QVERIFY2(m_messages.shown.first().contains(QStringLiteral("is 1 byte, too short")),
                     qPrintable(m_messages.shown.first()));
    }

    // The name box always names the symbol the scroll bar holds.
    void nameBoxFollowsTheSymbol_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("symbol");
        QTest::newRow("wheel down a notch") << "wheel-down" << 0 << 1;
        QTest::newRow("wheel up a notch") << "wheel-up" << 8 << 7;
        QTest::newRow("wheel up at the top") << "wheel-up" << 0 << 0;
        QTest::newRow("Down key") << "key-down" << 8 << 8;
        QTest::newRow("Up key") << "key-up" << 8 << 8;
    }
    void nameBoxFollowsTheSymbol()
    {
        QFETCH(QString, input);
        QFETCH(int, start);
        QFETCH(int, symbol);
        const SetControls &c = m_window->controls().setFrames[0]->controls();
        c.symbol->setValue(start);
        if (input.startsWith(QLatin1String("wheel"))) {
            const int delta = input.endsWith(QLatin1String("down")) ? -120 : 120;
            const QPoint at = c.symbolName->rect().center();
            QWheelEvent wheel(at, c.symbolName->mapToGlobal(at), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(c.symbolName, &wheel);
        } else {
            QTest::keyClick(c.symbolName,
                            input.endsWith(QLatin1String("down")) ? Qt::Key_Down : Qt::Key_Up);
        }
        QCOMPARE(c.symbol->value(), symbol);
        QCOMPARE(c.symbolName->currentIndex(), symbol);
        QCOMPARE(c.symbolName->currentText(), symbolNames().at(symbol));
        QCOMPARE(m_window->configuration().sets[0].symbol, symbol);
        QVERIFY(samePicture(c.symbolPicture, symbol));
    }

    // Without a mouse: the focus starts on the callsign, Tab runs through the
    // shown set only, and the arrow keys choose the symbol.
    void keyboardAlone()
    {
        const WindowControls &f = m_window->controls();
        QApplication::setActiveWindow(m_window.get());
        QCOMPARE(QApplication::focusWidget(), f.callsign);
        m_window->selectSet(1);
        const SetControls &set2 = f.setFrames[1]->controls();
        QList<QWidget *> visited;
        for (int presses = 0; presses < 40; ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == f.callsign)
                break;
            visited << QApplication::focusWidget();
        }
        const QList<QWidget *> expected{
            f.setButtons[0],  f.setButtons[1], f.setButtons[2], f.setButtons[3], f.setButtons[4],
            f.setButtons[5],  set2.ssid,       set2.comment,    set2.symbol,     set2.gps,
            set2.coordinates, set2.beacon,     set2.interval,   set2.path,       f.readButton,
            f.openButton,     f.writeButton,   f.saveButton,    f.comButtons[0], f.portBox};
        // Tab enters the Com buttons once; the arrow keys move between them.
        QStringList names;
        for (QWidget *w : visited)
            names << w->accessibleName() + u'/' + w->metaObject()->className() + u'/' +
                         (qobject_cast<QAbstractButton *>(w)
                              ? qobject_cast<QAbstractButton *>(w)->text()
                              : QString());
        QVERIFY2(visited.size() == expected.size(), qPrintable(names.join(u' ')));
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(visited[i] == expected[i],
                     qPrintable(QStringLiteral("place %1: %2")
                                    .arg(i)
                                    .arg(visited[i]->accessibleName() +
                                         visited[i]->metaObject()->className())));

        set2.symbol->setFocus();
        QTest::keyClick(set2.symbol, Qt::Key_Down);
        QTest::keyClick(set2.symbol, Qt::Key_PageDown);
        QCOMPARE(set2.symbol->value(), 2);
        QCOMPARE(set2.symbolName->currentText(), symbolNames().at(2));
        QVERIFY(samePicture(set2.symbolPicture, 2));
        QCOMPARE(m_window->configuration().sets[1].symbol, 2);
    }

    void controlsSayWhatTheyAre()
    {
        const SetControls &c = m_window->controls().setFrames[0]->controls();
        for (QWidget *w : std::initializer_list<QWidget *>{
                 c.comment, c.latDegrees, c.latMinutes, c.latHemisphere, c.lonDegrees, c.lonMinutes,
                 c.lonHemisphere, c.symbolTable, c.symbolCode, c.symbol, c.interval,
                 m_window->controls().portBox, m_window->controls().statusLine}) {
            QVERIFY2(!w->accessibleName().isEmpty(), w->metaObject()->className());
            QCOMPARE(w->toolTip().left(w->accessibleName().size()), w->accessibleName());
        }
        QCOMPARE(c.latDegrees->accessibleName(), QStringLiteral("Latitude degrees"));
        QCOMPARE(c.interval->accessibleName(), QStringLiteral("Beacon interval"));
    }

    // Every caption, list entry and initial text, and every status text,
    // fits its box in the one font of the window.
    void everyTextFits()
    {
#ifdef Q_OS_WIN
        QSKIP(
            "under wine the system's fonts are stand-ins: the fit is checked where they are known");
#endif
        QStringList cut;
        auto check = [&](QWidget *w, const QString &text, int room) {
            const int needed = w->fontMetrics().horizontalAdvance(text);
            if (needed > room)
                cut << QStringLiteral("%1 \"%2\": %3 px in %4")
                           .arg(w->accessibleName().isEmpty() ? w->metaObject()->className()
                                                              : w->accessibleName(),
                                text)
                           .arg(needed)
                           .arg(room);
        };
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            if (QFontInfo(w->font()).pixelSize() != MainWindow::FontPixels)
                cut << QStringLiteral("%1 has another font").arg(w->metaObject()->className());
            if (auto *button = qobject_cast<QPushButton *>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(button);
                opt.text = button->text();
                const QRect room =
                    button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
                QFont bold = button->font();
                bold.setBold(true); // the set buttons turn bold
                QPushButton probe(button->text());
                probe.setFont(bold);
                check(&probe, QString(button->text()).replace("&&", "&"), room.width());
            } else if (auto *box = qobject_cast<QCheckBox *>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(box);
                opt.text = box->text();
                const QRect room =
                    box->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, box);
                check(box, box->text(), room.width());
            } else if (auto *radio = qobject_cast<QRadioButton *>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(radio);
                opt.text = radio->text();
                const QRect room =
                    radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, radio);
                check(radio, radio->text(), room.width());
            } else if (auto *line = qobject_cast<QLineEdit *>(w);
                       line && !qobject_cast<QComboBox *>(line->parentWidget())) {
                constexpr int LineEditMargins = 2 * 2; // Qt's own, left and right
                check(line, line->text(),
                      line->contentsRect().width() -
                          2 * line->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) -
                          LineEditMargins);
            } else if (auto *name = qobject_cast<SymbolNameBox *>(w)) {
                for (int i = 0; i < name->count(); ++i)
                    check(name, name->itemText(i), name->contentsRect().width() - 2 * 2 - 2 * 2);
            } else if (auto *combo = qobject_cast<QComboBox *>(w);
                       combo && combo != m_window->controls().portBox) {
                QStyleOptionComboBox opt;
                opt.initFrom(combo);
                opt.editable = combo->isEditable();
                const QRect room = combo->style()->subControlRect(
                    QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
                for (int i = 0; i < combo->count(); ++i)
                    check(combo, combo->itemText(i), room.width());
            } else if (auto *label = qobject_cast<QLabel *>(w); label && label->pixmap().isNull()) {
                check(label, label->text(), label->contentsRect().width());
            }
        }
        QLabel *status = m_window->controls().statusLine;
        for (const char *text :
             {"Save Finished", "Read Started", "Read Finished", "Read Failed", "Write Started",
              "Write Finished", "Verify Started", "Verify Completed", "Verify Failed!!!",
              "No reply", "Reply cut short", "Port lost", "Stopped", "W (57)", ". (FF)"})
            check(status, QString::fromLatin1(text), status->contentsRect().width());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }

    void comButtonsAndPortBox()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[1], Qt::LeftButton);
        QVERIFY(f.comButtons[1]->isChecked());
        pickFromList(0);
        QCOMPARE(f.portBox->count(), 2);
        QCOMPARE(f.portBox->itemText(0),
                 QStringLiteral("/dev/ttyUSB0 \u2014 USB-Serial Controller (0403:6001)"));
        QCOMPARE(f.portBox->itemText(1), QStringLiteral("/dev/ttyS0"));
        for (QRadioButton *com : f.comButtons)
            QVERIFY(!com->isChecked());
        f.portBox->setEditText(QStringLiteral("/dev/pts/3"));
        QTest::keyClick(f.portBox->lineEdit(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QTest::mouseClick(f.comButtons[3], Qt::LeftButton);
        QTest::mouseClick(f.comButtons[3], Qt::LeftButton); // the open port again: reopened, woken
        QCOMPARE(compact(m_trace), QStringLiteral("open %1 dtr 1 rts 1 W 1B "
                                                  "close open /dev/ttyUSB0 dtr 1 rts 1 W 1B "
                                                  "close open /dev/pts/3 dtr 1 rts 1 W 1B "
                                                  "close open %2 dtr 1 rts 1 W 1B "
                                                  "close open %2 dtr 1 rts 1 W 1B")
                                       .arg(comPortName(1), comPortName(3)));
        QVERIFY(f.comButtons[3]->isChecked());
        QCOMPARE(f.portBox->currentText(), comPortName(3)); // the open port, named
        QVERIFY(m_messages.shown.isEmpty());
        // What the box is connected to, for a screen reader and in the status.
        const QString open = QStringLiteral("Port %1 open").arg(comPortName(3));
        QCOMPARE(f.portBox->accessibleDescription(), open);
        QCOMPARE(f.statusLine->text(), open);
    }

    // Only a pick or Enter opens a port, once; looking at the list, leaving
    // the box or typing alone open nothing.
    void portBoxOpensOnlyOnAChoice_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("opens");
        QTest::newRow("list dropped down and closed") << "peek" << 0;
        QTest::newRow("focus leaves the box") << "leave" << 0;
        QTest::newRow("same entry picked again") << "pick" << 1;
        QTest::newRow("Enter on the entry's text") << "enter" << 1;
        QTest::newRow("a name typed without Enter") << "type" << 0;
    }
    void portBoxOpensOnlyOnAChoice()
    {
        QFETCH(QString, after);
        QFETCH(int, opens);
        const WindowControls &f = m_window->controls();
        pickFromList(0);
        QCOMPARE(m_trace.count(QStringLiteral("open /dev/ttyUSB0")), 1);
        QVERIFY(f.portBox->hasFocus());
        m_trace.clear();
        if (after == QLatin1String("peek")) {
            f.portBox->showPopup();
            QTest::keyClick(f.portBox->view(), Qt::Key_Escape);
            f.portBox->showPopup();
            f.portBox->hidePopup();
        } else if (after == QLatin1String("leave")) {
            f.callsign->setFocus();
        } else if (after == QLatin1String("pick")) {
            pickFromList(0);
        } else if (after == QLatin1String("enter")) {
            QTest::keyClick(f.portBox->lineEdit(), Qt::Key_Return);
        } else {
            f.portBox->lineEdit()->setFocus();
            f.portBox->lineEdit()->selectAll();
            QTest::keyClicks(f.portBox->lineEdit(), QStringLiteral("/dev/pts/9"));
            f.callsign->setFocus();
        }
        QCoreApplication::processEvents();
        QCOMPARE(m_trace.count(QStringLiteral("W 1B")), opens);
        QCOMPARE(m_trace.count(QStringLiteral("close")), opens);
    }

    // A device action goes to the port the box shows: a typed name is opened
    // first, as Enter would.
    void deviceActionsUseThePortShown_data()
    {
        QTest::addColumn<bool>("opens");
        QTest::newRow("a port that opens") << true;
        QTest::newRow("a port that does not") << false;
    }
    void deviceActionsUseThePortShown()
    {
        QFETCH(bool, opens);
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        f.portBox->setEditText(QStringLiteral("/dev/pts/9"));
        if (!opens)
            m_port->openFails = OpenFailure::NotFound;
        m_trace.clear();
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_trace.first(), QStringLiteral("close"));
        if (opens) {
            QCOMPARE(m_trace.at(1), QStringLiteral("open /dev/pts/9"));
            QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Completed"));
            QCOMPARE(m_port->name(), QStringLiteral("/dev/pts/9"));
            QVERIFY(m_messages.shown.isEmpty());
        } else {
            QCOMPARE(m_trace.size(), 1); // nothing written anywhere
            QCOMPARE(m_messages.shown.size(), 1);
            QVERIFY(m_messages.shown.first().contains(QStringLiteral("/dev/pts/9")));
            QVERIFY(m_dialog.kinds.isEmpty());
            QVERIFY(f.portBox->currentText().isEmpty());
        }
    }

    void portLostShowsNoPort()
    {
        const WindowControls &f = m_window->controls();
        pickFromList(0);
        m_port->vanish();
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(f.portBox->currentText().isEmpty());
        QCOMPARE(f.portBox->lineEdit()->placeholderText(), QStringLiteral("No port open"));
        QVERIFY2(f.portBox->accessibleDescription().startsWith(
                     QStringLiteral("No port open: The port /dev/ttyUSB0 went away")),
                 qPrintable(f.portBox->accessibleDescription()));
        // Write now asks for a port instead of using the dead one.
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_messages.shown.last(),
                 QStringLiteral("No COM port selected|Please select COM port!"));
    }

    void portThatCannotBeOpened()
    {
        const WindowControls &f = m_window->controls();
        m_port->openFails = OpenFailure::PermissionDenied;
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        for (QRadioButton *com : f.comButtons)
            QVERIFY(!com->isChecked());
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.shown.first().contains(comPortName(0)));
        // What to do about it, as the system has it.
        QVERIFY(
            m_messages.shown.first().contains(openFailureAdvice(OpenFailure::PermissionDenied)));
        QVERIFY(!m_window->link().isPortOpen());
        const QString why = QStringLiteral("No port open: Could not open %1: scripted failure.")
                                .arg(comPortName(0));
        QCOMPARE(f.portBox->accessibleDescription(), why);
        QCOMPARE(f.statusLine->text(), why);
    }

    void writeAndVerifyFromTheWindow()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        const QString image = QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        m_dialog.answers << image;
        QStringList disabledWhileWriting;
        m_port->onWrite = [&](const QByteArray &) {
            if (f.progressOutline->isVisible() && disabledWhileWriting.isEmpty())
                for (QWidget *w : std::initializer_list<QWidget *>{
                         f.readButton, f.writeButton, f.openButton, f.saveButton, f.portBox,
                         f.comButtons[0], f.comButtons[3]})
                    if (!w->isEnabled())
                        disabledWhileWriting << w->objectName() + w->metaObject()->className();
        };
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(disabledWhileWriting.size(), 7);
        QCOMPARE(m_port->memory.left(127), contents(image));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Completed"));
        QCOMPARE(f.statusLine->palette().color(QPalette::WindowText),
                 m_window->palette().color(QPalette::ButtonText));
        for (Shape *shape :
             {f.progressOutline, f.progressMark, static_cast<Shape *>(f.progressFill)})
            QVERIFY(shape->isHidden());
        // The grey mark kept the width the fill had reached: the whole outline.
        QCOMPARE(f.progressMark->width(), f.progressOutline->width());
        for (QWidget *w :
             std::initializer_list<QWidget *>{f.readButton, f.writeButton, f.openButton,
                                              f.saveButton, f.portBox, f.comButtons[0]})
            QVERIFY(w->isEnabled());
        QVERIFY(m_messages.shown.isEmpty());
    }

    // Keys typed while a transfer runs change nothing: the focus does not
    // jump into a text field, no text is selected, and the callsign stays.
    void keysDuringATransferChangeNothing_data()
    {
        QTest::addColumn<bool>("byKeyboard"); // the write started with Enter on its button
        QTest::newRow("clicked") << false;
        QTest::newRow("Enter on the button") << true;
    }
    void keysDuringATransferChangeNothing()
    {
        QFETCH(bool, byKeyboard);
        const WindowControls &f = m_window->controls();
        QApplication::setActiveWindow(m_window.get());
        f.callsign->setText(QStringLiteral("OK1AB"));
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QStringList during;
        m_port->onWrite = [&](const QByteArray &) {
            if (!during.isEmpty() || !f.progressOutline->isVisible())
                return;
            QWidget *focused = QApplication::focusWidget();
            during << (focused ? focused->objectName() : QStringLiteral("none"));
            QTest::keyClicks(focused ? focused : m_window.get(), QStringLiteral("X"));
            QTest::keyClick(m_window.get(), Qt::Key_Backspace);
            QTest::keyClicks(f.callsign, QStringLiteral("Z"));
            during << f.callsign->text() << f.callsign->selectedText();
        };
        f.writeButton->setFocus();
        if (byKeyboard)
            QTest::keyClick(f.writeButton, Qt::Key_Return);
        else
            QTest::mouseClick(f.writeButton, Qt::LeftButton);
        QTRY_VERIFY(m_window->link().isBusy());
        waitIdle();
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Completed"));
        QCOMPARE(during.size(), 3);
        QVERIFY2(during[0] != f.callsign->objectName(), qPrintable(during.join(u'|')));
        QCOMPARE(during[1], QStringLiteral("OK1AB"));
        QCOMPARE(during[2], QString());
        QCOMPARE(f.callsign->text(), QStringLiteral("OK1AB"));
        QCOMPARE(QApplication::focusWidget(), f.writeButton); // where it was
        QTest::keyClicks(f.callsign, QStringLiteral("9"));    // and keys work again
        QCOMPARE(f.callsign->text(), QStringLiteral("OK1AB9"));
    }

    // The status line says what is true now: no "Save Finished" stays after
    // a save that was refused or failed, or after another file was opened.
    void statusSaysWhatIsTrueNow_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("a refused save") << "refused";
        QTest::newRow("a failed save") << "failed";
        QTest::newRow("another file opened") << "open";
    }
    void statusSaysWhatIsTrueNow()
    {
        QFETCH(QString, then);
        const WindowControls &f = m_window->controls();
        m_window->openFile(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        m_dialog.answers << m_dir->filePath("first.bin");
        QVERIFY(m_window->saveImage());
        QCOMPARE(f.statusLine->text(), QStringLiteral("Save Finished"));
        if (then == u"refused") {
            f.setFrames[0]->controls().path->setText(QStringLiteral("WIDE1-1,WIDE2-1"));
            QVERIFY(!m_window->saveImage());
        } else if (then == u"failed") {
            m_dialog.answers << m_dir->filePath("no-such-folder/second.bin");
            QVERIFY(!m_window->saveImage());
        } else {
            m_window->openFile(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        }
        QCOMPARE(f.statusLine->text(), QString());
        QCOMPARE(f.statusLine->saidText(), QString());
    }

    // The progress display as it follows the link: red while writing, the
    // grey mark where the write ended, green while comparing, hidden by the
    // closing reset; a read shows none of it.
    void fillsFollowTheLink_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<QStringList>("fills");
        QTest::newRow("write") << true << QStringList{"begin red", "1/190",       "190/190",
                                                      "mark",      "empty green", "begin green",
                                                      "1/127",     "127/127",     "hide"};
        QTest::newRow("read") << false << QStringList();
    }
    void fillsFollowTheLink()
    {
        QFETCH(bool, write);
        QFETCH(QStringList, fills);
        FillPlan plan;
        QStringList seen;
        const auto record = [&seen](const QList<FillChange> &changes) {
            for (const FillChange &c : changes) {
                const QString colour =
                    c.fill == Fill::Write ? QStringLiteral("red") : QStringLiteral("green");
                switch (c.kind) {
                case FillChange::Kind::Begin:
                    seen << QStringLiteral("begin ") + colour;
                    break;
                case FillChange::Kind::Empty:
                    seen << QStringLiteral("empty ") + colour;
                    break;
                case FillChange::Kind::To:
                    // The first and the last of each run tell enough.
                    if (c.done == 1 || c.done == c.total)
                        seen << QStringLiteral("%1/%2").arg(c.done).arg(c.total);
                    break;
                case FillChange::Kind::Mark:
                    seen << QStringLiteral("mark");
                    break;
                case FillChange::Kind::Hide:
                    seen << QStringLiteral("hide");
                    break;
                }
            }
        };
        DeviceLink &link = m_window->link();
        connect(&link, &DeviceLink::phaseChanged, this,
                [&](LinkPhase phase) { record(plan.phase(phase)); });
        connect(&link, &DeviceLink::progressed, this,
                [&](qint64 done, qint64 total) { record(plan.progress(done, total)); });
        connect(&link, &DeviceLink::finished, this, [&] { record(plan.ended()); });
        QTest::mouseClick(m_window->controls().comButtons[0], Qt::LeftButton);
        m_dialog.answers << (write ? QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin")
                                   : m_dir->filePath("read.bin"));
        QTest::mouseClick(write ? m_window->controls().writeButton
                                : m_window->controls().readButton,
                          Qt::LeftButton);
        waitIdle();
        QCOMPARE(seen, fills);
    }

    // The unsaved-edits question answers from the keyboard: an access key for
    // each button, Enter for the answer that loses nothing.
    void saveQuestionFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("choice");
        const int alt = Qt::AltModifier;
        QTest::newRow("Alt+S") << int(Qt::Key_S) << alt << int(Messages::SaveChoice::Save);
        QTest::newRow("Alt+D") << int(Qt::Key_D) << alt << int(Messages::SaveChoice::Discard);
        QTest::newRow("Alt+C") << int(Qt::Key_C) << alt << int(Messages::SaveChoice::Cancel);
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << int(Messages::SaveChoice::Save);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << int(Messages::SaveChoice::Cancel);
    }
    void saveQuestionFromTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, choice);
        QtMessages real;
        QStringList texts;
        QTimer pressing;
        QElapsedTimer waited;
        waited.start();
        bool gaveUp = false;
        // The key goes to the box once it is the active window, again on the
        // next tick if a loaded machine lost it; never a hang.
        connect(&pressing, &QTimer::timeout, this, [&] {
            QMessageBox *box = shownMessageBox();
            if (!box)
                return;
            if (waited.elapsed() > 30000) {
                gaveUp = true;
                box->reject();
                return;
            }
            if (texts.isEmpty())
                for (QAbstractButton *b : box->buttons())
                    texts << b->text();
            if (QApplication::activeWindow() != box) {
                box->activateWindow();
                return;
            }
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box,
                            Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        });
        pressing.start(5);
        const auto chosen = real.askToSave(QStringLiteral("TAVLO"), QStringLiteral("Save?"));
        QVERIFY(!gaveUp);
        texts.sort();
        QCOMPARE(texts, (QStringList{"&Cancel", "&Discard", "&Save"}));
        QCOMPARE(int(chosen), choice);
    }

    // The real message boxes run their own event loop; the link asks from
    // the event loop, so none of them runs inside a transfer that is ending
    // (the sanitizer tree would see the transfer deleted under it).
    void realDialogsRunOutsideTheLink()
    {
        m_window.reset(); // one window on the port
        QtMessages real;
        MainWindow window(Platform{m_dialog, real, *m_port, *m_ticker, [] {
                                       return QList<PortDescription>();
                                   }});
        window.show();
        const WindowControls &f = window.controls();
        QByteArray memory = contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        memory[0] = 'M';
        m_port->replies << char(127) + memory << char(127) + memory;
        QStringList boxes;
        QTimer answering;
        connect(&answering, &QTimer::timeout, this, [&] {
            QMessageBox *box = shownMessageBox();
            if (!box)
                return;
            boxes << box->windowTitle();
            // Yes once, then No: a second write runs from the first box's answer.
            box->button(boxes.size() == 1 ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        answering.start(5);
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        QEventLoop loop;
        connect(&window.link(), &DeviceLink::busyChanged, &loop, [&loop](bool busy) {
            if (!busy)
                loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (window.link().isBusy())
            loop.exec();
        QCOMPARE(boxes, QStringList({"Verify failed!", "Verify failed!"}));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Failed!!!"));
        QCOMPARE(m_trace.count(QStringLiteral("W 1B44")), 2);
    }

    void verifyFailedAsksToRetry()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        // The device holds all but the callsign's first letter.
        QByteArray memory = contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        memory[0] = 'M';
        m_port->replies << char(127) + memory;
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_messages.shown.size(), 1);
        const QString asked = m_messages.shown.first();
        QVERIFY2(asked.startsWith(QLatin1String("Verify failed!|1 of the 127 bytes differ")) &&
                     asked.contains(QLatin1String("Callsign: \"N0CALL\" -> \"M0CALL\"")) &&
                     asked.endsWith(QLatin1String("Try to write again?")),
                 qPrintable(asked));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Failed!!!"));

        // Failed twice in a row, the question says what to check.
        m_messages.shown.clear();
        m_messages.answerYes = true;
        m_port->replies << char(127) + memory << char(127) + memory;
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_messages.shown.size(), 2);
        for (const QString &question : m_messages.shown)
            QVERIFY(question.endsWith(QLatin1String("Try to write again?")));
        QVERIFY2(m_messages.shown[1].contains(QStringLiteral("failed again")) &&
                     m_messages.shown[1].contains(QStringLiteral("Check the cable")),
                 qPrintable(m_messages.shown[1]));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Completed"));
    }

    // The file is read once: changed on disk during the write, the device is
    // still verified against the bytes that were sent.
    void writeVerifiesWhatWasSent()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        const QString file = m_dir->filePath("changing.bin");
        QVERIFY(writeFile(file, contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"))));
        m_port->onWrite = [&file](const QByteArray &bytes) {
            if (bytes == QByteArray("\x1b"
                                    "D"))
                writeFile(file, QByteArray(127, 'z'));
        };
        m_dialog.answers << file;
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(f.statusLine->text(), QStringLiteral("Verify Completed"));
        QVERIFY(m_messages.shown.isEmpty());
    }

    // A reply that is not the count 127 and 127 bytes: a read asks before
    // saving it and says what came; a write never takes it for the memory.
    void oddRepliesInTheWindow_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("read, not kept")
            << false << false << "Read Failed" << QByteArray("<missing>");
        QTest::newRow("read, kept") << false << true << "Read Finished" << QByteArray("abcde");
        QTest::newRow("write") << true << true << "Verify Failed!!!" << QByteArray("<missing>");
    }
    void oddRepliesInTheWindow()
    {
        QFETCH(bool, write);
        QFETCH(bool, answerYes);
        QFETCH(QString, status);
        QFETCH(QByteArray, saved);
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_port->replies << QByteArray("\x05"
                                      "abcde");
        m_messages.answerYes = answerYes;
        const QString target = m_dir->filePath("read.bin");
        m_dialog.answers << (write ? QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin")
                                   : target);
        QTest::mouseClick(write ? f.writeButton : f.readButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(f.statusLine->text(), status);
        QCOMPARE(contents(target), saved);
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY2(m_messages.shown.first().contains(QStringLiteral("6 bytes (count byte 5)")),
                 qPrintable(m_messages.shown.first()));

        // A GPS receiver's NMEA text is named for what it is.
        m_messages.shown.clear();
        m_port->replies << QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,,,230394,,*6A\r\n");
        m_dialog.answers << (write ? QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin")
                                   : m_dir->filePath("nmea.bin"));
        QTest::mouseClick(write ? f.writeButton : f.readButton, Qt::LeftButton);
        waitIdle();
        QVERIFY2(m_messages.shown.value(0).contains(
                     QStringLiteral(": this port leads to a GPS receiver, not to the tracker")),
                 qPrintable(m_messages.shown.value(0)));
        // A write sent its bytes before the odd reply came: it says so.
        QVERIFY(!m_messages.shown.value(0).contains(QStringLiteral("Nothing was saved")));
        QCOMPARE(m_messages.shown.value(0).contains(
                     QStringLiteral("The image was sent (127 of its 127 bytes) but could not be "
                                    "verified: the device may hold all, part or none of it.")),
                 write);
    }

    // Window tests and accessibility tools find the controls by their names on the form.
    void controlsByTheirFormNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::newRow("status line") << "Label4"
                                     << "tavlo::StatusLine";
        QTest::newRow("write button") << "OWEE"
                                      << "QPushButton";
        QTest::newRow("third Com button") << "Com_2"
                                          << "QRadioButton";
        QTest::newRow("a set's symbol stepper") << "Frame1_3/VSICO"
                                                << "tavlo::SymbolStepper";
        QTest::newRow("progress fill") << "Shape3"
                                       << "tavlo::ProgressFill";
        QTest::newRow("a set's path") << "Frame1_5/PATH"
                                      << "QLineEdit";
    }
    void controlsByTheirFormNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QObject *found = m_window.get();
        // A set's controls are made when the set is first shown.
        if (name.startsWith(QLatin1String("Frame1_")))
            m_window->selectSet(name.mid(7, 1).toInt());
        for (const QString &part : name.split(u'/'))
            found = found ? found->findChild<QObject *>(part) : nullptr;
        QVERIFY(found);
        QCOMPARE(QString::fromLatin1(found->metaObject()->className()), className);
    }

    // Each set field has one control row, of the kind its value needs, and
    // every row has a form name and a keyboard place of its own; the frame
    // made from the rows shows and reads every field.
    void everyFieldHasOneControlRow()
    {
        QSet<QString> names;
        QSet<int> places;
        for (const ControlRow &row : setControlRows()) {
            QVERIFY2(!names.contains(QLatin1String(row.formName)), row.formName);
            names.insert(QLatin1String(row.formName));
            QVERIFY(row.tabPlace == 0 || !places.contains(row.tabPlace));
            places.insert(row.tabPlace);
        }
        QCOMPARE(places.size(), SetFieldCount + 1); // the fields' and 0
        for (const SetField &field : setFields()) {
            const auto rows =
                std::count_if(setControlRows().begin(), setControlRows().end(),
                              [&](const ControlRow &row) { return row.field == field.id; });
            QVERIFY2(rows == 1, field.key);
        }
        ConfigSet set = testconfigs::workedSet1(); // every field away from start-up's value
        set.gps = true;
        set.symbol = SymbolOthers;
        set.symbolCode = 29;
        SetFrame *frame = m_window->controls().setFrames[0];
        frame->showOpened(set);
        QCOMPARE(frame->values(), set);
        for (const ControlRow &row : setControlRows()) {
            QWidget *control = frame->findChild<QWidget *>(QLatin1String(row.formName));
            QVERIFY2(control, row.formName);
            QCOMPARE(control->geometry(),
                     twipsRect(row.at.left, row.at.top, row.at.width, row.at.height));
            if (row.field)
                QCOMPARE(frame->fieldWidget(*row.field), control);
        }
    }

    // A field's control needs its row only: a row that no member of the
    // controls names makes its control, shows and reads its field.
    // Every field of the table through every place that reads the table: a
    // change of it alone survives the JSON form, shows on its line of show
    // and no other, is among what diff finds, comes back from the set frame;
    // a value its checks refuse is refused naming it.
    void everyFieldEverywhere_data()
    {
        QTest::addColumn<int>("id");
        for (const SetField &field : setFields())
            QTest::newRow(field.key) << int(field.id);
    }
    void everyFieldEverywhere()
    {
        QFETCH(int, id);
        const SetField &field = setField(FieldId(id));
        // The set whose image holds the field: set 2 has "OTHERS", which
        // stores the symbol code; set 1 has coordinates, and the rest.
        const int index = field.id == FieldId::SymbolCode ? 1 : 0;
        const Configuration base = testconfigs::workedExample();
        Configuration changed = base;
        Configuration refused = base;
        ConfigSet &set = changed.sets[index];
        std::visit(
            [&](auto member) {
                using Value = std::decay_t<decltype(set.*member)>;
                if constexpr (std::is_same_v<Value, QString>) {
                    set.*member = set.*member == u"1" ? QStringLiteral("2") : QStringLiteral("1");
                    refused.sets[index].*member = QStringLiteral("\x01");
                } else if constexpr (std::is_same_v<Value, bool>) {
                    set.*member = !(set.*member);
                } else if constexpr (std::is_same_v<Value, int>) {
                    set.*member = (set.*member + 1) % SymbolOthers;
                    refused.sets[index].*member = int(field.list().size());
                } else {
                    set.*member = ((set.*member).value_or(0) + 1) % int(field.list().size());
                    refused.sets[index].*member = int(field.list().size());
                }
            },
            field.member);
        QVERIFY(!testconfigs::saveProblem(changed));
        const Result<Configuration> json = configurationFromJson(configurationToJson(changed));
        QVERIFY(json && *json == changed);
        // Show changes the field's line; Prog Coord's takes the position's lines away.
        const auto lineMap = [](const ConfigSet &shown) {
            QMap<QString, QString> lines;
            for (const auto &[label, value] : shownLines(shown))
                lines.insert(label, value);
            return lines;
        };
        const QMap<QString, QString> before = lineMap(base.sets[index]);
        const QMap<QString, QString> after = lineMap(set);
        for (const QString &label : (before.keys() + after.keys())) {
            const bool position = label == u"Latitude" || label == u"Longitude";
            const bool changes = label == QLatin1String(field.line) ||
                                 (field.id == FieldId::Coordinates && position);
            QCOMPARE(after.value(label) != before.value(label), changes);
            QCOMPARE(after.contains(label), !position || set.coordinates);
        }
        const Result<ImageDiff> diff = diffImages(encodeImage(base), encodeImage(changed));
        // Some stored bits open as more than one field (a named symbol's
        // character is also its code entry; coordinates off open as blanks).
        QVERIFY(diff && !diff->fields.isEmpty());
        QVERIFY(std::any_of(diff->fields.begin(), diff->fields.end(), [&](const FieldChange &c) {
            return c.id == field.id && c.set == index;
        }));
        SetFrame *frame = m_window->controls().setFrames[index];
        frame->showOpened(set);
        QCOMPARE(frame->values(), set);
        if (refused == base)
            return; // a flag: both its values are good
        const std::optional<SaveProblem> problem = testconfigs::saveProblem(refused);
        QVERIFY(problem);
        QCOMPARE(problem->field, field.id);
    }

    void aRowWithoutAMember()
    {
        std::vector<ControlRow> rows(setControlRows().begin(), setControlRows().end());
        auto gps = std::find_if(rows.begin(), rows.end(),
                                [](const ControlRow &row) { return row.field == FieldId::Gps; });
        QVERIFY(gps != rows.end());
        gps->control = Unnamed<QCheckBox>();
        QWidget parent;
        SetFrame frame(0, &parent, rows);
        ConfigSet set;
        set.gps = true;
        set.path = QStringLiteral("WIDE1-1");
        frame.showOpened(set);
        QCOMPARE(frame.controls().gps, nullptr);
        auto *box = qobject_cast<QCheckBox *>(frame.fieldWidget(FieldId::Gps));
        QVERIFY(box);
        QCOMPARE(box->objectName(), QStringLiteral("GPS"));
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QCOMPARE(frame.values().gps, false);
        QCOMPARE(frame.values().path, set.path);
    }

    void oddLengthIsAskedFirst()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_trace.clear();
        const QString odd = m_dir->filePath("odd.bin");
        QVERIFY(writeFile(odd, "twelve bytes"));
        m_dialog.answers << odd;
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.shown.first().contains(
            odd +
            QStringLiteral(" is 12 bytes, not a 127-byte configuration image. Write it anyway?")));
        QVERIFY(m_trace.isEmpty());
    }

    void readAndSaveFromTheWindow()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[2], Qt::LeftButton);
        m_port->memory.replace(0, 6, "N0CALL");
        const QString target = m_dir->filePath("read.bin");
        m_dialog.answers << target;
        QTest::mouseClick(f.readButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(f.readButton->text(), QStringLiteral("Read && Save file from EEProm"));
        QCOMPARE(contents(target), m_port->memory.left(127));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Read Finished"));
        QCOMPARE(m_dialog.kinds, QList<FileDialog::Kind>{FileDialog::Kind::Save});
    }

    // Save and "Read & Save" replace a file that exists only when the
    // operator says so; "No" goes back to the dialog.
    void replacingAFileIsAsked_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("yes");
        QTest::newRow("save, a new file") << false << false << false;
        QTest::newRow("save over a file, no") << false << true << false;
        QTest::newRow("save over a file, yes") << false << true << true;
        QTest::newRow("read over a file, no") << true << true << false;
        QTest::newRow("read over a file, yes") << true << true << true;
    }
    void replacingAFileIsAsked()
    {
        QFETCH(bool, read);
        QFETCH(bool, exists);
        QFETCH(bool, yes);
        const WindowControls &f = m_window->controls();
        const QString target = m_dir->filePath("club.bin");
        QVERIFY(!exists || writeFile(target, "the saved configuration"));
        m_messages.answerYes = yes;
        m_dialog.answers << m_dir->filePath("club"); // .bin is added, then asked about
        if (read) {
            QTest::mouseClick(f.comButtons[2], Qt::LeftButton);
            QTest::mouseClick(f.readButton, Qt::LeftButton);
            waitIdle();
        } else {
            m_window->saveImage();
        }
        const bool written = !exists || yes;
        QCOMPARE(m_messages.shown.size(), exists ? 1 : 0);
        if (exists)
            QCOMPARE(
                m_messages.shown.first(),
                QStringLiteral("Save As|club.bin already exists.\nDo you want to replace it?"));
        QCOMPARE(m_dialog.kinds.size(), written ? 1 : 2); // "No" asks again; then cancelled
        QCOMPARE(contents(target).size(), written ? 127 : 23);
    }

    // The status text can be read at every moment of a write and its verify:
    // measured in the pixels drawn, every part of it keeps a contrast of
    // 4.5:1 or more against what lies behind that part, in light and dark.
    void statusLineAlwaysReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void statusLineAlwaysReadable()
    {
        QFETCH(bool, dark);
        const QPalette usual = QApplication::palette();
        if (dark) {
            QPalette night(QColor(0x35, 0x35, 0x35), QColor(0x2B, 0x2B, 0x2B));
            night.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
            night.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
            night.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
            night.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
            QApplication::setPalette(night);
        }
        const auto restore = qScopeGuard([usual] { QApplication::setPalette(usual); });
        openWindow(MainWindow::Appearance::WhenShown);
        const WindowControls &f = m_window->controls();
        QStringList unreadable;
        int moments = 0;
        const auto measure = [&] {
            StatusLine *line = f.statusLine;
            QWidget *surface = line->parentWidget();
            const QString text = line->text();
            // As the held repaint will show it shortly.
            const bool held = !line->updatesEnabled();
            line->setUpdatesEnabled(true);
            f.progressFill->setUpdatesEnabled(true);
            const auto hold = qScopeGuard([&] {
                line->setUpdatesEnabled(!held);
                f.progressFill->setUpdatesEnabled(!held);
            });
            const QImage with = surface->grab(line->geometry()).toImage();
            line->pass(QString());
            const QImage without = surface->grab(line->geometry()).toImage();
            line->pass(text);
            QHash<QRgb, double> best; // per colour behind the text: its most contrasting ink
            for (int y = 0; y < with.height(); ++y)
                for (int x = 0; x < with.width(); ++x)
                    if (with.pixel(x, y) != without.pixel(x, y))
                        best[without.pixel(x, y)] =
                            std::max(best.value(without.pixel(x, y)),
                                     contrastOf(with.pixel(x, y), without.pixel(x, y)));
            ++moments;
            if (best.isEmpty())
                unreadable << QStringLiteral("\"%1\": no text drawn").arg(text);
            for (auto k = best.cbegin(); k != best.cend(); ++k)
                if (k.value() < 4.5) // WCAG AA
                    unreadable << QStringLiteral("\"%1\" on %2: %3:1")
                                      .arg(text, QColor(k.key()).name())
                                      .arg(k.value(), 0, 'f', 2);
        };
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        int written = 0;
        m_port->onWrite = [&](const QByteArray &bytes) {
            ++written;
            if (written % 20 == 0 || bytes == protocol::DumpCommand)
                QTimer::singleShot(0, m_window.get(), measure); // once the status shows it
        };
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        measure(); // "Verify Completed"
        QVERIFY(moments > 10);
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(u'\n')));
    }

    // A field with a warning is marked where the eye sees it, in the warning
    // colour around it, with nothing in the layout moved; its advice shows
    // when it takes the keyboard focus.
    void warningsAreSeenWithoutAMouse_data()
    {
        QTest::addColumn<QString>("field"); // objectName in the window or set 1
        QTest::addColumn<QString>("good");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("advice");
        QTest::newRow("lower-case callsign") << "Calls"
                                             << "OK1ABC"
                                             << "ok1abc"
                                             << "lower-case";
        QTest::newRow("an obsolete path") << "PATH"
                                          << "WIDE2-2"
                                          << "RELAY"
                                          << "RELAY";
    }
    void warningsAreSeenWithoutAMouse()
    {
        QFETCH(QString, field);
        QFETCH(QString, good);
        QFETCH(QString, typed);
        QFETCH(QString, advice);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        auto *line = m_window->findChild<QLineEdit *>(field);
        QVERIFY(line);
        // A set that sends: a set with Beacon TX off gets notes only.
        m_window->controls().setFrames[0]->controls().beacon->setChecked(true);
        m_window->controls().setFrames[0]->controls().gps->setChecked(true);
        line->setText(good);
        QHash<QWidget *, QRect> layout; // every control of the form, by its name there
        for (QWidget *w : m_window->findChildren<QWidget *>())
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
                layout.insert(w, w->geometry());
        const auto ringPixels = [&] {
            QWidget *surface = line->parentWidget();
            const QRect around = QRect(line->pos(), line->size()).adjusted(-2, -2, 2, 2);
            const QImage image = surface->grab(around).toImage();
            int amber = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    amber += QColor(image.pixel(x, y)) == WarningColour ? 1 : 0;
            return amber;
        };
        QCOMPARE(ringPixels(), 0);
        line->setText(typed);
        QVERIFY2(ringPixels() > 2 * (line->width() + line->height()), "no mark around the field");
        // The mark stands out from what is around it by 3:1 at least, as a
        // control's boundary must: measured from the pixels drawn.
        const QRect outside = QRect(line->pos(), line->size()).adjusted(-4, -4, 4, 4);
        const QImage around = line->parentWidget()->grab(outside).toImage();
        QList<double> contrasts;
        for (int x = 0; x < around.width(); ++x)
            for (const int y : {0, around.height() - 1})
                contrasts << contrastOf(WarningColour.rgb(), around.pixel(x, y));
        std::sort(contrasts.begin(), contrasts.end());
        QVERIFY2(contrasts.at(contrasts.size() / 2) >= 3.0,
                 qPrintable(QString::number(contrasts.at(contrasts.size() / 2))));
        for (auto k = layout.cbegin(); k != layout.cend(); ++k)
            QCOMPARE(k.key()->geometry(), k.value());

        line->setFocus(); // by the program, as at start-up: nothing pops up
        QCoreApplication::processEvents();
        QVERIFY(!QToolTip::isVisible());
        m_window->controls().readButton->setFocus();
        line->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(advice), qPrintable(QToolTip::text()));
        m_window->controls().readButton->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // A screen reader hears the symbol's name as the scroll bar's value and
    // description (the bus test hears it change), and the picture is named by it; every
    // button and check box says its purpose; the port box's text line has a name.
    void screenReadersHearPurposesAndSymbols()
    {
        const WindowControls &f = m_window->controls();
        const SetControls &c = f.setFrames[0]->controls();
        QTest::keyClick(c.symbol, Qt::Key_Down);
        QTest::keyClick(c.symbol, Qt::Key_Down);
        const QString name = symbolNames().at(2);
        QAccessibleInterface *stepper = QAccessible::queryAccessibleInterface(c.symbol);
        QCOMPARE(stepper->text(QAccessible::Value), name);
        QVERIFY(stepper->text(QAccessible::Description).startsWith(name));
        QCOMPARE(QAccessible::queryAccessibleInterface(c.symbolPicture)->text(QAccessible::Name),
                 name);

        QList<QWidget *> described{f.readButton,   f.openButton, f.writeButton, f.saveButton,
                                   f.progressFill, c.gps,        c.coordinates, c.beacon};
        for (QWidget *w : f.comButtons)
            described << w;
        for (QWidget *w : f.setButtons)
            described << w;
        for (QWidget *w : described)
            QVERIFY2(
                !QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description).isEmpty(),
                qPrintable(w->objectName()));
        QVERIFY(!QAccessible::queryAccessibleInterface(f.portBox->lineEdit())
                     ->text(QAccessible::Name)
                     .isEmpty());
    }

    // Every caption and every list entry fits its control, measured with the
    // control's own font, in all six sets, at 96 and at 120 DPI.
    void textsFitTheirControls_data()
    {
        QTest::addColumn<int>("dotsPerInch");
        QTest::newRow("96 DPI") << 96;
        QTest::newRow("120 DPI") << 120;
    }
    void textsFitTheirControls()
    {
#ifdef Q_OS_WIN
        QSKIP(
            "under wine the system's fonts are stand-ins: the fit is checked where they are known");
#endif
        QFETCH(int, dotsPerInch);
        setLayoutDotsPerInch(dotsPerInch);
        const auto restore = qScopeGuard([] { setLayoutDotsPerInch(DesignDotsPerInch); });
        openWindow(MainWindow::Appearance::WhenShown);
        const WindowControls &f = m_window->controls();
        for (int i = 0; i < SetCount; ++i)
            m_window->selectSet(i); // each set as it is first shown
        QStringList cut;
        auto check = [&cut](QWidget *w, const QString &text, int left, int room) {
            const int needed = w->fontMetrics().horizontalAdvance(QString(text).remove(u'&'));
            if (left + needed > room)
                cut << QStringLiteral("%1/%2 \"%3\": %4 + %5 > %6")
                           .arg(w->parentWidget()->objectName(), w->objectName(), text)
                           .arg(left)
                           .arg(needed)
                           .arg(room);
        };
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            if (w->isHidden() && !qobject_cast<SetFrame *>(w->parentWidget()))
                continue; // the hidden labels that name lists for screen readers
            if (auto *box = qobject_cast<QCheckBox *>(w); box || qobject_cast<QRadioButton *>(w)) {
                auto *button = static_cast<QAbstractButton *>(w);
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const auto element =
                    box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
                check(w, button->text(), w->style()->subElementRect(element, &option, w).left(),
                      w->width());
            } else if (auto *button = qobject_cast<QPushButton *>(w)) {
                const int margin = w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
                check(w, button->text(), margin, w->width() - margin);
            } else if (auto *label = qobject_cast<QLabel *>(w); label && !label->isHidden()) {
                check(w, label->text(), 0, label->contentsRect().width());
            } else if (auto *name = qobject_cast<SymbolNameBox *>(w)) {
                for (int k = 0; k < name->count(); ++k) {
                    name->setCurrentIndex(k);
                    const int needed =
                        QFontMetrics(name->shownFont()).horizontalAdvance(name->currentText());
                    if (needed > name->textRect().width())
                        cut << name->currentText();
                }
            } else if (auto *list = qobject_cast<QComboBox *>(w); list && w->isEnabled()) {
                QStyleOptionComboBox option;
                option.initFrom(list);
                const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, w);
                for (int k = 0; k < list->count(); ++k)
                    check(w, list->itemText(k), field.left(), field.right());
            }
        }
        for (const LinkStage stage : {LinkStage::ReadFinished, LinkStage::VerifyCompleted,
                                      LinkStage::VerifyFailed, LinkStage::Stopped})
            check(f.statusLine, words::stageText(stage), 0, f.statusLine->width());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }

    // Ctrl+S saves a configuration that has a file into that file, with the
    // save checks and no dialog; the Save button and Open still ask, starting
    // at the current file.
    void saveKeyKeepsTheFile()
    {
        const WindowControls &f = m_window->controls();
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        f.callsign->setFocus();
        QTest::keySequence(f.callsign, QKeySequence::Save); // no file yet: the dialog asks
        QCOMPARE(m_dialog.kinds, QList{FileDialog::Kind::Save});

        const QString file = m_dir->filePath("club.bin");
        QVERIFY(QFile::copy(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"), file));
        m_window->openFile(file);
        f.callsign->setText(QStringLiteral("OK1ABC"));
        QTest::keySequence(f.callsign, QKeySequence::Save);
        QCOMPARE(m_dialog.kinds.size(), 1);
        QVERIFY(contents(file).startsWith("OK1ABC"));
        QCOMPARE(f.statusLine->text(), QStringLiteral("Save Finished"));
        QVERIFY(!m_window->isWindowModified());

        f.setFrames[0]->controls().path->setText(QStringLiteral("WIDE2-1")); // cannot be stored
        QTest::keySequence(f.callsign, QKeySequence::Save);
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(contents(file).startsWith("OK1ABC"));

        f.setFrames[0]->controls().path->setText(QStringLiteral("WIDE2-2"));
        m_window->saveImage();
        m_messages.saveChoices << Messages::SaveChoice::Discard;
        QTest::mouseClick(f.openButton, Qt::LeftButton);
        QCOMPARE(m_dialog.starts, (QStringList{QString(), file, file}));
    }

    // A dropped file is taken as a copy whatever the source proposes, so a
    // file manager never removes it.
    void droppedFileIsACopy()
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"))});
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        if (enter.proposedAction() != Qt::MoveAction)
            QSKIP("this platform proposes no move");
        QApplication::sendEvent(m_window.get(), &enter);
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent dropped(QPointF(5, 5), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_window.get(), &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
        QCOMPARE(m_window->controls().callsign->text(), QStringLiteral("N0CALL"));
    }

    void silentDeviceEndsCleanly()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_port->silent = true;
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(f.statusLine->text(), QStringLiteral("No reply"));
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.shown.first().contains(QStringLiteral("Check the cable")));
        QVERIFY(f.progressOutline->isHidden() && f.progressFill->isHidden());
        QVERIFY(f.writeButton->isEnabled() && f.comButtons[0]->isEnabled());
        QVERIFY(f.comButtons[0]->isChecked());
    }

    void vanishingPortEndsCleanly()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_port->writesBeforeLoss = 20;
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QCOMPARE(m_messages.shown.size(), 1);
        QVERIFY(m_messages.shown.first().contains(comPortName(0)));
        for (QRadioButton *com : f.comButtons)
            QVERIFY(!com->isChecked());
        QVERIFY(!m_window->link().isPortOpen());
        QVERIFY(f.writeButton->isEnabled());
    }

    void closingDuringATransfer()
    {
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_dialog.answers << QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        int writes = 0;
        m_port->onWrite = [&](const QByteArray &) {
            if (++writes == 10)
                QVERIFY(m_window->close());
        };
        QTest::mouseClick(f.writeButton, Qt::LeftButton);
        waitIdle();
        QVERIFY(!m_window->isVisible());
        QVERIFY(!m_window->link().isPortOpen());
        QVERIFY(!m_window->link().isBusy());
        QCOMPARE(writes, 10);
        QCOMPARE(m_trace.count(QStringLiteral("close")), 1);
    }

    // The real dialogs leave the window open to a close request: closing is
    // never refused, and ends a transfer waiting on a question or dialog.
    void closingWhileADialogIsOpen_data()
    {
        QTest::addColumn<bool>("write");
        QTest::newRow("the retry question") << true;
        QTest::newRow("the save dialog of a read") << false;
    }
    void closingWhileADialogIsOpen()
    {
        QFETCH(bool, write);
#ifdef Q_OS_WIN
        if (write)
            QSKIP("the file dialog under wine takes no path of this machine to answer it with");
#endif
        QtMessages messages;
        QtFileDialog dialog;
        m_window = std::make_unique<MainWindow>(Platform{dialog, messages, *m_port, *m_ticker, [] {
                                                             return QList<PortDescription>();
                                                         }});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const WindowControls &f = m_window->controls();
        QTest::mouseClick(f.comButtons[0], Qt::LeftButton);
        m_port->replies << char(127) + QByteArray(127, 'x');
        const QString image = QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin");
        bool sawDialog = false;
        bool blocking = true;
        bool typedMeanwhile = true;
        bool dialogTakesInput = false;
        bool typedInPopup = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QDialog *open = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                    open = d;
            if (!open)
                return;
            // A file dialog for the write comes first: answer it.
            if (auto *files = qobject_cast<QFileDialog *>(open);
                files && files->acceptMode() == QFileDialog::AcceptOpen) {
                files->selectFile(image);
                QMetaObject::invokeMethod(files, "accept");
                return;
            }
            poll.stop();
            sawDialog = true;
            blocking = QGuiApplication::modalWindow() != nullptr;
            const QString before = f.callsign->text();
            QTest::keyClicks(f.callsign, QStringLiteral("X"));
            typedMeanwhile = f.callsign->text() != before;
            // A popup of the dialog, such as its file name completer, has no parent.
            QWidget popup(nullptr, Qt::Popup);
            auto *inPopup = new QLineEdit(&popup);
            popup.show();
            QTest::keyClicks(inPopup, QStringLiteral("x"));
            typedInPopup = inPopup->text() == QLatin1String("x");
            dialogTakesInput = open->isEnabled();
            m_window->close();
        });
        poll.start(5);
        QTest::mouseClick(write ? f.writeButton : f.readButton, Qt::LeftButton);
        waitIdle();
        QVERIFY(sawDialog);
        QVERIFY(!blocking);       // a modal dialog would keep a close request from the window
        QVERIFY(!typedMeanwhile); // input goes to the dialog only
        QVERIFY(dialogTakesInput);
        QVERIFY(typedInPopup);
        QVERIFY(!m_window->isVisible());
        QVERIFY(!m_window->link().isPortOpen());
        QVERIFY(!m_window->link().isBusy());
        QVERIFY(!compact(m_trace).contains(QStringLiteral("T*100"))); // no reset: closing
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<QDialog *>(w) || !w->isVisible(), "a dialog stayed open");
    }

    void deviceButtonsAskForAPort()
    {
        QTest::mouseClick(m_window->controls().readButton, Qt::LeftButton);
        waitIdle();
        QTest::mouseClick(m_window->controls().writeButton, Qt::LeftButton);
        waitIdle();
        const QString expected = QStringLiteral("No COM port selected|Please select COM port!");
        QCOMPARE(m_messages.shown, QStringList({expected, expected}));
        QVERIFY(m_dialog.kinds.isEmpty());
    }

    void pictures_data()
    {
        QTest::addColumn<int>("k");
        for (int k = 0; k < SymbolOthers; ++k)
            QTest::addRow("%s", qPrintable(symbolNames().at(k))) << k;
    }
    void pictures()
    {
        QFETCH(int, k);
        const QImage picture = symbolPicture(k).toImage();
        const int side = k < 5 ? 16 : 17;
        QCOMPARE(picture.size(), QSize(side, side));
        int black = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QRgb p = picture.pixel(x, y);
                QVERIFY(p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255));
                black += p == qRgb(0, 0, 0);
            }
        QVERIFY(black > side && black < side * side / 2);
    }

    // The keys a desktop editor takes: Enter on a focused button, the
    // platform's Open and Save, type-ahead in a list by its entries' text,
    // and no more callsign than the image holds.
    void keysAUserExpects_data()
    {
        QTest::addColumn<QString>("focus"); // objectName, in the window or the shown set
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shows"); // the focused control's text afterwards
        QTest::addColumn<QList<FileDialog::Kind>>("dialogs");
        QTest::newRow("Enter on Open") << "Command1" << QKeySequence(Qt::Key_Return) << QString()
                                       << "Open" << QList{FileDialog::Kind::Open};
        QTest::newRow("Enter on Save") << "SVFL" << QKeySequence(Qt::Key_Enter) << QString()
                                       << "Save" << QList{FileDialog::Kind::Save};
        QTest::newRow("Open key") << "Calls" << QKeySequence(QKeySequence::Open) << QString() << ""
                                  << QList{FileDialog::Kind::Open};
        QTest::newRow("Save key") << "PATH" << QKeySequence(QKeySequence::Save) << QString() << ""
                                  << QList{FileDialog::Kind::Save};
        // A blank is a pause longer than a typed word: a new search each time.
        QTest::newRow("interval 1 after 5") << "TXI" << QKeySequence() << "5 1"
                                            << "  1 min" << QList<FileDialog::Kind>{};
        QTest::newRow("interval 5") << "TXI" << QKeySequence() << "5"
                                    << "  5 min" << QList<FileDialog::Kind>{};
        QTest::newRow("interval 10") << "TXI" << QKeySequence() << "10"
                                     << " 10 min" << QList<FileDialog::Kind>{};
        QTest::newRow("comment by letter") << "POSCA" << QKeySequence() << "e"
                                           << "Enroute" << QList<FileDialog::Kind>{};
        QTest::newRow("nine letters of callsign") << "Calls" << QKeySequence() << "N0CALLXYZ"
                                                  << "N0CALL" << QList<FileDialog::Kind>{};
    }
    void keysAUserExpects()
    {
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, typed);
        QFETCH(QString, shows);
        QFETCH(QList<FileDialog::Kind>, dialogs);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QWidget *target = m_window->findChild<QWidget *>(focus);
        QVERIFY(target);
        target->setFocus();
        if (!keys.isEmpty())
            QTest::keySequence(target, keys);
        for (const QString &word : typed.split(u' ')) {
            QTest::keyClicks(target, word);
            if (word != typed)
                QTest::qWait(QApplication::keyboardInputInterval() + 100);
        }
        QTRY_COMPARE(m_dialog.kinds, dialogs); // Enter presses a button as a click does, shortly
        QString text;
        if (auto *button = qobject_cast<QPushButton *>(target))
            text = button->text();
        else if (auto *line = qobject_cast<QLineEdit *>(target))
            text = line->text();
        else if (auto *list = qobject_cast<QComboBox *>(target))
            text = list->currentText();
        QCOMPARE(text, shows);
    }

    // The symbol scroll bar shows when it has the focus; a fixed window offers no maximise button.
    void focusAndFrameShowWhatTheyOffer()
    {
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QScrollBar *stepper = m_window->controls().setFrames[0]->controls().symbol;
        const QImage before = stepper->grab().toImage();
        stepper->setFocus(Qt::TabFocusReason);
        QVERIFY(stepper->hasFocus());
        QVERIFY(stepper->grab().toImage() != before);
        QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_window->windowFlags() & Qt::WindowMinimizeButtonHint);
    }

    // What a screen reader hears: the status line's text, the progress as a
    // value, the current set as checked, each set's panel by its number, and
    // each drop-down list's purpose beside its value.
    void screenReadersHearWhatMatters()
    {
        const WindowControls &f = m_window->controls();
        m_dialog.answers << m_dir->filePath("heard");
        QVERIFY(m_window->saveImage());
        QAccessibleInterface *status = QAccessible::queryAccessibleInterface(f.statusLine);
        QCOMPARE(status->role(), QAccessible::StatusBar);
        QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Save Finished"));
        QCOMPARE(status->textInterface()->text(0, status->textInterface()->characterCount()),
                 QStringLiteral("Save Finished"));

        f.progressFill->setFilled(64, 128);
        QAccessibleInterface *progress = QAccessible::queryAccessibleInterface(f.progressFill);
        QCOMPARE(progress->role(), QAccessible::ProgressBar);
        QCOMPARE(progress->valueInterface()->currentValue().toInt(), 50);

        m_window->selectSet(1);
        for (int i = 0; i < SetCount; ++i) {
            QAccessibleInterface *button = QAccessible::queryAccessibleInterface(f.setButtons[i]);
            QCOMPARE(button->state().checked, i == 1);
            QCOMPARE(QAccessible::queryAccessibleInterface(f.setFrames[i])->text(QAccessible::Name),
                     QStringLiteral("Set %1").arg(i + 1));
        }
        const SetControls &c = f.setFrames[1]->controls();
        const std::pair<QWidget *, const char *> purposes[] = {
            {c.comment, "Position comment"},
            {c.interval, "Beacon interval"},
            {c.latHemisphere, "Latitude hemisphere"},
            {c.symbolCode, "Symbol code"},
            {f.portBox, "Serial port"},
            {c.ssid, "SSID"},
        };
        for (const auto &[list, purpose] : purposes) {
            const auto labels =
                QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label);
            QVERIFY2(!labels.isEmpty(), purpose);
            QCOMPARE(labels.first().first->text(QAccessible::Name), QString::fromLatin1(purpose));
        }
    }

    // Advice follows the edits into the tooltip and the accessible description
    // of the field it concerns, and of a set's button; saving is not stopped.
    void adviceWhereTheUserLooks()
    {
        const WindowControls &f = m_window->controls();
        const SetControls &c = f.setFrames[1]->controls();
        m_window->selectSet(1);
        c.path->setText(QStringLiteral("RELAY,WIDE2-2"));
        QVERIFY(c.path->toolTip().startsWith(QLatin1String("Path (digipeaters)\n")));
        QVERIFY2(c.path->accessibleDescription().contains(
                     QLatin1String("Set 2 path: \"RELAY,WIDE2-2\" uses RELAY")),
                 qPrintable(c.path->accessibleDescription()));
        // One finding for the unused sets, on each of their buttons only.
        QVERIFY2(f.setButtons[3]->accessibleDescription().contains(
                     QLatin1String("Sets 1, 3, 4, 5 and 6 look unused")),
                 qPrintable(f.setButtons[3]->accessibleDescription()));
        // A tooltip is wrapped to fit beside the window, its description is not.
        for (QWidget *w :
             {static_cast<QWidget *>(c.path), static_cast<QWidget *>(f.setButtons[3])}) {
            const QStringList lines = w->toolTip().split(u'\n');
            QVERIFY2(lines.size() > 2, qPrintable(w->toolTip()));
            for (const QString &line : lines)
                QVERIFY2(line.size() <= 50, qPrintable(line));
            QVERIFY(w->toolTip().simplified().endsWith(w->accessibleDescription().simplified()));
        }
        QVERIFY(!f.setButtons[1]->toolTip().contains(QLatin1String("unused")));
        QVERIFY(f.callsign->accessibleDescription().contains(QLatin1String("Callsign: empty")));
        c.path->setText(QStringLiteral("WIDE2-2"));
        QVERIFY(!c.path->accessibleDescription().contains(QLatin1String("RELAY")));
        f.callsign->setText(QStringLiteral("OK1ABC"));
        QCOMPARE(f.callsign->accessibleDescription(), QString());
        m_dialog.answers << m_dir->filePath("advised.bin");
        QVERIFY(m_window->saveImage());
        // An erased memory, opened, is said once on every set's button and
        // nowhere else.
        const QString erased = m_dir->filePath("erased.bin");
        QVERIFY(writeFile(erased, QByteArray(ImageSize, char(0xFF))));
        m_window->openFile(erased);
        for (QPushButton *button : f.setButtons)
            QVERIFY2(
                button->toolTip().simplified().contains(QLatin1String("The memory looks erased")),
                qPrintable(button->toolTip()));
        QCOMPARE(f.callsign->accessibleDescription(), QString());
        QCOMPARE(c.path->accessibleDescription(), QString());
    }

    // Erased memory opens blank, as a new window is, never as 0xFF shown as
    // text: one status line says so and the erased sets' buttons carry the
    // mark until the set is edited.
    void erasedMemoryOpensBlank_data()
    {
        QTest::addColumn<int>("from"); // the bytes of the worked example set to 0xFF
        QTest::addColumn<QList<int>>("erasedSets");
        QTest::addColumn<QString>("status");
        QTest::newRow("all of it") << 0 << QList<int>{0, 1, 2, 3, 4, 5} << "Memory erased";
        QTest::newRow("sets 3 to 6") << 46 << QList<int>{2, 3, 4, 5} << "Sets 3 to 6 erased";
    }
    void erasedMemoryOpensBlank()
    {
        QFETCH(int, from);
        QFETCH(QList<int>, erasedSets);
        QFETCH(QString, status);
        const WindowControls &f = m_window->controls();
        QByteArray image = contents(QStringLiteral(TAVLO_TEST_DATA "/worked-example.bin"));
        image.replace(from, ImageSize - from, QByteArray(ImageSize - from, char(0xFF)));
        const QString path = m_dir->filePath("erased.bin");
        QVERIFY(writeFile(path, image));
        m_window->openFile(path);
        QCOMPARE(f.callsign->text(), from == 0 ? QString() : QStringLiteral("N0CALL"));
        QVERIFY(!m_window->isModified());
        QCOMPARE(f.statusLine->text(), status);
        // The status line's words fit it (under wine the fonts are stand-ins).
#ifndef Q_OS_WIN
        QVERIFY(f.statusLine->fontMetrics().horizontalAdvance(status) <= f.statusLine->width());
#endif
        for (int i = 0; i < SetCount; ++i) {
            const bool erased = erasedSets.contains(i);
            if (erased)
                QCOMPARE(m_window->configuration().sets[i], ConfigSet{});
            QCOMPARE(f.setButtons[i]->accessibleDescription().contains(QLatin1String("erased")),
                     erased);
        }
        // Editing an erased set makes it the operator's: its mark goes; the
        // status goes with the last one.
        m_window->selectSet(2);
        f.setFrames[2]->controls().path->setText(QStringLiteral("WIDE1-1"));
        QVERIFY(!f.setButtons[2]->accessibleDescription().contains(QLatin1String("erased")));
        QVERIFY(f.setButtons[3]->accessibleDescription().contains(QLatin1String("erased")));
        for (const int set : {0, 1, 3, 4, 5})
            if (erasedSets.contains(set))
                f.setFrames[set]->controls().path->setText(QStringLiteral("WIDE1-1"));
        if (from == 0)
            f.callsign->setText(QStringLiteral("OK1ABC"));
        QVERIFY2(!f.statusLine->text().contains(QLatin1String("erased")),
                 qPrintable(f.statusLine->text()));
    }

    // Edits are never dropped without asking: on closing and before Open.
    // A signal closes without a question, since nobody may be there.
    void unsavedEditsAreAskedAbout_data()
    {
        using Choice = Messages::SaveChoice;
        QTest::addColumn<bool>("edit");
        QTest::addColumn<Request>("request");
        QTest::addColumn<QList<Choice>>("answers");
        QTest::addColumn<QString>("saveAs"); // empty: the save dialog is cancelled
        QTest::addColumn<bool>("goesOn");    // the window closes, or the open dialog comes
        QTest::addColumn<bool>("saved");
        QTest::newRow("close unedited")
            << false << Request::Close << QList<Choice>{} << QString() << true << false;
        QTest::newRow("close, cancel") << true << Request::Close << QList<Choice>{Choice::Cancel}
                                       << QString() << false << false;
        QTest::newRow("close, discard") << true << Request::Close << QList<Choice>{Choice::Discard}
                                        << QString() << true << false;
        QTest::newRow("close, save")
            << true << Request::Close << QList<Choice>{Choice::Save} << "kept" << true << true;
        QTest::newRow("close, save cancelled")
            << true << Request::Close << QList<Choice>{Choice::Save} << QString() << false << false;
        QTest::newRow("signal") << true << Request::Signal << QList<Choice>{} << QString() << true
                                << false;
        QTest::newRow("open, cancel") << true << Request::Open << QList<Choice>{Choice::Cancel}
                                      << QString() << false << false;
        QTest::newRow("open, save")
            << true << Request::Open << QList<Choice>{Choice::Save} << "kept" << true << true;
    }
    void unsavedEditsAreAskedAbout()
    {
        QFETCH(bool, edit);
        QFETCH(Request, request);
        QFETCH(QList<Messages::SaveChoice>, answers);
        QFETCH(QString, saveAs);
        QFETCH(bool, goesOn);
        QFETCH(bool, saved);
        m_window->show();
        QVERIFY(!m_window->isModified());
        if (edit)
            m_window->controls().callsign->setText(QStringLiteral("N0EDIT"));
        QCOMPARE(m_window->isModified(), edit);
        m_messages.saveChoices = answers;
        if (!saveAs.isEmpty())
            m_dialog.answers << m_dir->filePath(saveAs);
        bool wentOn = false;
        if (request == Request::Open) {
            m_window->openImage(); // the open dialog, after a save, is cancelled
            wentOn = m_dialog.kinds.contains(FakeDialog::Kind::Open);
        } else if (request == Request::Close) {
            wentOn = m_window->close();
        } else {
            m_window->closeUnasked();
            wentOn = !m_window->isVisible();
        }
        QCOMPARE(wentOn, goesOn);
        QCOMPARE(m_messages.savePrompts.size(), answers.size());
        QCOMPARE(m_window->isVisible(), !goesOn || request == Request::Open);
        // Saved under the typed name with ".bin" added, and then no longer modified.
        QCOMPARE(QFile::exists(m_dir->filePath("kept.bin")), saved);
        QCOMPARE(m_window->isModified(), edit && !saved);
        if (saved)
            QCOMPARE(m_window->windowTitle(), QStringLiteral("kept.bin[*] \u2014 Tavlo feeder"));
    }

private:
    // A device action runs on the event loop: this runs a blocking loop, as
    // the program does, so that the fake ticker ticks, until it ends.
    void waitIdle()
    {
        if (!m_window || !m_window->link().isBusy())
            return;
        QEventLoop loop;
        connect(&m_window->link(), &DeviceLink::busyChanged, &loop, [&loop](bool busy) {
            if (!busy)
                loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Drops the port list down and picks an entry with the keyboard.
    void pickFromList(int entry)
    {
        PortChooser *box = m_window->controls().portBox;
        box->showPopup();
        QTRY_VERIFY(box->view()->isVisible());
        box->view()->setCurrentIndex(box->model()->index(entry, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
        QCoreApplication::processEvents();
        // The offscreen platform leaves the closed list active; a desktop
        // gives the window back its focus, on the box.
        QApplication::setActiveWindow(m_window.get());
        box->setFocus();
    }

    FakeDialog m_dialog;
    FakeMessages m_messages;
    Trace m_trace;
    std::unique_ptr<FakePort> m_port;
    std::unique_ptr<FakeTicker> m_ticker;
    void openWindow(MainWindow::Appearance appearance)
    {
        m_window.reset();
        m_window =
            std::make_unique<MainWindow>(Platform{m_dialog, m_messages, *m_port, *m_ticker,
                                                  [] {
                                                      PortDescription usb;
                                                      usb.name = QStringLiteral("/dev/ttyUSB0");
                                                      usb.description =
                                                          QStringLiteral("USB-Serial Controller");
                                                      usb.vendorId = 0x0403;
                                                      usb.productId = 0x6001;
                                                      PortDescription serial;
                                                      serial.name = QStringLiteral("/dev/ttyS0");
                                                      return QList<PortDescription>{usb, serial};
                                                  }},
                                         appearance);
        QCOMPARE(m_window->isVisible(), appearance == MainWindow::Appearance::AtOnce);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
