#include "cli/Cardholder.h"

#include "sim/SimulatorRunner.h"

#include <iostream>

namespace kestrel::cli {

void TerminalCardholder::Prepare(const CardholderTask& ATask) {
    std::cerr << "kestrel-cli check: on the PIN pad, " << ATask.Instruction << std::endl;
}

void SimulatedCardholder::Prepare(const CardholderTask& ATask) {
    switch (ATask.What) {
    case CardholderTask::Kind::Key:
        fRunner.PressKey(ATask.Number);
        break;
    case CardholderTask::Kind::Digits:
        fRunner.TypeDigits(ATask.Digits);
        break;
    case CardholderTask::Kind::Choice:
        fRunner.ChooseOption(ATask.Number);
        break;
    }
}

} // namespace kestrel::cli
