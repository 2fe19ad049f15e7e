#include "checks/verdict_view.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace luckyscope {

void PaintVerdict(QWidget& box, VerdictKind kind) {
  QPalette pal = box.palette();
  const std::uint32_t colour = VerdictColour(kind);
  if (colour == kStyleColour) {
    const QPalette style = QApplication::palette(&box);
    pal.setColor(QPalette::Base, style.color(QPalette::Active, QPalette::Base));
    pal.setColor(QPalette::Text, style.color(QPalette::Active, QPalette::Text));
  } else {
    pal.setColor(QPalette::Base, QColor::fromRgb(colour));
    pal.setColor(QPalette::Text, Qt::black);
  }
  box.setPalette(pal);
}

void StopVerdictCue(SoundBackend& backend, SoundCueState& cue) {
  if (cue.state > kSoundCueIdle) StopSoundCue(backend, cue);
}

void SoundVerdict(SoundBackend& backend, SoundCueState& cue, const SystemSettings& settings, VerdictKind kind) {
  const char* path = VerdictCue(settings, kind);
  if (path == nullptr) {
    StopVerdictCue(backend, cue);
    return;
  }
  if (path[0] == '\0') return;
  StopVerdictCue(backend, cue);
  PlaySoundCue(backend, path, cue);
}

}  // namespace luckyscope
