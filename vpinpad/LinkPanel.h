#pragma once
// Where the PIN pad hangs and what it is: the port (a pseudo-terminal, with its path shown and
// copyable, or a TCP port), the profile and the line rate.
#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kestrel::vpinpad {

class TLinkPanel : public QGroupBox {
    Q_OBJECT

public:
    enum TTransport { trPty, trTcp };

    explicit TLinkPanel(QWidget* AParent = nullptr);

    TTransport Transport() const;
    void SetTransport(TTransport ATransport);
    QString LinkPath() const;
    void SetLinkPath(const QString& APath);
    QString TcpAddress() const; // [HOST:]PORT
    void SetTcpAddress(const QString& AAddress);
    QString ProfileName() const;
    void SetProfileName(const QString& AName);
    unsigned Baud() const;
    void SetBaud(unsigned ABaud);

    // Running at AAddress (the name a host opens), or stopped; AProblem says why it could not start.
    void ShowRunning(bool ARunning, const QString& AAddress, const QString& AProblem = QString());
    QString Address() const;

signals:
    void StartRequested();
    void StopRequested();
    void ProfileChosen(const QString& AName);
    void BaudChosen(unsigned ABaud);

private:
    QComboBox* cbxTransport = nullptr;
    QLineEdit* edLink = nullptr;
    QLineEdit* edTcp = nullptr;
    QPushButton* btStart = nullptr;
    QLineEdit* edAddress = nullptr;
    QToolButton* btCopyAddress = nullptr;
    QComboBox* cbxProfile = nullptr;
    QComboBox* cbxBaud = nullptr;
    QLabel* lbLinkState = nullptr;
    bool fRunning = false;
};

} // namespace kestrel::vpinpad
