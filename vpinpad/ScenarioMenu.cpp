#include "vpinpad/ScenarioMenu.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace kestrel::vpinpad {

TScenarioMenu::TScenarioMenu(QWidget* AParent) : QMenu(tr("&Scenario"), AParent) {
    setObjectName(QStringLiteral("mnScenario"));
    actLoaded = addAction(QString());
    actLoaded->setObjectName(QStringLiteral("actScenarioLoaded"));
    actLoaded->setEnabled(false);
    addSeparator();
    actLoad = addAction(tr("&Load scenario..."));
    actLoad->setObjectName(QStringLiteral("actScenarioLoad"));
    actClear = addAction(tr("&Clear scenario"));
    actClear->setObjectName(QStringLiteral("actScenarioClear"));
    fChooser = [this] {
        return QFileDialog::getOpenFileName(parentWidget(), tr("Load scenario"), QString(),
                                            tr("Scenario files (*.yaml *.yml);;All files (*)"));
    };
    fErrorBox = [this](const QString& AText) { QMessageBox::warning(parentWidget(), tr("Scenario"), AText); };
    connect(actLoad, &QAction::triggered, this, [this] {
        const QString file = fChooser();
        if (!file.isEmpty()) Load(file);
    });
    connect(actClear, &QAction::triggered, this, &TScenarioMenu::Clear);
    ShowLoaded();
}

bool TScenarioMenu::Load(const QString& AFile) {
    sim::Scenario scenario;
    try {
        scenario = sim::Scenario::Load(AFile.toStdString());
    } catch (const std::exception& E) {
        // The message names the file, the line and the rule.
        fErrorBox(tr("The scenario was not loaded; the PIN pad answers as before.\n\n%1")
                      .arg(QString::fromStdString(E.what())));
        return false;
    }
    fFile = AFile;
    fName = QString::fromStdString(scenario.Name());
    emit Chosen(scenario);
    ShowLoaded();
    return true;
}

void TScenarioMenu::Clear() {
    fFile.clear();
    fName.clear();
    emit Chosen(sim::Scenario());
    ShowLoaded();
}

QString TScenarioMenu::Loaded() const {
    if (fFile.isEmpty()) return tr("No scenario");
    const QString file = QFileInfo(fFile).fileName();
    return fName.isEmpty() ? tr("Scenario: %1").arg(file) : tr("Scenario: %1 (%2)").arg(fName, file);
}

void TScenarioMenu::ShowLoaded() {
    actLoaded->setText(Loaded());
    actLoaded->setToolTip(fFile);
    actClear->setEnabled(!fFile.isEmpty());
}

} // namespace kestrel::vpinpad
