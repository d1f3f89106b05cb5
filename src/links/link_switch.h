#pragma once
// The link the send runs on, changed by the ports window while the program runs: it forwards to
// whichever link is current, so the send and the port label never hold a link that was replaced.

#include <memory>

#include "host/host_link.h"

namespace kovrel {

class LinkSwitch : public HostLink {
 public:
  // Takes `link` as the current one (the old one is closed) and tells the label.
  void use(std::unique_ptr<HostLink> link) {
    current_ = std::move(link);
    current_->onBytesArrived = [this] {
      if (onBytesArrived) onBytesArrived();
    };
    current_->onLabelChanged = [this] {
      if (onLabelChanged) onLabelChanged();
    };
    if (onLabelChanged) onLabelChanged();
  }
  HostLink& current() { return *current_; }

  std::string label() const override { return current_->label(); }
  void open() override { current_->open(); }
  bool present() const override { return current_->present(); }
  void prepare() override { current_->prepare(); }
  void write(const std::vector<std::uint8_t>& bytes) override { current_->write(bytes); }
  int pending() const override { return current_->pending(); }
  std::vector<std::uint8_t> read(int n) override { return current_->read(n); }
  bool lost() const override { return current_->lost(); }

 private:
  std::unique_ptr<HostLink> current_;
};

}  // namespace kovrel
