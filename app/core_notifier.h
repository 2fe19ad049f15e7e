#pragma once
// Shows the data core's messages to the user, through the UI services.

#include "core/data_core.h"

namespace luckyscope {

class UiServices;

class UiCoreNotifier final : public CoreNotifier {
 public:
  explicit UiCoreNotifier(UiServices& ui) : ui_(ui) {}
  void ShowCoreMessage(CoreMessage message) override;
  void ShowSettingsSaveFailure(const char* path, int errorNumber) override;
  void ShowFileTooLarge(const char* path) override;

 private:
  UiServices& ui_;
};

}  // namespace luckyscope
