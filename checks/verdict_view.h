#pragma once
// How a verdict of the easy check looks and sounds, for every window that judges
// tickets (the keyboard check and the camera check): the result box's colours and
// the cue.

#include "checks/easy_check.h"
#include "sound/sound_cue.h"

class QWidget;

namespace luckyscope {

class SoundBackend;

// Pure red for a hit and pure yellow for a maybe, always with black text, so that the
// verdict stays readable under a dark colour scheme too; a miss shows the style's own
// text-box colours, so the box looks as on any other dialog of the desktop theme.
void PaintVerdict(QWidget& box, VerdictKind kind);

// Plays the verdict's cue, closing the one still playing first. A maybe only stops
// the cue; no file set for a hit or a miss leaves a playing cue alone.
void SoundVerdict(SoundBackend& backend, SoundCueState& cue, const SystemSettings& settings, VerdictKind kind);

// Stops the cue if one is playing.
void StopVerdictCue(SoundBackend& backend, SoundCueState& cue);

}  // namespace luckyscope
