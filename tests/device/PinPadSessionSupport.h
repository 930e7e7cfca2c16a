#pragma once
// A short PIN-pad session with the simulator behind a device kind, the same whatever the kind: the
// session opens, two information items come back, the session closes.
#include "pinpad/VexoAbecsApplicationLayer.h"
#include "pinpad/VexoAbecsPinPad.h"
#include "pinpad/VexoAbecsTables.h"
#include "sim/SimulatorRunner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace devtest {

// APinPad is enabled on the kind under test; AWithSessionOpen runs between GIX and CLO.
inline void ExpectAShortSession(vexo::TVexoAbecsPinPad& APinPad, kestrel::sim::SimulatorRunner& ASim,
                                const std::function<void()>& AWithSessionOpen = {}) {
    APinPad.OPN();
    EXPECT_TRUE(ASim.SessionOpen());
    APinPad.GIX({vexo::PP_SERNUM, vexo::PP_MODEL});
    std::vector<std::string> values;
    APinPad.Response().GetResponseAsValues(values);
    EXPECT_EQ(values.size(), 2u);
    if (AWithSessionOpen) AWithSessionOpen();
    APinPad.CLO("Fim", "");
    EXPECT_FALSE(ASim.SessionOpen());
}

} // namespace devtest
