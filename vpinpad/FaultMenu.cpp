#include "vpinpad/FaultMenu.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrel::vpinpad {

namespace {
const QStringList kCommands = {QStringLiteral("OPN"), QStringLiteral("CLO"), QStringLiteral("CLX"),
                               QStringLiteral("GIN"), QStringLiteral("GIX"), QStringLiteral("DSP"),
                               QStringLiteral("DEX"), QStringLiteral("RMC"), QStringLiteral("GKY"),
                               QStringLiteral("GCD"), QStringLiteral("MNU"), QStringLiteral("CEX"),
                               QStringLiteral("LMF"), QStringLiteral("DSI"), QStringLiteral("DMF"),
                               QStringLiteral("MLI"), QStringLiteral("MLR"), QStringLiteral("MLE")};
}

TFaultMenu::TFaultMenu(QWidget* AParent) : QGroupBox(tr("Faults"), AParent) {
    setObjectName(QStringLiteral("gbFaults"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cbxFaultKind = new QComboBox(this);
    cbxFaultKind->setObjectName(QStringLiteral("cbxFaultKind"));
    for (const auto& kind : sim::FaultRule::Kinds()) {
        cbxFaultKind->addItem(QString::fromLatin1(kind.Name));
        cbxFaultKind->setItemData(cbxFaultKind->count() - 1, QString::fromLatin1(kind.Description),
                                  Qt::ToolTipRole);
    }
    form->addRow(tr("Kind"), cbxFaultKind);
    lbFaultKind = new QLabel(this);
    lbFaultKind->setWordWrap(true);
    form->addRow(QString(), lbFaultKind);
    seFaultParam = new QSpinBox(this);
    seFaultParam->setObjectName(QStringLiteral("seFaultParam"));
    seFaultParam->setRange(0, 600000);
    lbFaultParam = new QLabel(this);
    auto* param = new QHBoxLayout;
    param->addWidget(seFaultParam);
    param->addWidget(lbFaultParam, 1);
    form->addRow(tr("Parameter"), param);

    seFaultTimes = new QSpinBox(this);
    seFaultTimes->setObjectName(QStringLiteral("seFaultTimes"));
    seFaultTimes->setRange(1, 999);
    seFaultTimes->setSuffix(tr(" time(s)"));
    cbFaultAlways = new QCheckBox(tr("every time"), this);
    cbFaultAlways->setObjectName(QStringLiteral("cbFaultAlways"));
    connect(cbFaultAlways, &QCheckBox::toggled, seFaultTimes, &QWidget::setDisabled);
    auto* times = new QHBoxLayout;
    times->addWidget(seFaultTimes);
    times->addWidget(cbFaultAlways, 1);
    form->addRow(tr("Applies"), times);

    cbxFaultCommand = new QComboBox(this);
    cbxFaultCommand->setObjectName(QStringLiteral("cbxFaultCommand"));
    cbxFaultCommand->setEditable(true);
    cbxFaultCommand->addItem(tr("next command"));
    cbxFaultCommand->addItems(kCommands);
    form->addRow(tr("To"), cbxFaultCommand);
    column->addLayout(form);

    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(tr("Add fault"), this);
    add->setObjectName(QStringLiteral("btAddFault"));
    auto* clear = new QPushButton(tr("Clear faults"), this);
    clear->setObjectName(QStringLiteral("btClearFaults"));
    buttons->addWidget(add);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    column->addLayout(buttons);
    lbFaults = new QListWidget(this);
    lbFaults->setObjectName(QStringLiteral("lbFaults"));
    column->addWidget(lbFaults, 1);

    connect(cbxFaultKind, &QComboBox::currentIndexChanged, this, &TFaultMenu::KindChosen);
    connect(add, &QPushButton::clicked, this, [this] {
        const sim::FaultRule rule = Rule();
        const bool named =
            rule.Command.size() == 3 && std::all_of(rule.Command.begin(), rule.Command.end(),
                                                    [](char c) { return c >= 'A' && c <= 'Z'; });
        if (!rule.Command.empty() && !named) {
            lbFaultKind->setText(tr("A command is named by its three letters (GIX, GKY, ...)"));
            return;
        }
        lbFaults->addItem(QString::fromStdString(rule.Describe()));
        lbFaults->scrollToBottom();
        emit Added(rule);
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        lbFaults->clear();
        emit Cleared();
    });
    KindChosen(0);
}

void TFaultMenu::KindChosen(int AIndex) {
    const auto& kinds = sim::FaultRule::Kinds();
    if (AIndex < 0 || AIndex >= int(kinds.size())) return;
    const auto& kind = kinds[size_t(AIndex)];
    lbFaultKind->setText(QString::fromLatin1(kind.Description));
    const bool hasParam = kind.ParamMeaning && *kind.ParamMeaning;
    seFaultParam->setEnabled(hasParam);
    seFaultParam->setValue(kind.DefaultParam);
    lbFaultParam->setText(hasParam ? QString::fromLatin1(kind.ParamMeaning) : tr("(none)"));
}

sim::FaultRule TFaultMenu::Rule() const {
    sim::FaultRule rule;
    const auto& kinds = sim::FaultRule::Kinds();
    const auto& kind = kinds[size_t(std::max(0, cbxFaultKind->currentIndex()))];
    rule.What = kind.What;
    rule.Param = seFaultParam->isEnabled() ? seFaultParam->value() : kind.DefaultParam;
    rule.Times = cbFaultAlways->isChecked() ? 0 : seFaultTimes->value();
    // The first entry is "any command"; a name typed by hand counts as given.
    const QString command = cbxFaultCommand->currentText().trimmed().toUpper();
    if (cbxFaultCommand->currentIndex() != 0 || command != cbxFaultCommand->itemText(0).toUpper())
        rule.Command = command.toStdString();
    return rule;
}

} // namespace kestrel::vpinpad
