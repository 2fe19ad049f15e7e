#include "checks/camera_watch.h"

namespace luckyscope {

std::string CardWatcher::Feed(double seconds, const std::vector<std::string>& agreedNumbers) {
  // The frame's one number: two different numbers on one frame tell nothing.
  std::string number;
  for (const std::string& n : agreedNumbers) {
    if (number.empty()) {
      number = n;
    } else if (n != number) {
      number.clear();
      break;
    }
  }
  const bool taken = !number.empty() && number == candidate_ && seconds - candidateAt_ <= kReadsInARow;
  candidate_ = number;
  candidateAt_ = seconds;
  if (!taken) return std::string();
  if (number == judged_ && seconds - judgedSeenAt_ < kSameNumberAgain) {
    judgedSeenAt_ = seconds;  // still in sight
    return std::string();
  }
  judged_ = number;
  judgedSeenAt_ = seconds;
  return number;
}

}  // namespace luckyscope
