// Shared set-up of the probe tests: the libraries from "LibAV", the lines the
// probes send to the log bridge, and a scratch folder of the test's own.
#pragma once

#include "media/ff_logger.h"
#include "playback/av_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

struct TLoggedLine {
  TObject *Sender;
  TLogLevel Level;
  std::string Msg;
};

class ProbeTest : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    // The conversion set: the fixtures encode.
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
    FFLogger().SetLogLevel(llInfo);
    FFLogger().SetOnLog([this](TObject *ASender, uint32_t, TLogLevel ALevel, const std::string &AMsg) {
      // The libraries' own lines come from the logger itself.
      if (ASender != &FFLogger())
        Lines.push_back({ASender, ALevel, AMsg});
    });
    Dir = std::filesystem::temp_directory_path() / ("zv-probe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override {
    FFLogger().SetOnLog(nullptr);
    FFLogger().SetLogLevel(llInfo);
    std::filesystem::remove_all(Dir);
  }

  std::vector<TLoggedLine> Lines;
  std::filesystem::path Dir;
};
