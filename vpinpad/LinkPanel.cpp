#include "vpinpad/LinkPanel.h"
#include "sim/Profile.h"
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace kestrel::vpinpad {

namespace {
const unsigned kBauds[] = {0, 9600, 19200, 38400, 57600, 115200};
}

TLinkPanel::TLinkPanel(QWidget* AParent) : QGroupBox(tr("Link"), AParent) {
    setObjectName(QStringLiteral("gbLink"));
    auto* grid = new QGridLayout(this);
    cbxTransport = new QComboBox(this);
    cbxTransport->setObjectName(QStringLiteral("cbxTransport"));
    cbxTransport->addItems({tr("Pseudo-terminal"), tr("TCP")});
    edLink = new QLineEdit(this);
    edLink->setObjectName(QStringLiteral("edLink"));
    edLink->setPlaceholderText(tr("link path (optional)"));
    edLink->setToolTip(
        tr("A symbolic link made to the pseudo-terminal, so the host's port name stays the same"));
    edTcp = new QLineEdit(QStringLiteral("127.0.0.1:0"), this);
    edTcp->setObjectName(QStringLiteral("edTcp"));
    edTcp->setToolTip(tr("[HOST:]PORT to listen on; port 0 picks a free one"));
    edTcp->setVisible(false);
    btStart = new QPushButton(tr("Start"), this);
    btStart->setObjectName(QStringLiteral("btStart"));
    grid->addWidget(new QLabel(tr("Port"), this), 0, 0);
    grid->addWidget(cbxTransport, 0, 1);
    grid->addWidget(edLink, 0, 2);
    grid->addWidget(edTcp, 0, 2);
    grid->addWidget(btStart, 0, 3);

    edAddress = new QLineEdit(this);
    edAddress->setObjectName(QStringLiteral("edAddress"));
    edAddress->setReadOnly(true);
    edAddress->setToolTip(tr("The port name to give the host (Kestrel's Port box)"));
    btCopyAddress = new QToolButton(this);
    btCopyAddress->setObjectName(QStringLiteral("btCopyAddress"));
    btCopyAddress->setText(tr("Copy"));
    grid->addWidget(new QLabel(tr("Host opens"), this), 1, 0);
    grid->addWidget(edAddress, 1, 1, 1, 2);
    grid->addWidget(btCopyAddress, 1, 3);

    cbxProfile = new QComboBox(this);
    cbxProfile->setObjectName(QStringLiteral("cbxProfile"));
    cbxProfile->setEditable(true);
    for (const auto& name : sim::Profile::BuiltinNames())
        cbxProfile->addItem(QString::fromStdString(name));
    cbxProfile->setToolTip(tr("A built-in profile, or the path of a profile file"));
    cbxBaud = new QComboBox(this);
    cbxBaud->setObjectName(QStringLiteral("cbxBaud"));
    for (unsigned baud : kBauds)
        cbxBaud->addItem(baud ? tr("%1 bit/s").arg(baud) : tr("unpaced"), baud);
    grid->addWidget(new QLabel(tr("Profile"), this), 2, 0);
    grid->addWidget(cbxProfile, 2, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Line rate"), this), 3, 0);
    grid->addWidget(cbxBaud, 3, 1);
    lbLinkState = new QLabel(this);
    lbLinkState->setObjectName(QStringLiteral("lbLinkState"));
    lbLinkState->setWordWrap(true);
    grid->addWidget(lbLinkState, 4, 0, 1, 4);
    grid->setColumnStretch(2, 1);

    connect(cbxTransport, &QComboBox::currentIndexChanged, this, [this](int AIndex) {
        edLink->setVisible(AIndex == trPty);
        edTcp->setVisible(AIndex == trTcp);
    });
    connect(btStart, &QPushButton::clicked, this,
            [this] { emit fRunning ? StopRequested() : StartRequested(); });
    connect(btCopyAddress, &QToolButton::clicked, this,
            [this] { QApplication::clipboard()->setText(edAddress->text()); });
    connect(cbxProfile, &QComboBox::activated, this, [this] { emit ProfileChosen(ProfileName()); });
    connect(cbxBaud, &QComboBox::activated, this, [this] { emit BaudChosen(Baud()); });
    ShowRunning(false, QString());
}

TLinkPanel::TTransport TLinkPanel::Transport() const {
    return cbxTransport->currentIndex() == trTcp ? trTcp : trPty;
}

void TLinkPanel::SetTransport(TTransport ATransport) {
    cbxTransport->setCurrentIndex(ATransport);
}

QString TLinkPanel::LinkPath() const {
    return edLink->text().trimmed();
}

void TLinkPanel::SetLinkPath(const QString& APath) {
    edLink->setText(APath);
}

QString TLinkPanel::TcpAddress() const {
    return edTcp->text().trimmed();
}

void TLinkPanel::SetTcpAddress(const QString& AAddress) {
    edTcp->setText(AAddress);
}

QString TLinkPanel::ProfileName() const {
    return cbxProfile->currentText().trimmed();
}

void TLinkPanel::SetProfileName(const QString& AName) {
    cbxProfile->setCurrentText(AName);
}

unsigned TLinkPanel::Baud() const {
    return cbxBaud->currentData().toUInt();
}

void TLinkPanel::SetBaud(unsigned ABaud) {
    int index = cbxBaud->findData(ABaud);
    if (index < 0) {
        cbxBaud->addItem(tr("%1 bit/s").arg(ABaud), ABaud);
        index = cbxBaud->count() - 1;
    }
    cbxBaud->setCurrentIndex(index);
}

QString TLinkPanel::Address() const {
    return edAddress->text();
}

void TLinkPanel::ShowRunning(bool ARunning, const QString& AAddress, const QString& AProblem) {
    fRunning = ARunning;
    btStart->setText(ARunning ? tr("Stop") : tr("Start"));
    cbxTransport->setEnabled(!ARunning);
    edLink->setEnabled(!ARunning);
    edTcp->setEnabled(!ARunning);
    edAddress->setText(ARunning ? AAddress : QString());
    btCopyAddress->setEnabled(ARunning);
    if (!AProblem.isEmpty())
        lbLinkState->setText(AProblem);
    else
        lbLinkState->setText(ARunning ? tr("Serving at %1").arg(AAddress)
                                      : tr("Stopped: no host can reach the PIN pad"));
}

} // namespace kestrel::vpinpad
