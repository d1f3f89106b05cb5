#include "archive/archive_keeper.h"

namespace kovrel {

ArchiveKeeper::ArchiveKeeper(ArchiveStore& store) : store_(store) {}

std::optional<std::string> ArchiveKeeper::tell(const ArchiveWrite& written) {
  if (written.ok) {
    told_ = false;  // a later failure is news again
    return std::nullopt;
  }
  if (told_) return std::nullopt;
  told_ = true;
  return written.message;
}

std::optional<std::string> ArchiveKeeper::readFinished(const SharedState& state, double manualOffsetMm,
                                                       double filterscope) {
  kept_ = keptReadOf(state, manualOffsetMm, filterscope, {});
  const ArchiveWrite written = store_.keep(*kept_);
  file_ = written.ok ? written.path : std::filesystem::path();
  return tell(written);
}

std::optional<std::string> ArchiveKeeper::choicesMayHaveChanged(const SharedState& state,
                                                                double manualOffsetMm, double filterscope) {
  if (!kept_) return std::nullopt;
  const ShapeChoices now = shapeChoicesOf(state, manualOffsetMm);
  if (now == kept_->choices) return std::nullopt;
  kept_->choices = now;
  remeasure(*kept_, state, filterscope);
  // A read whose first keeping failed is kept now, if the archive came back.
  const ArchiveWrite written = file_.empty() ? store_.keep(*kept_) : store_.update(file_, *kept_);
  if (written.ok) file_ = written.path;
  return tell(written);
}

std::optional<std::string> ArchiveKeeper::sent(const SharedState& state, const std::string& outcome,
                                               double filterscope) {
  if (!kept_) return std::nullopt;
  kept_->sends.push_back({store_.now(), outcome});
  remeasure(*kept_, state, filterscope);  // once sent, the radii are the ones that left
  const ArchiveWrite written = file_.empty() ? store_.keep(*kept_) : store_.update(file_, *kept_);
  if (written.ok) file_ = written.path;
  return tell(written);
}

void ArchiveKeeper::adopt(const std::filesystem::path& file, const KeptRead& kept) {
  kept_ = kept;
  file_ = file;
}

void ArchiveKeeper::release() {
  kept_.reset();
  file_.clear();
}

}  // namespace kovrel
