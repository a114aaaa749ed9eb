// testsupport::StandinSuite: a test fixture base whose cases share one
// stand-in service (`server`), started before the suite's first case and
// stopped after its last; a case resets and seeds it in its own SetUp().
// Under CTest every case is a process of its own and the stand-in is the one
// CTest started for the program (see StandinServer.h). Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/standin/StandinServer.h"

namespace testsupport {

template <typename Base = ::testing::Test>
class StandinSuite : public Base {
public:
    static void SetUpTestSuite() { server = new StandinServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

protected:
    inline static StandinServer* server = nullptr;
};

}  // namespace testsupport
