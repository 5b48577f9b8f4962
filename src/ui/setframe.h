#pragma once

#include "configuration.h"
#include "savecheck.h"

#include <QComboBox>
#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tavlo {

// The symbol name box: a text line only; the list behind it is chosen by the
// scroll bar, never dropped down.
class SymbolNameBox : public QComboBox {
    Q_OBJECT
public:
    explicit SymbolNameBox(QWidget *parent);
    void showPopup() override {}
};

// The controls of one set, named after what they show.
struct SetControls {
    QLabel *Label2 = nullptr;
    QLineEdit *ssid = nullptr;
    QComboBox *POSCA = nullptr;
    QScrollBar *VSICO = nullptr;
    QLabel *ICOI = nullptr;
    QComboBox *ICOT = nullptr;
    QComboBox *ICOC = nullptr;
    SymbolNameBox *ICO = nullptr;
    QCheckBox *GPS = nullptr;
    QCheckBox *CORDS = nullptr;
    QLineEdit *LAD = nullptr;
    QLineEdit *LAM = nullptr;
    QComboBox *LAS = nullptr;
    QLineEdit *LOD = nullptr;
    QLineEdit *LOM = nullptr;
    QComboBox *LOS = nullptr;
    QCheckBox *BCN = nullptr;
    QComboBox *TXI = nullptr;
    QLineEdit *PATH = nullptr;
};

// One frame of the window: the controls of one configuration set, with its
// symbol picker and its coordinate entry switch.
class SetFrame : public QGroupBox {
    Q_OBJECT
public:
    SetFrame(int index, QWidget *parent);

    const SetControls &controls() const { return m_c; }

    // The set as its controls show it.
    ConfigSet values() const;

    // Fills the controls from an opened image, field by field in the order of
    // the image, so that the symbol picker and the coordinate switch react.
    void showOpened(const ConfigSet &set);

    void hideSymbolLists();

    // The control that shows a field, for putting the focus there.
    QWidget *fieldWidget(SaveField field) const;

private:
    void symbolChanged();
    void coordinateSwitch();

    SetControls m_c;
};

} // namespace tavlo
