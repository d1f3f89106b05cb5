#pragma once
// The real links of `kovrel-cli send`, where the build has them (Qt Network). The owner lives in
// main, so the event loop it starts for a send ends before the program does.

#include <memory>

#include "cli_run.h"

namespace kovrel::cli {

class RealLinksOwner {
 public:
  RealLinksOwner(int& argc, char** argv);
  ~RealLinksOwner();
  RealLinksOwner(const RealLinksOwner&) = delete;
  RealLinksOwner& operator=(const RealLinksOwner&) = delete;
  // Null where the build has no links.
  const RealLinks* links() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace kovrel::cli
