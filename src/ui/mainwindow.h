// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "configuration.h"
#include "devicecontroller.h"
#include "devicelink.h"
#include "image.h"
#include "platform.h"
#include "savecheck.h"
#include "shape.h"
#include "statusline.h"

#include <QWidget>
#include <array>

class QLabel;

namespace tavlo {
class AdviceMarks;
class CaptionFitter;
} // namespace tavlo
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavlo {

class PortChooser;
class SetFrame;

// The window's own controls, named after what they do.
struct WindowControls {
    QPushButton *readButton = nullptr;  // read the device into a file
    QPushButton *openButton = nullptr;  // open an image
    QPushButton *writeButton = nullptr; // write a file into the device
    QPushButton *saveButton = nullptr;  // save an image
    std::array<QRadioButton *, ComCount> comButtons{};
    PortChooser *portBox = nullptr;       // any other port, listed or typed
    Shape *progressOutline = nullptr;     // progress outline
    Shape *progressMark = nullptr;        // grey mark of the written extent
    ProgressFill *progressFill = nullptr; // progress fill
    StatusLine *statusLine = nullptr;     // status line
    QLabel *callLabel = nullptr;
    QLineEdit *callsign = nullptr;
    std::array<QPushButton *, SetCount> setButtons{};
    std::array<SetFrame *, SetCount> setFrames{};
};

// The one window: the callsign, the six sets one at a time, and the file and
// device actions.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // The one font of the window, in pixels: every text fits its box with it.
    static constexpr int FontPixels = 10;

    // When the window reaches the desktop: when the caller shows it, or at
    // once, before its controls are made, which is sooner by the time the
    // first text takes (loading the fonts).
    enum class Appearance { WhenShown, AtOnce };

    explicit MainWindow(const Platform &platform, Appearance appearance = Appearance::WhenShown,
                        QWidget *parent = nullptr);

    const WindowControls &controls() const { return m_c; }

    // The configuration as the controls show it.
    Configuration configuration() const;

    void selectSet(int index);
    void openImage();
    // Opens an image file as "Open" does once the dialog has named it; edits
    // not yet saved are asked about first.
    void openFile(const QString &path);
    // True once the configuration was saved: saveImage() into a file the
    // operator chooses, saveToCurrentFile() into the file last saved or
    // opened, if there is one.
    bool saveImage();
    bool saveToCurrentFile();

    // Whether the configuration differs from the one last saved or opened
    // (or from start-up's).
    bool isModified() const { return isWindowModified(); }
    // The file last saved or opened; empty before either.
    QString filePath() const { return m_filePath; }

    // Closes the window without asking about unsaved edits: a signal asked
    // for the program's end, and nobody may be there to answer.
    void closeUnasked();

    DeviceLink &link() { return m_devices->link(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool saveConfiguration(const std::optional<QString> &file);
    void buildControls(QWidget *surface, const Platform &platform);
    void buildButtons(QWidget *surface, const Platform &platform);
    void buildProgressAndStatus(QWidget *surface);
    void nameUncaptionedControls();
    void giveFormNames();
    void openChosenFile(const QString &path);
    void showOpened(const Configuration &config);
    void showSaveProblem(const SaveProblem &problem);
    // No "Save Finished" stays after a save that did not finish, or an open.
    void forgetSaveFinished();
    void setKeyboardOrder();
    void takeKeys();
    void showFile(const QString &path);
    void updateModified();
    void showAdvice(const Configuration &shown);
    void forgetEditedErasedParts(const Configuration &shown);
    static QString erasedStatus(const ErasedParts &erased);
    enum class Next { Closing, Opening };
    // Edits not yet saved: true when they were saved or may be dropped.
    bool mayReplaceEdits(Next next);

    FileDialog &m_dialog;
    Messages &m_messages;
    WindowControls m_c;
    DeviceController *m_devices = nullptr;
    AdviceMarks *m_marks = nullptr; // on the callsign and the set buttons
    CaptionFitter *m_captions = nullptr;
    Configuration m_saved; // as last saved or opened; start-up's before
    QString m_filePath;
    // Parts of the file opened that were erased memory, shown blank until edited.
    ErasedParts m_erased;
    QString m_erasedStatus; // the status line's words for them
    bool m_asking = false;  // the question about unsaved edits is open
    bool m_closeUnasked = false;
};

} // namespace tavlo
