#pragma once
// The PIN pad's keypad: the cardholder's keys as buttons, with keyboard shortcuts for each.
#include "sim/Cardholder.h"
#include <QWidget>
#include <map>

class QPushButton;

namespace kestrel::vpinpad {

class TPinPadKeypad : public QWidget {
    Q_OBJECT

public:
    explicit TPinPadKeypad(QWidget* AParent = nullptr);

    QPushButton* Button(sim::Key AKey) const { return fButtons.at(AKey); }
    // The button's object name: "btKey0" to "btKey9", "btKeyEnter", "btKeyF1", "btKeyUp", ...
    static QString ButtonName(sim::Key AKey);

signals:
    void Pressed(sim::Key AKey);

private:
    QPushButton* Make(sim::Key AKey, const QString& ACaption, const QString& AStyle);

    std::map<sim::Key, QPushButton*> fButtons;
};

} // namespace kestrel::vpinpad
