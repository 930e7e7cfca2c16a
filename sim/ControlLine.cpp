#include "sim/ControlLine.h"
#include "sim/SimulatorRunner.h"
#include "util/NumberText.h"
#include "util/Strings.h"
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace kestrel::sim {

std::string ControlHelp() {
    return "Control lines (standard input; the cardholder lines also make up a --script file):\n"
           "  key K            press a key: 0 or ENTER, 4-7 or F1-F4, 8 or CLEAR, 13 or CANCEL, UP, DOWN\n"
           "  press K          press a keypad key now: 0-9, ENTER, CLEAR, CANCEL, F1-F4, UP, DOWN\n"
           "                   (live: the waiting command takes it, or it is dropped; queued in a script)\n"
           "  digits D         type digits and press ENTER (GCD)\n"
           "  choose N         choose menu option N, from 1 (MNU)\n"
           "  swipe [T1|T2|T3] swipe a magnetic card (a test card when no tracks are given;\n"
           "                   \"swipe none\": a stripe with no readable track)\n"
           "  insert           insert a chip card\n"
           "  remove           remove the chip card (RMC, CEX)\n"
           "  tap              present a contactless card (CEX)\n"
           "  delay MS         the cardholder waits MS milliseconds (times the time scale)\n"
           "  never            the cardholder walks away from the waiting command\n"
           "  now ACTION       do a cardholder action now (live), e.g. \"now insert\", \"now swipe\"\n"
           "  clear            forget the cardholder actions not yet used\n"
           "  fault SPEC       add a fault (see --fault); \"fault clear\" removes them all\n"
           "  rate BAUD        pace the line to BAUD bits per second (0: off)\n"
           "  display          show the virtual display\n"
           "  media            list the stored media files\n"
           "  status           session, card, waiting command, address\n"
           "  help             this list\n"
           "  quit             stop the simulator\n";
}

bool RunControlLine(SimulatorRunner& ARunner, const std::string& ALine, std::ostream& AOut) {
    const std::string line = vexo::Trim(ALine);
    if (line.empty() || line[0] == '#') return true;
    std::istringstream in(line);
    std::string verb, rest;
    in >> verb;
    std::getline(in, rest);
    rest = vexo::Trim(rest);
    verb = vexo::UpperCase(verb);
    try {
        if (verb == "QUIT" || verb == "EXIT") return false;
        if (verb == "HELP") {
            AOut << ControlHelp();
        } else if (verb == "DISPLAY") {
            const auto display = ARunner.Display();
            AOut << display.Render(ARunner.GetProfile().TextCols) << display.Summary() << "\n";
        } else if (verb == "MEDIA") {
            const auto names = ARunner.MediaNames();
            if (names.empty()) AOut << "no media files\n";
            for (const auto& name : names)
                AOut << "[" << name << "] " << ARunner.Media(name)->Data.size() << " bytes\n";
        } else if (verb == "STATUS") {
            AOut << "session " << (ARunner.SessionOpen() ? "open" : "closed") << ", card "
                 << (ARunner.CardInserted() ? "inserted" : "out") << ", waiting "
                 << (ARunner.WaitingFor().empty() ? "for nothing" : "in " + ARunner.WaitingFor()) << ", "
                 << ARunner.ScriptLeft() << " actions queued, display " << ARunner.Display().Summary()
                 << ", at " << ARunner.Address() << "\n";
        } else if (verb == "FAULT") {
            if (vexo::UpperCase(rest) == "CLEAR") {
                ARunner.ClearFaults();
                AOut << "faults cleared\n";
            } else {
                const auto rule = FaultRule::Parse(rest);
                ARunner.AddFault(rule);
                AOut << "fault " << rule.Describe() << " armed\n";
            }
        } else if (verb == "RATE") {
            ARunner.SetBaudRate(static_cast<unsigned>(vexo::ParseInteger(rest, "rate", 0, kMaxLineRate)));
            AOut << "line rate " << rest << "\n";
        } else if (verb == "CLEAR") {
            ARunner.ClearScript();
            AOut << "cardholder actions cleared\n";
        } else if (verb == "PRESS" || verb == "NOW") {
            // The person at the keypad acts now, not at the script's turn.
            const auto action = CardholderAction::Parse(verb == "PRESS" ? line : rest);
            ARunner.Act(action);
            AOut << "cardholder now: " << action.Describe() << "\n";
        } else {
            const auto action = CardholderAction::Parse(line);
            ARunner.Push(action);
            AOut << "cardholder: " << action.Describe() << "\n";
        }
    } catch (const std::exception& e) {
        AOut << "error: " << e.what() << "\n";
    }
    return true;
}

} // namespace kestrel::sim
