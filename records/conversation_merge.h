// One conversation, one file: baresip's sndfile module writes a call as two
// WAVE files, what the dispatcher sent (its "enc" file) and what came back
// ("dec"). They become one Ogg Opus record, the dispatcher on the left
// channel and the far end on the right (see ogg_opus_writer.h).
#pragma once

#include <string>

namespace vertamo {

// Writes the record `target` (0600) from the two directions. A direction
// whose file is missing or unreadable is silence; the shorter one is padded.
// Both are coded at the sent side's rate when Opus codes it, else at 16 kHz
// (the other side is brought to that rate). The record appears whole or not
// at all: it is written under a temporary name beside it and renamed when
// complete. False with the reason in words: neither direction could be read,
// or the record could not be written (a full disk, a folder that cannot be
// written), and then nothing is left behind.
bool MergeConversation(const std::string& sentWave, const std::string& receivedWave, const std::string& target,
                       std::string* error);

}  // namespace vertamo
