// Reading a whole pcap file into a capture log, step by step as the window does.
#pragma once

#include "capture/Pcap.h"

#include <gtest/gtest.h>

namespace test_import {

// Steps the importer to the end of its file. An importer that never reaches the end fails the test
// here instead of spinning until the test's time-out.
inline void StepToEnd(pcap::CPcapImporter& importer, CPacketLog& log, int framesPerStep = 100) {
    constexpr int kMostSteps = 1'000'000;
    for (int steps = 0; importer.Step(log, framesPerStep); ++steps) {
        if (steps == kMostSteps) {
            ADD_FAILURE() << "the import did not reach the end of its file in " << kMostSteps << " steps";
            return;
        }
    }
}

} // namespace test_import
