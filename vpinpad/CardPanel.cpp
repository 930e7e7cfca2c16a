#include "vpinpad/CardPanel.h"
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrel::vpinpad {

namespace {
enum Stripe { kTestCard, kOwnTracks, kUnreadable };
}

TCardPanel::TCardPanel(QWidget* AParent) : QGroupBox(tr("Card"), AParent) {
    setObjectName(QStringLiteral("gbCard"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cbxStripe = new QComboBox(this);
    cbxStripe->setObjectName(QStringLiteral("cbxStripe"));
    cbxStripe->addItems({tr("Test card"), tr("Tracks below"), tr("Unreadable stripe")});
    form->addRow(tr("Stripe"), cbxStripe);
    for (int i = 0; i < 3; ++i) {
        edTrack[i] = new QLineEdit(this);
        edTrack[i]->setObjectName(QStringLiteral("edTrack%1").arg(i + 1));
        edTrack[i]->setPlaceholderText(tr("empty: no track %1").arg(i + 1));
        edTrack[i]->setEnabled(false);
        form->addRow(tr("Track %1").arg(i + 1), edTrack[i]);
    }
    column->addLayout(form);
    connect(cbxStripe, &QComboBox::currentIndexChanged, this, [this](int AIndex) {
        for (auto* edit : edTrack)
            edit->setEnabled(AIndex == kOwnTracks);
    });

    auto* buttons = new QHBoxLayout;
    const auto add = [&](const char* AName, const QString& ACaption, auto AAction) {
        auto* button = new QPushButton(ACaption, this);
        button->setObjectName(QLatin1String(AName));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, AAction] { emit Acted(AAction(*this)); });
        buttons->addWidget(button);
    };
    add("btSwipe", tr("Swipe"), [](const TCardPanel& APanel) { return APanel.Swipe(); });
    add("btInsert", tr("Insert"), [](const TCardPanel&) { return sim::CardholderAction::Insert(); });
    add("btRemove", tr("Remove"), [](const TCardPanel&) { return sim::CardholderAction::Remove(); });
    add("btTap", tr("Tap"), [](const TCardPanel&) { return sim::CardholderAction::Tap(); });
    column->addLayout(buttons);
    lbCardSlot = new QLabel(this);
    lbCardSlot->setObjectName(QStringLiteral("lbCardSlot"));
    column->addWidget(lbCardSlot);
    ShowCardInserted(false);
}

sim::CardholderAction TCardPanel::Swipe() const {
    switch (cbxStripe->currentIndex()) {
    case kOwnTracks: {
        const auto track = [this](int i) { return edTrack[i]->text().trimmed().toStdString(); };
        // Three empty tracks read as no stripe at all, not as the test card.
        if (track(0).empty() && track(1).empty() && track(2).empty())
            return sim::CardholderAction::UnreadableSwipe();
        return sim::CardholderAction::Swipe(track(0), track(1), track(2));
    }
    case kUnreadable:
        return sim::CardholderAction::UnreadableSwipe();
    default:
        return sim::CardholderAction::Swipe();
    }
}

void TCardPanel::ShowCardInserted(bool AInserted) {
    lbCardSlot->setText(AInserted ? tr("A card is in the slot") : tr("The slot is empty"));
}

} // namespace kestrel::vpinpad
