// Routines of the connection thread that go nowhere: for tests, benchmarks
// and fuzz targets that look at something else, or that override only the
// calls they care about.
#pragma once

#include <string>

#include "serverlink/client_events.h"

namespace vertamo::testing {

class TNullClientEvents : public IClientEvents {
 public:
  void ClearMaps() override {}
  void BuildMaps(TMapModel&) override {}
  void ShowStatusText(const std::string&) override {}
  void SetCounterLayout(TCounterKind, const TCounterLayout&) override {}
  void SetCounterValue(TCounterKind, int) override {}
  void SetClockLayout(const TClockLayout&) override {}
  void SetSpeakerLayout(const TSpeakerLayout&) override {}
  void SetSpeakerCall(int) override {}
  void SetObjectState(int, int) override {}
  void SetObjectHint(int, const std::string&) override {}
  void SetObjectCaption(int, const std::string&) override {}
  void SetObjectCapColor(int, int) override {}
  void AddLogEntry(const TLogEntry&) override {}
};

}  // namespace vertamo::testing
