#pragma once
// The card reader's side of the PIN pad: swipe a stripe (the test card, tracks of the user's own, or a
// stripe that cannot be read), insert a chip card, remove it, tap a contactless card.
#include "sim/Cardholder.h"
#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrel::vpinpad {

class TCardPanel : public QGroupBox {
    Q_OBJECT

public:
    explicit TCardPanel(QWidget* AParent = nullptr);

    // Whether a card is in the slot, as the PIN pad has it.
    void ShowCardInserted(bool AInserted);
    // The swipe the controls describe now.
    sim::CardholderAction Swipe() const;

signals:
    void Acted(const sim::CardholderAction& AAction);

private:
    QComboBox* cbxStripe = nullptr;
    QLineEdit* edTrack[3] = {};
    QLabel* lbCardSlot = nullptr;
};

} // namespace kestrel::vpinpad
