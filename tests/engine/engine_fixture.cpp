#include "tests/engine/engine_fixture.h"

void EngineTest::SetUp() {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  FFLogger().SetLogLevel(llInfo);
  FFLogger().SetTriggerEventInMainThread(true);
  FFLogger().SetOnLog([this](TObject *, uint32_t, TLogLevel ALevel, const std::string &AMsg) {
    Logged_.push_back({ALevel, AMsg});
  });
  Engine = std::make_unique<TTestEngine>(20);
  Engine->ResetSession();
}

void EngineTest::TearDown() {
  Engine.reset();
  FFLogger().SetOnLog(nullptr);
  FFLogger().SetLogLevel(llInfo);
}

std::vector<std::string> EngineTest::Lines(TLogLevel ALevel) const {
  std::vector<std::string> r;
  for (const auto &l : Logged_)
    if (l.Level == ALevel)
      r.push_back(l.Msg);
  return r;
}

bool EngineTest::Logged(const std::string &AMsg) const {
  for (const auto &l : Logged_)
    if (l.Msg == AMsg)
      return true;
  return false;
}

int64_t EngineTest::IntOpt(void *AContext, const char *AName) const {
  int64_t v = -12345;
  EXPECT_GE(AV.av_opt_get_int(AContext, AName, 0, &v), 0) << AName;
  return v;
}
