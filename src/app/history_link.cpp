#include "app/history_link.h"

#include <QStandardPaths>
#include <QTimer>

#include "app/main_window.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "history/historial.h"
#include "history/history_window.h"
#include "history/shape_loading.h"

namespace kovrel {

namespace {

// Is `file` one of the archive's own (so that its later changes and sends belong in it)?
bool insideFolder(const std::filesystem::path& file, const std::filesystem::path& folder) {
  std::error_code error;
  const auto f = std::filesystem::weakly_canonical(file, error);
  const auto root = std::filesystem::weakly_canonical(folder, error);
  if (error || root.empty()) return false;
  auto [end, rest] = std::mismatch(root.begin(), root.end(), f.begin(), f.end());
  return end == root.end();
}

}  // namespace

HistoryLink::HistoryLink(Parts parts) : p_(std::move(parts)) {
  window_ = std::make_unique<HistoryWindow>();
  Historial::Hooks hooks;
  hooks.list = [this](const ArchiveFilter& filter, std::size_t first, std::size_t count) {
    ArchivePage page = p_.store.list(filter, first, count);
    if (first == 0) p_.store.saveIndex();  // the months just looked at come faster next time
    return page;
  };
  hooks.load = [this](const std::filesystem::path& file) { return load(file); };
  hooks.saveAs = [this](const std::filesystem::path& file) { return saveAs(file); };
  hooks.shapeOnPlot = [this] { return p_.window.isEnabled(Control::interpola); };
  hooks.suggestedName = [this] {
    const std::filesystem::path documents =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdU16String();
    return documents / ("trazado-" + shortestNumber(p_.state.contador_treballs.toNumber()) + ".vca");
  };
  historial_ = std::make_unique<Historial>(*window_, std::move(hooks));
  window_->setRows({[this](int i) { return historial_->rowTexts(i); },
                    [this](int i) -> const ArchiveEntry& { return historial_->row(i); },
                    [this] { return historial_->canFetchMore(); }, [this] { historial_->fetchMore(); }});
}

HistoryLink::~HistoryLink() = default;

void HistoryLink::open() {
  // Once the first screen is up, every month's index is read (a listing no job matches), so the
  // first job number typed is answered from memory, not from a hundred thousand files' index.
  QTimer::singleShot(0, window_.get(), [this] {
    p_.store.list({"x", "", ""}, 0, 1);
    p_.store.saveIndex();
  });
  historial_->open();
}

void HistoryLink::openFile(const std::filesystem::path& file) {
  const std::string problem = load(file);
  if (!problem.empty()) p_.window.messageBox(unusableFileText(file, problem), texts::kTitleAttention);
}

std::string HistoryLink::load(const std::filesystem::path& file) {
  // A shape takes the read's place only when a read could start: never over a read under way or
  // an exchange with the host.
  if (!p_.window.isEnabled(Control::llegirBtn)) return "hay una lectura o un envío en curso";
  const TraceFileContent content = readShapeFile(file);
  std::string problem = standShape(p_.state, p_.window, p_.capture, p_.editor, content);
  if (!problem.empty()) return problem;
  if (content.kept && insideFolder(file, p_.store.root())) {
    p_.keeper.adopt(file, *content.kept);
  } else {
    p_.keeper.release();
  }
  if (p_.shapeStands) p_.shapeStands();
  window_->close();
  return {};
}

double HistoryLink::manualOffsetMm() const {
  double mm = 0.0;
  if (!parseLocaleNumber(p_.window.text(Control::offset_mida), p_.window.decimalSeparator(), mm)) mm = 0.0;
  return mm;
}

std::string HistoryLink::saveAs(const std::filesystem::path& file) {
  return saveShapeFile(file, p_.state, p_.keeper.current(), manualOffsetMm(), p_.state.filterscope.toNumber(),
                       p_.store.now());
}

}  // namespace kovrel
