// The virtual PIN pad's widgets on their own: how the screen lays out menus, the keypad's
// keys and shortcuts, the rules the fault menu makes, and the card panel's swipes.
#include "vpinpad/CardPanel.h"
#include "vpinpad/FaultMenu.h"
#include "vpinpad/PinPadDisplay.h"
#include "vpinpad/PinPadKeypad.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

using namespace kestrel;
using namespace kestrel::vpinpad;
using kestrel::sim::Key;
using kestrel::sim::VirtualDisplay;

namespace {

VirtualDisplay Menu(int AOptions, int AHighlight, std::vector<std::string> ATitle = {"PAGAMENTO"}) {
    VirtualDisplay display;
    display.What = VirtualDisplay::Mode::Menu;
    display.MenuTitle = std::move(ATitle);
    for (int i = 0; i < AOptions; ++i)
        display.MenuOptions.push_back("OPTION " + std::to_string(i + 1));
    display.Highlight = AHighlight;
    return display;
}

} // namespace

class TestPinPadWidgets : public QObject {
    Q_OBJECT

private slots:
    void menuRowsScrollToTheHighlight() {
        int row = -1;
        auto rows = MenuRows(Menu(3, 0), 8, row);
        QCOMPARE(rows.size(), size_t(4));
        QCOMPARE(rows[0], std::string("PAGAMENTO"));
        QCOMPARE(row, 1);
        // Two rows: the title keeps one, the options scroll through the other.
        rows = MenuRows(Menu(5, 3), 2, row);
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[1], std::string("OPTION 4"));
        QCOMPARE(row, 1);
        // A title taller than the screen gives way to one option row.
        rows = MenuRows(Menu(2, 1, {"A", "B", "C"}), 2, row);
        QCOMPARE(rows, (std::vector<std::string>{"A", "OPTION 2"}));
        QCOMPARE(row, 1);
        // Eight rows, no title, twelve options, the last highlighted: the last eight show.
        rows = MenuRows(Menu(12, 11, {}), 8, row);
        QCOMPARE(rows.front(), std::string("OPTION 5"));
        QCOMPARE(row, 7);
        rows = MenuRows(Menu(3, -1), 8, row);
        QCOMPARE(row, -1);
    }

    void textOnlyDisplayDrawsItsGridAndProcessing() {
        TPinPadDisplay display;
        sim::Profile profile = sim::Profile::TextOnly();
        display.SetProfile(profile);
        QCOMPARE(display.Screen().size(), QSize(16 * 12, 2 * 24));
        QVERIFY(display.width() >= display.Screen().width() * 2);
        VirtualDisplay screen;
        screen.What = VirtualDisplay::Mode::Processing;
        screen.Rows = 2;
        screen.Cols = 16;
        display.Show(screen, {});
        const QImage& image = display.Screen();
        const QRgb back = image.pixel(0, 0);
        bool firstRowInked = false, secondRowInked = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != back) (y < 24 ? firstRowInked : secondRowInked) = true;
        QVERIFY(firstRowInked);
        QVERIFY(!secondRowInked);
    }

    void aPictureThatDoesNotDecodeSaysSo() {
        TPinPadDisplay display;
        VirtualDisplay screen;
        screen.What = VirtualDisplay::Mode::Picture;
        screen.Picture = "BROKEN  ";
        display.Show(screen, "\x89PNG\r\n\x1A\nnot really");
        QVERIFY(display.PictureShown().isNull());
        QVERIFY(!display.PictureProblem().isEmpty());
        display.Show(screen, {});
        QVERIFY(display.PictureProblem().contains(QStringLiteral("BROKEN")));
    }

    void keypadHasEveryKeyWithItsShortcut() {
        TPinPadKeypad keypad;
        QSignalSpy pressed(&keypad, &TPinPadKeypad::Pressed);
        for (Key key : sim::AllKeys()) {
            auto* button = keypad.findChild<QPushButton*>(TPinPadKeypad::ButtonName(key));
            QVERIFY2(button, qPrintable(TPinPadKeypad::ButtonName(key)));
            button->click();
            QCOMPARE(pressed.last().at(0).value<Key>(), key);
        }
        QCOMPARE(pressed.size(), qsizetype(sim::AllKeys().size()));
        QCOMPARE(TPinPadKeypad::ButtonName(Key::Enter), QStringLiteral("btKeyEnter"));
        QCOMPARE(TPinPadKeypad::ButtonName(Key::Digit7), QStringLiteral("btKey7"));

        // The keyboard presses keys, but not while a line edit takes the typing.
        QWidget window;
        auto* pad = new TPinPadKeypad(&window);
        auto* edit = new QLineEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy keys(pad, &TPinPadKeypad::Pressed);
        QTest::keyClick(&window, Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_Down);
        QTest::keyClick(&window, Qt::Key_8, Qt::KeypadModifier);
        QVERIFY(QTest::qWaitFor([&] { return keys.size() == 3; }, 2000));
        QCOMPARE(keys[0].at(0).value<Key>(), Key::Cancel);
        QCOMPARE(keys[1].at(0).value<Key>(), Key::Down);
        QCOMPARE(keys[2].at(0).value<Key>(), Key::Digit8);
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("42"));
        QTest::qWait(300);
        QCOMPARE(edit->text(), QStringLiteral("42"));
        QCOMPARE(keys.size(), qsizetype(3));
    }

    void faultMenuMakesTheRuleItShows() {
        TFaultMenu menu;
        QSignalSpy added(&menu, &TFaultMenu::Added);
        auto* kind = menu.findChild<QComboBox*>(QStringLiteral("cbxFaultKind"));
        QCOMPARE(kind->count(), int(sim::FaultRule::Kinds().size()));
        // Every kind the simulator knows can be chosen, with its own default parameter.
        for (int i = 0; i < kind->count(); ++i) {
            kind->setCurrentIndex(i);
            const sim::FaultRule rule = menu.Rule();
            QCOMPARE(int(rule.What), int(sim::FaultRule::Kinds()[size_t(i)].What));
            QCOMPARE(rule.Param, sim::FaultRule::Kinds()[size_t(i)].DefaultParam);
            QCOMPARE(rule.Times, 1);
            QVERIFY(rule.Command.empty());
            // What the menu makes is what a control line would say.
            const sim::FaultRule parsed = sim::FaultRule::Parse(rule.Describe());
            QCOMPARE(int(parsed.What), int(rule.What));
        }
        kind->setCurrentIndex(kind->findText(QStringLiteral("late")));
        menu.findChild<QSpinBox*>(QStringLiteral("seFaultParam"))->setValue(3000);
        menu.findChild<QSpinBox*>(QStringLiteral("seFaultTimes"))->setValue(4);
        menu.findChild<QComboBox*>(QStringLiteral("cbxFaultCommand"))->setCurrentText(QStringLiteral("gix"));
        menu.findChild<QPushButton*>(QStringLiteral("btAddFault"))->click();
        QCOMPARE(added.size(), qsizetype(1));
        const auto rule = added[0].at(0).value<sim::FaultRule>();
        QCOMPARE(rule.Param, 3000);
        QCOMPARE(rule.Times, 4);
        QCOMPARE(rule.Command, std::string("GIX"));
        menu.findChild<QCheckBox*>(QStringLiteral("cbFaultAlways"))->setChecked(true);
        QCOMPARE(menu.Rule().Times, 0);
        // A command name that is not three letters is refused, not sent as a rule no frame matches.
        menu.findChild<QComboBox*>(QStringLiteral("cbxFaultCommand"))->setCurrentText(QStringLiteral("GIXX"));
        menu.findChild<QPushButton*>(QStringLiteral("btAddFault"))->click();
        QCOMPARE(added.size(), qsizetype(1));
    }

    void cardPanelSwipes() {
        TCardPanel panel;
        using Kind = sim::CardholderAction::Kind;
        QCOMPARE(panel.Swipe().What, Kind::Swipe);
        QVERIFY(!panel.Swipe().Tracks[1].empty()); // the test card
        auto* stripe = panel.findChild<QComboBox*>(QStringLiteral("cbxStripe"));
        stripe->setCurrentIndex(1);
        QVERIFY(panel.Swipe().Tracks[0].empty() && panel.Swipe().Tracks[1].empty());
        panel.findChild<QLineEdit*>(QStringLiteral("edTrack2"))->setText(QStringLiteral(" 5555=2512 "));
        QCOMPARE(panel.Swipe().Tracks[1], std::string("5555=2512"));
        stripe->setCurrentIndex(2);
        QVERIFY(panel.Swipe().Tracks[1].empty());
        QSignalSpy acted(&panel, &TCardPanel::Acted);
        panel.findChild<QPushButton*>(QStringLiteral("btInsert"))->click();
        panel.findChild<QPushButton*>(QStringLiteral("btTap"))->click();
        QCOMPARE(acted.size(), qsizetype(2));
        QCOMPARE(acted[0].at(0).value<sim::CardholderAction>().What, Kind::Insert);
        QCOMPARE(acted[1].at(0).value<sim::CardholderAction>().What, Kind::Tap);
    }
};

QTEST_MAIN(TestPinPadWidgets)
#include "TestPinPadWidgets.moc"
