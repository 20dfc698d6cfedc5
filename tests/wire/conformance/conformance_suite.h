#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "adapter_under_test.h"
#include "scripted_host.h"
#include "wire/bus_core.h"

namespace velgrin::conformance {

// The program's bus sequences on one adapter kind, each compared with the same bench run
// in-process through the simulated link. An adapter backend joins with one line:
//   INSTANTIATE_TEST_SUITE_P(Kind, Conformance, ::testing::Values(AdapterKind{...}), KindName);
class Conformance : public ::testing::TestWithParam<AdapterKind> {
  protected:
    void SetUp() override;
    void TearDown() override;

    // One poll's session and search on both; the tables must agree.
    void ScanBoth();
    int IndexOf(const std::string& romText) const;
    // Whether the adapter under test has a strong pull-up; one without refuses what needs it.
    bool PullsUp();

    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> reference;
    std::unique_ptr<TmexDriver> referenceDriver;
    std::unique_ptr<BusCore> referenceCore;
    std::unique_ptr<AdapterUnderTest> adapter;
    std::unique_ptr<BusCore> core;
};

std::string KindName(const ::testing::TestParamInfo<AdapterKind>& info);

// The device table and the status texts a poll's search leaves, one line each.
std::string ScanResult(const BusCore& core);

}  // namespace velgrin::conformance
