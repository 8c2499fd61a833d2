// TCallView: what the voice window shows of the call, as one plain value.
//
// The call controller keeps it and hands the whole of it to the window after
// every turn; the window draws it and keeps nothing of the call besides. Texts
// are code page 1251; colours are 0xRRGGBB.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "voice/call_session.h"
#include "voice/kelmo_client.h"

namespace vertamo {

struct TCallView {
  // The information line's grounds.
  static constexpr std::uint32_t kHintColor = 0xFF000000;  // the desktop's tool-tip ground
  static constexpr std::uint32_t kTalkColor = 0x95FFAF;
  static constexpr std::uint32_t kDialColor = 0xFFBBBB;
  static constexpr std::uint32_t kRingColor = 0xFFFF00;
  static constexpr std::uint32_t kSpeakColor = 0xCEFFFF;

  TCallState state = TCallState::Idle;
  // The window is on screen.
  bool shown = false;
  // Grows each time the window is to come to the front with the keyboard (a
  // ring, a call from the map, a click on the lift being talked to).
  unsigned presentTurn = 0;

  std::string info;                    // the information line
  std::uint32_t infoColor = kHintColor;
  std::string infoTip;                 // the conversation's statistics
  std::string button;                  // the call button
  // A ring is answered or refused with a button each, side by side.
  bool answerOrRefuse = false;
  std::string title;                   // whom the call is with
  std::array<std::string, 2> status;   // the status bar's two panels
  std::array<std::string, 2> statusTips;  // and their tips
  std::string clock;                   // the talk time
  bool clockRunning = false;           // a conversation is being timed

  // The level meters: the gateway's level (0 … 255, the complement of its
  // mu-law code), its switching threshold (low byte) and the direction the
  // voice flows (TKelmoClient's modes; any other: no picture).
  int level = 0;
  int threshold = 0;
  int lineMode = TKelmoClient::kModeUnknown;
  // The gateway of the conversation does not answer.
  bool gatewayDown = false;

  // The conversation's record as the phone program named it, or why there
  // is none.
  std::string record;

  int missed = 0;            // rings missed since the history was last seen
  bool notRecording = false; // calls cannot be recorded
  unsigned historyTurn = 0;  // grows with every call recorded

  // The subscriber list: `selectRow` (−1: nothing) is selected each time
  // `selectTurn` grows.
  int selectRow = -1;
  unsigned selectTurn = 0;

  bool operator==(const TCallView&) const = default;
};

}  // namespace vertamo
