#include "vpinpad/PinPadKeypad.h"
#include <QGridLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

namespace kestrel::vpinpad {

namespace {

using sim::Key;

const QString kDigitStyle = QStringLiteral("QPushButton{background:#e9ebee;color:#111;border:1px solid #777;"
                                           "border-radius:6px;font-weight:bold;font-size:15px;}"
                                           "QPushButton:pressed{background:#b8bcc4;}");
QString Coloured(const char* AColour) {
    return QStringLiteral("QPushButton{background:%1;color:#111;border:1px solid #555;border-radius:6px;"
                          "font-weight:bold;font-size:11px;}QPushButton:pressed{background:#888;}")
        .arg(QLatin1String(AColour));
}

// The keyboard's keys for each PIN-pad key; a line edit with the focus keeps its own typing.
QList<QKeySequence> Shortcuts(Key AKey) {
    const int digit = sim::KeyDigit(AKey);
    if (digit >= 0) {
        const auto key = Qt::Key(Qt::Key_0 + digit);
        return {QKeySequence(QKeyCombination(key)), QKeySequence(QKeyCombination(Qt::KeypadModifier, key))};
    }
    switch (AKey) {
    case Key::Enter:
        return {QKeySequence(Qt::Key_Return),
                QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter))};
    case Key::Clear:
        return {QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::Key_Delete)};
    case Key::Cancel:
        return {QKeySequence(Qt::Key_Escape)};
    case Key::F1:
        return {QKeySequence(Qt::Key_F1)};
    case Key::F2:
        return {QKeySequence(Qt::Key_F2)};
    case Key::F3:
        return {QKeySequence(Qt::Key_F3)};
    case Key::F4:
        return {QKeySequence(Qt::Key_F4)};
    case Key::Up:
        return {QKeySequence(Qt::Key_Up)};
    case Key::Down:
        return {QKeySequence(Qt::Key_Down)};
    default:
        return {};
    }
}

} // namespace

QString TPinPadKeypad::ButtonName(Key AKey) {
    const int digit = sim::KeyDigit(AKey);
    if (digit >= 0) return QStringLiteral("btKey%1").arg(digit);
    const QString name = QString::fromLatin1(sim::KeyName(AKey)).toLower();
    return QStringLiteral("btKey") + name.left(1).toUpper() + name.mid(1);
}

TPinPadKeypad::TPinPadKeypad(QWidget* AParent) : QWidget(AParent) {
    setObjectName(QStringLiteral("pnKeypad"));
    auto* grid = new QGridLayout(this);
    grid->setSpacing(6);
    grid->setContentsMargins(0, 0, 0, 0);
    const QString function = Coloured("#c9d3e0");
    grid->addWidget(Make(Key::F1, tr("F1"), function), 0, 0);
    grid->addWidget(Make(Key::F2, tr("F2"), function), 0, 1);
    grid->addWidget(Make(Key::F3, tr("F3"), function), 0, 2);
    grid->addWidget(Make(Key::F4, tr("F4"), function), 0, 3);
    for (int digit = 1; digit <= 9; ++digit)
        grid->addWidget(Make(sim::DigitKey(digit), QString::number(digit), kDigitStyle), 1 + (digit - 1) / 3,
                        (digit - 1) % 3);
    grid->addWidget(Make(Key::Digit0, QStringLiteral("0"), kDigitStyle), 4, 1);
    grid->addWidget(Make(Key::Up, QStringLiteral("\u25B2"), function), 1, 3);
    grid->addWidget(Make(Key::Down, QStringLiteral("\u25BC"), function), 2, 3);
    grid->addWidget(Make(Key::Cancel, tr("CANCEL"), Coloured("#e06060")), 5, 0);
    grid->addWidget(Make(Key::Clear, tr("CLEAR"), Coloured("#e8c840")), 5, 1);
    grid->addWidget(Make(Key::Enter, tr("ENTER"), Coloured("#58b060")), 5, 2, 1, 2);
}

QPushButton* TPinPadKeypad::Make(Key AKey, const QString& ACaption, const QString& AStyle) {
    auto* button = new QPushButton(ACaption, this);
    button->setObjectName(ButtonName(AKey));
    button->setStyleSheet(AStyle);
    button->setMinimumSize(52, 36);
    button->setFocusPolicy(Qt::NoFocus);
    QStringList keys;
    for (const QKeySequence& sequence : Shortcuts(AKey)) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::animateClick);
        keys << sequence.toString(QKeySequence::NativeText);
    }
    button->setToolTip(
        tr("%1 (keyboard: %2)").arg(QString::fromLatin1(sim::KeyName(AKey)), keys.join(tr(", "))));
    connect(button, &QPushButton::clicked, this, [this, AKey] { emit Pressed(AKey); });
    fButtons[AKey] = button;
    return button;
}

} // namespace kestrel::vpinpad
