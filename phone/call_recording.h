// The records of the phone's conversations. baresip writes both directions
// of a conversation into a private folder (its sndfile module); when the
// conversation ends they become its record in "Records" of the work folder
// (records/), made on a thread of its own so that the phone keeps serving
// the workstation meanwhile. Days older than the settings keep are removed at
// start and whenever the local day changes.
//
// The workstation hears of each conversation right after its CALL line:
// "REC path" when it is recorded into that file (relative to the work
// folder), "NOREC" when recording is switched off, "NOREC why" when it
// cannot be recorded. The why comes the first time of a run of failures only
// (a full disk stays full), so that the dispatcher is told once, not at every
// call; the phone's log says why every time. A record that cannot be made at
// the end of its conversation is told the same way, then.
#pragma once

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "phone/phone_log.h"
#include "records/record_days.h"

namespace vertamo::phone {

class TCallRecording {
 public:
  // Records smaller than this much free room are not begun.
  static constexpr unsigned long long kLeastRoom = 2ull << 20;

  // `workFolder` where "Records" lives ("" or "." : the current folder).
  TCallRecording(TRecordSettings settings, std::string workFolder, const TPhoneLog& log);
  // Makes the records still being made, then removes the private folder.
  ~TCallRecording();
  TCallRecording(const TCallRecording&) = delete;
  TCallRecording& operator=(const TCallRecording&) = delete;

  // The private folder baresip writes the directions into; empty when
  // recording is off or the folder cannot be made (logged).
  const std::string& SoundFolder() const { return soundFolder_; }
  // A conversation with `peer` began at `now`: the line for the workstation.
  std::string Begin(std::time_t now, const std::string& peer);
  // The conversation is over: its record is made from what baresip wrote.
  void End();
  // Run about once a second during a conversation. Junk sent to the media
  // port (a flood, a scan) is decoded and written like the far end's voice,
  // many times faster than anyone speaks, into a folder that is often memory
  // ($XDG_RUNTIME_DIR). A side whose file outgrows what real time can bring
  // ends the conversation's record: it is not made, and its files are
  // emptied at every run from then on. The line for the workstation when the
  // record has just been given up ("NOREC why"), else empty.
  std::string Watch(std::chrono::steady_clock::time_point now);
  // Real time at its richest: 48 kHz stereo, 16 bits; and the allowance on
  // top of it.
  static constexpr long long kMaxBytesPerSecond = 48000 * 2 * 2;
  static constexpr long long kSlackSeconds = 5;
  // Readable when a record could not be made; TakeNotices then gives the
  // lines for the workstation (code page 1251).
  int NoticeFd() const { return notice_[0]; }
  std::vector<std::string> TakeNotices();
  // Removes expired days once per local day.
  void KeepDays(std::time_t now);

 private:
  struct TJob {
    std::string sent, received, target;
    std::chrono::steady_clock::time_point ended;
  };
  void Work();
  // The line that tells of a failure: its why only the first time in a row.
  std::string Failure(const std::string& russianWhy, const std::string& logWhy);

  TRecordSettings settings_;
  std::string workFolder_;
  const TPhoneLog& log_;
  std::string soundFolder_;
  std::string current_;  // the record of the conversation under way
  bool watching_ = false;  // a conversation goes on (baresip writes its sides)
  bool flooded_ = false;   // and its sides are emptied: junk came in
  std::chrono::steady_clock::time_point begun_{};
  int jobNumber_ = 0;
  std::string keptDay_;
  int notice_[2] = {-1, -1};

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TJob> jobs_;
  std::vector<std::string> notices_;
  bool failing_ = false;
  bool quit_ = false;
  std::thread worker_;
};

}  // namespace vertamo::phone
