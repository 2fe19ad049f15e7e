#include "core/data_core.h"

#include "core/matching.h"
#include "core/search.h"

namespace luckyscope {

DataCore::DataCore(CoreNotifier* notifier) : store_(std::make_unique<LotteryStore>()), notifier_(notifier) {}

DataCore::~DataCore() = default;

void DataCore::Notify(CoreMessage message) const {
  if (notifier_ != nullptr) notifier_->ShowCoreMessage(message);
}

int DataCore::RunSearch() { return luckyscope::RunSearch(*store_); }

int DataCore::HitText(int index, int forFile, char (&out)[kTextSize]) const {
  return luckyscope::HitText(*store_, index, forFile, out);
}

}  // namespace luckyscope
