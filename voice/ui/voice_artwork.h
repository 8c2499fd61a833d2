// The two 48 × 48 pictures of the voice window's top strip, drawn here: a
// microphone (the dispatcher's voice goes to the lift) and a loudspeaker
// (the cabin's voice comes to the dispatcher).
#pragma once

#include <QImage>

namespace vertamo::ui {

inline constexpr int kVoicePictureSize = 48;

QImage MicrophonePicture();
QImage LoudspeakerPicture();

}  // namespace vertamo::ui
