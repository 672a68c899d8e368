// A fixture for tests that load the SDR repository from a simulated BMC: the
// repository starts empty, and the console and port driver are released
// after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/host/host_session.hpp"
#include "sdr/sdr_repository.hpp"

class SdrBmcTest : public ::testing::Test {
 protected:
  void SetUp() override { sdr_ = std::make_unique<SdrRepository>(); }
  void TearDown() override {
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);
  }
  void Start(const Scenario& scenario) {
    bmc_ = std::make_unique<SimulatedBmc>(scenario);
    bmc_->Attach(false);
    CaptureConsole(&console_);
  }

  std::unique_ptr<SimulatedBmc> bmc_;
  std::unique_ptr<SdrRepository> sdr_;  // as a fresh run has it
  std::string console_;
};
