#include "tests/camera/video_generator.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <QDir>
#include <QPainter>
#include <QRadialGradient>

#include "tests/scan/postcard_generator.h"

namespace luckyscope::testing {
namespace {

constexpr double kEnter = 0.4;  // seconds to come in
constexpr double kLeave = 0.3;  // and to go out
constexpr int kBlurSteps = 5;   // copies averaged for motion blur

double Ease(double t) { return t * t * (3 - 2 * t); }

}  // namespace

CameraVideo::CameraVideo(const CameraVideoPlan& plan) : plan_(plan) {
  std::mt19937 rng(plan.seed * 7919u + 17u);
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  double t = 0.3;
  QImage previous;
  std::string previousNumber;
  for (int i = 0; i < plan.cards; ++i) {
    const bool same = plan.sameNumberTwice && i == 1;
    QImage card;
    std::string number;
    if (same) {
      card = previous;
      number = previousNumber;
      t += plan.samePause - plan.pause;
    } else {
      GeneratedScan scan = GeneratePostcards(CardVariant::Clean, plan.seed * 1000u + static_cast<std::uint32_t>(i));
      card = scan.image;
      number = scan.numbers.front();
    }
    previous = card;
    previousNumber = number;
    // Held up filling most of the frame's height, as a user does to get the number read.
    const double h = plan.height * real(0.86, 0.94);
    Shot shot;
    shot.card = card.scaledToHeight(static_cast<int>(h), Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    shot.enter = t;
    shot.rest = t + kEnter;
    shot.leave = shot.rest + plan.hold;
    shot.gone = shot.leave + kLeave;
    shot.angle = real(-4, 4);
    cards_.push_back({number, shot.rest, shot.leave});
    shots_.push_back(std::move(shot));
    t = shots_.back().gone + plan.pause;
  }
  frames_ = static_cast<int>(std::ceil((t + 0.2) * plan.fps));

  // Uneven light: bright on one side, darker in a far corner.
  light_ = QImage(plan.width, plan.height, QImage::Format_RGB32);
  light_.fill(QColor(150, 150, 150));
  QPainter p(&light_);
  QRadialGradient glow(QPointF(plan.width * real(0.1, 0.4), plan.height * real(0.0, 0.3)), plan.width * 0.9);
  glow.setColorAt(0, QColor(255, 252, 245));
  glow.setColorAt(1, QColor(140, 138, 135));
  p.fillRect(light_.rect(), glow);
}

QImage CameraVideo::Frame(int index) const {
  const double t = index / plan_.fps;
  QImage frame(plan_.width, plan_.height, QImage::Format_RGB32);
  frame.fill(QColor(92, 70, 52));  // a wooden desk
  QPainter p(&frame);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  for (const Shot& shot : shots_) {
    if (t < shot.enter || t > shot.gone) continue;
    // The card's centre and angle at time s: from below the frame to the middle, a
    // little shake while held, and out to the side.
    auto pose = [&](double s, double& x, double& y, double& angle) {
      x = plan_.width / 2.0;
      y = plan_.height / 2.0;
      angle = shot.angle;
      if (s < shot.rest) {
        const double k = 1 - Ease(std::clamp((s - shot.enter) / kEnter, 0.0, 1.0));
        y += k * plan_.height;
        angle += k * 12;
      } else if (s > shot.leave) {
        const double k = Ease(std::clamp((s - shot.leave) / kLeave, 0.0, 1.0));
        x += k * plan_.width;
        angle -= k * 10;
      } else {
        x += 2.5 * std::sin(s * 9.1) + 1.5 * std::sin(s * 23.0);
        y += 2.0 * std::sin(s * 7.3 + 1) + 1.0 * std::sin(s * 19.0);
        angle += 0.4 * std::sin(s * 5.0);
      }
    };
    // Motion blur: the pose over the frame's exposure, averaged.
    const double exposure = 0.5 / plan_.fps;
    for (int k = 0; k < kBlurSteps; ++k) {
      double x, y, angle;
      pose(t + exposure * k / (kBlurSteps - 1), x, y, angle);
      p.setOpacity(1.0 / (k + 1));
      p.save();
      p.translate(x, y);
      p.rotate(angle);
      p.drawImage(QPointF(-shot.card.width() / 2.0, -shot.card.height() / 2.0), shot.card);
      p.restore();
    }
  }
  p.setOpacity(1);
  p.setCompositionMode(QPainter::CompositionMode_Multiply);
  p.drawImage(0, 0, light_);
  p.end();
  return frame;
}

bool CameraVideo::WriteJpegFrames(const QString& folder) const {
  for (int i = 0; i < frames_; ++i) {
    if (!Frame(i).save(QDir(folder).filePath(QStringLiteral("frame%1.jpg").arg(i, 5, 10, QLatin1Char('0'))), "JPEG", 85)) {
      return false;
    }
  }
  return true;
}

QString CameraVideo::JpegSourceDescription(const QString& folder) const {
  return QStringLiteral("multifilesrc location=\"") + folder + QStringLiteral("/frame%05d.jpg\" index=0 caps=\"image/jpeg,framerate=") +
         QString::number(static_cast<int>(plan_.fps)) + QStringLiteral("/1\" ! jpegdec");
}

}  // namespace luckyscope::testing
