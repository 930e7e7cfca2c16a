#pragma once
// Link faults on demand: any kind the simulator knows, once or several times, for the next command
// or the next command of a given name.
#include "sim/Faults.h"
#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace kestrel::vpinpad {

class TFaultMenu : public QGroupBox {
    Q_OBJECT

public:
    explicit TFaultMenu(QWidget* AParent = nullptr);

    // The rule the controls describe now.
    sim::FaultRule Rule() const;

signals:
    void Added(const sim::FaultRule& ARule);
    void Cleared();

private:
    void KindChosen(int AIndex);

    QComboBox* cbxFaultKind = nullptr;
    QLabel* lbFaultKind = nullptr;
    QSpinBox* seFaultParam = nullptr;
    QLabel* lbFaultParam = nullptr;
    QSpinBox* seFaultTimes = nullptr;
    QCheckBox* cbFaultAlways = nullptr;
    QComboBox* cbxFaultCommand = nullptr;
    QListWidget* lbFaults = nullptr;
};

} // namespace kestrel::vpinpad
