#pragma once
// The scenario menu: a file of rules that answer the commands they match, loaded, shown and cleared.
// A file with a mistake is refused whole, its line and rule told to the user, and the PIN pad keeps
// the scenario it had.
#include "sim/Scenario.h"
#include <QMenu>
#include <functional>

class QAction;

namespace kestrel::vpinpad {

class TScenarioMenu : public QMenu {
    Q_OBJECT

public:
    explicit TScenarioMenu(QWidget* AParent = nullptr);

    // The file the user picks (empty: cancelled); tests name the file instead of a dialog.
    using TFileChooser = std::function<QString()>;
    void SetFileChooser(TFileChooser AChooser) { fChooser = std::move(AChooser); }
    // Where a file that cannot be used is explained; a modal box unless a test replaces it.
    using TErrorBox = std::function<void(const QString&)>;
    void SetErrorBox(TErrorBox ABox) { fErrorBox = std::move(ABox); }

    // Reads AFile; false, the reason shown, when it cannot be used.
    bool Load(const QString& AFile);
    void Clear();
    // "No scenario", or the scenario's name and its file.
    QString Loaded() const;

signals:
    void Chosen(const kestrel::sim::Scenario& AScenario);

private:
    void ShowLoaded();

    QAction* actLoad = nullptr;
    QAction* actClear = nullptr;
    QAction* actLoaded = nullptr;
    TFileChooser fChooser;
    TErrorBox fErrorBox;
    QString fFile;
    QString fName;
};

} // namespace kestrel::vpinpad
