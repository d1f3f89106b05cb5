#include "real_links.h"

namespace kovrel::cli {

struct RealLinksOwner::Parts {};

RealLinksOwner::RealLinksOwner(int&, char**) {}
RealLinksOwner::~RealLinksOwner() = default;
const RealLinks* RealLinksOwner::links() const { return nullptr; }

}  // namespace kovrel::cli
