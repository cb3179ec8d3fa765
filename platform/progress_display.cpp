#include "platform/progress_display.h"

#include <utility>

namespace tsl {
namespace {

ProgressDisplayFactory& FactoryInForce() {
  static ProgressDisplayFactory factory = OpenSystemProgressDisplay;
  return factory;
}

}  // namespace

std::unique_ptr<ProgressDisplay> OpenProgressDisplay(const ProgressDisplaySetup& setup) {
  return FactoryInForce()(setup);
}

ScopedProgressDisplayFactory::ScopedProgressDisplayFactory(ProgressDisplayFactory factory)
    : previous_(std::exchange(FactoryInForce(), std::move(factory))) {}

ScopedProgressDisplayFactory::~ScopedProgressDisplayFactory() {
  FactoryInForce() = std::move(previous_);
}

}  // namespace tsl
