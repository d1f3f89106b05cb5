#include "archive/archive_store.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>

#include "base/texts.h"
#include "files/atomic_write.h"

namespace kovrel {
namespace {

constexpr std::string_view kIndexFolder = ".indice";
constexpr std::string_view kIndexMagic = "KOVREL-INDICE 1";
constexpr std::string_view kExtension = ".vca";
// A folder changed this recently may change again within its clock's resolution (2 s on FAT, on
// some network drives) without its time moving: its index is never trusted.
constexpr auto kSettleTime = std::chrono::seconds(3);

namespace fs = std::filesystem;

std::string pathText(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string failureText(const std::string& reason, const fs::path& where) {
  return "No se pudo guardar la lectura en el archivo de trazados: " + reason + " (" + pathText(where) + ")";
}

std::string errorText(const std::error_code& error) {
  if (error == std::errc::no_space_on_device) return std::string(texts::kDiskFull);
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
      error == std::errc::read_only_file_system)
    return std::string(texts::kNoWritePermission);
  return error.message();
}

long long stampOf(fs::file_time_type t) { return static_cast<long long>(t.time_since_epoch().count()); }

std::string monthOf(const WallTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d", t.year % 10000, t.month % 100);
  return text;
}

std::string dayOf(const WallTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", t.year % 10000, t.month % 100, t.day % 100);
  return text;
}

bool isMonthName(std::string_view name) {
  return name.size() == 7 && name[4] == '-' &&
         std::all_of(name.begin(), name.end(), [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

// Tabs and line ends would break the index's lines.
std::string field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = line.find('\t');
    parts.push_back(line.substr(0, at));
    if (at == std::string_view::npos) return parts;
    line.remove_prefix(at + 1);
  }
}

template <typename T>
bool number(std::string_view s, T& value) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// Never the locale's decimal comma: the index is read back with from_chars.
std::string twoDecimals(double value) {
  char buf[32];
  const auto [end, error] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
  return std::string(buf, error == std::errc() ? end : buf);
}

std::string outlineText(const std::vector<int>& outline) {
  std::string text;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    if (i) text += ';';
    text += std::to_string(outline[i]);
  }
  return text;
}

std::vector<int> outlineOf(std::string_view text) {
  std::vector<int> outline;
  while (!text.empty() && outline.size() < static_cast<std::size_t>(kOutlineRadii)) {
    const auto at = text.find(';');
    int r = 0;
    if (!number(text.substr(0, at), r)) break;
    outline.push_back(r);
    text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
  }
  return outline;
}

// "20261207-143012-J0042.vca": the time of the read when its file does not say.
std::optional<WallTime> timeFromName(const std::string& name) {
  if (name.size() < 15 || name[8] != '-') return std::nullopt;
  const std::string text = name.substr(0, 4) + "-" + name.substr(4, 2) + "-" + name.substr(6, 2) + " " +
                           name.substr(9, 2) + ":" + name.substr(11, 2) + ":" + name.substr(13, 2);
  return parseWallTime(text);
}

bool newerFirst(const ArchiveEntry& a, const ArchiveEntry& b) {
  const std::string ta = wallTimeText(a.time), tb = wallTimeText(b.time);
  if (ta != tb) return ta > tb;
  return a.path.filename() > b.path.filename();
}

bool matches(const ArchiveEntry& e, const ArchiveFilter& f) {
  if (!f.jobDigits.empty() && e.job.find(f.jobDigits) == std::string::npos) return false;
  if (f.fromDay.empty() && f.toDay.empty()) return true;
  const std::string day = dayOf(e.time);
  return (f.fromDay.empty() || day >= f.fromDay) && (f.toDay.empty() || day <= f.toDay);
}

// At most `limit` + 1 bytes: enough to tell a file over the limit.
bool readWhole(const fs::path& file, std::string& bytes, std::uintmax_t limit) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  bytes.resize(static_cast<std::size_t>(std::min(error ? limit : size, limit)) + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

}  // namespace

WallTime systemWallTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (local == nullptr) local = std::gmtime(&now);
  if (local == nullptr) return {};
  return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
          local->tm_hour,        local->tm_min,     local->tm_sec};
}

ArchiveEntry archiveEntryOf(const fs::path& file) {
  ArchiveEntry entry;
  entry.path = file;
  if (const auto t = timeFromName(pathText(file.filename()))) entry.time = *t;
  std::string bytes;
  if (!readWhole(file, bytes, kMaxTraceFileBytes)) {
    entry.readable = false;
    entry.reason = "no se puede leer";
    return entry;
  }
  const TraceFileContent content = parseTraceFile(bytes);
  entry.job = field(content.job);
  if (content.time) entry.time = *content.time;
  entry.sends = content.sends;
  entry.lastOutcome = field(content.lastOutcome);
  entry.readable = content.usable;
  entry.reason = field(content.reason);
  if (!content.usable) return entry;
  const std::vector<int>& radii = content.trace.radii;
  const ShapeSizes sizes = measureShape(std::vector<double>(radii.begin(), radii.end()));
  entry.a = sizes.a;
  entry.b = sizes.b;
  for (int i = 0; i < kOutlineRadii; ++i)
    entry.outline.push_back(radii[static_cast<std::size_t>(i) * radii.size() / kOutlineRadii]);
  return entry;
}

ArchiveStore::ArchiveStore(fs::path root, WallClock clock)
    : root_(std::move(root)), clock_(std::move(clock)) {}

std::string ArchiveStore::fileNameFor(const KeptRead& kept) {
  std::string digits;
  for (const char c : kept.job)
    if (c >= '0' && c <= '9' && digits.size() < 12) digits += c;
  while (digits.size() < 4) digits.insert(digits.begin(), '0');
  const WallTime& t = kept.time;
  char text[64];
  std::snprintf(text, sizeof text, "%s-%02d%02d%02d-J%s.vca", dayOf(t).c_str(), t.hour % 100, t.minute % 100,
                t.second % 100, digits.c_str());
  return text;
}

ArchiveWrite ArchiveStore::keep(KeptRead& kept) {
  kept.time = clock_();
  const std::string monthName = monthOf(kept.time);
  const fs::path folder = root_ / monthName;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return {false, {}, failureText(errorText(error), folder)};

  // Another read of the same second and job (two tracers, a clock put back) keeps its file.
  const std::string name = fileNameFor(kept);
  const std::string stem = name.substr(0, name.size() - kExtension.size());
  fs::path file = folder / name;
  for (int n = 2; fs::exists(fs::symlink_status(file, error)); ++n) {
    if (n > 999) return {false, {}, failureText("demasiados archivos con el mismo nombre", file)};
    file = folder / (stem + "-" + std::to_string(n) + std::string(kExtension));
  }
  const WriteOutcome written = replaceFileAtomically(file, writeKeptRead(kept));
  if (!written.ok()) return {false, {}, failureText(writeProblemText(written), file)};
  if (const auto m = months_.find(monthName); m != months_.end()) m->second.loaded = false;
  return {true, file, {}};
}

ArchiveWrite ArchiveStore::update(const fs::path& file, const KeptRead& kept) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(file, error))) {
    // Only the same read's file is written again: one whose job or records changed belongs to
    // someone else now (a hand edit, a newer Kovrel, a file put in its place).
    std::string bytes;
    const bool read = readWhole(file, bytes, kMaxTraceFileBytes);
    const TraceFileContent content = read ? parseTraceFile(bytes) : TraceFileContent{};
    if (!content.kept || content.job != kept.job)
      return {false, {}, failureText("el archivo ya no guarda esta lectura: se deja como está", file)};
  } else {
    fs::create_directories(file.parent_path(), error);
    if (error) return {false, {}, failureText(errorText(error), file.parent_path())};
  }
  const WriteOutcome written = replaceFileAtomically(file, writeKeptRead(kept));
  if (!written.ok()) return {false, {}, failureText(writeProblemText(written), file)};
  const std::string monthName = pathText(file.parent_path().filename());
  if (const auto m = months_.find(monthName); m != months_.end()) m->second.loaded = false;
  return {true, file, {}};
}

fs::path ArchiveStore::indexFileOf(const std::string& month) const {
  return root_ / kIndexFolder / (month + ".idx");
}

void ArchiveStore::refreshMonths() {
  std::error_code error;
  std::map<std::string, Month, std::greater<>> seen;
  for (fs::directory_iterator it(root_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = pathText(it->path().filename());
    if (!isMonthName(name) || !it->is_directory(error)) continue;
    const long long stamp = stampOf(fs::last_write_time(it->path(), error));
    auto old = months_.find(name);
    Month m = old != months_.end() ? std::move(old->second) : Month{};
    if (m.folderStamp != stamp) m.loaded = false;
    m.folderStamp = stamp;
    seen.emplace(name, std::move(m));
  }
  months_ = std::move(seen);
}

void ArchiveStore::loadMonth(const std::string& name, Month& m) {
  // What the index says of the month, per file.
  std::vector<Kept> cached = std::move(m.files);
  m.files.clear();
  long long indexedStamp = -2;
  if (cached.empty()) {
    std::string text;
    if (readWhole(indexFileOf(name), text, std::uintmax_t{1} << 30)) {
      std::string_view rest = text;
      const auto next = [&rest]() {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        return line;
      };
      if (next() == kIndexMagic && number(next(), indexedStamp)) {
        while (!rest.empty()) {
          const auto f = splitTabs(next());
          if (f.size() != 12) continue;
          Kept k;
          k.entry.path = root_ / name / fs::path(std::u8string(f[0].begin(), f[0].end()));
          const auto time = parseWallTime(f[3]);
          if (!number(f[1], k.stamp) || !number(f[2], k.size) || !time || !number(f[5], k.entry.a) ||
              !number(f[6], k.entry.b) || !number(f[7], k.entry.sends))
            continue;
          k.entry.time = *time;
          k.entry.job = std::string(f[4]);
          k.entry.readable = f[8] == "1";
          k.entry.reason = std::string(f[9]);
          k.entry.lastOutcome = std::string(f[10]);
          k.outline = std::string(f[11]);
          cached.push_back(std::move(k));
        }
      }
    }
  }
  if (indexedStamp == m.folderStamp && indexedStamp != -1) {
    m.files = std::move(cached);
    m.loaded = true;
    return;
  }

  // The folder changed: its files are listed again, and only those that changed are read.
  std::map<fs::path, Kept> byPath;
  for (Kept& k : cached) byPath.emplace(k.entry.path, std::move(k));
  std::error_code error;
  const fs::path folder = root_ / name;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    std::error_code fileError;
    if (path.extension() != kExtension || !it->is_regular_file(fileError)) continue;
    Kept k;
    k.stamp = stampOf(it->last_write_time(fileError));
    k.size = it->file_size(fileError);
    const auto old = byPath.find(path);
    if (old != byPath.end() && old->second.stamp == k.stamp && old->second.size == k.size) {
      m.files.push_back(std::move(old->second));
      continue;
    }
    k.entry = archiveEntryOf(path);
    k.outline = outlineText(k.entry.outline);
    k.entry.outline.clear();
    m.files.push_back(std::move(k));
  }
  std::sort(m.files.begin(), m.files.end(),
            [](const Kept& a, const Kept& b) { return newerFirst(a.entry, b.entry); });
  // A folder that may still change within its clock's resolution is listed again next time.
  const auto changed = fs::last_write_time(folder, error);
  if (error || fs::file_time_type::clock::now() - changed < kSettleTime) m.folderStamp = -1;
  m.loaded = true;
  m.dirty = true;
}

ArchivePage ArchiveStore::list(const ArchiveFilter& filter, std::size_t first, std::size_t count) {
  refreshMonths();
  ArchivePage page;
  std::size_t matched = 0;
  for (auto& [name, m] : months_) {
    // Months outside the dates asked for are not even opened.
    const std::string monthDays = name.substr(0, 4) + name.substr(5, 2);
    if (!filter.fromDay.empty() && monthDays < filter.fromDay.substr(0, 6)) continue;
    if (!filter.toDay.empty() && monthDays > filter.toDay.substr(0, 6)) continue;
    if (!m.loaded) loadMonth(name, m);
    for (const Kept& k : m.files) {
      if (!matches(k.entry, filter)) continue;
      if (matched++ < first) continue;
      if (page.entries.size() == count) {
        page.more = true;
        return page;
      }
      page.entries.push_back(k.entry);
      page.entries.back().outline = outlineOf(k.outline);
    }
  }
  return page;
}

void ArchiveStore::saveIndex() {
  std::error_code error;
  for (auto& [name, m] : months_) {
    if (!m.loaded || !m.dirty) continue;
    std::string text(kIndexMagic);
    text += '\n' + std::to_string(m.folderStamp) + '\n';
    for (const Kept& k : m.files) {
      const ArchiveEntry& e = k.entry;
      const std::string sizes = twoDecimals(e.a) + '\t' + twoDecimals(e.b);
      text += field(pathText(e.path.filename())) + '\t' + std::to_string(k.stamp) + '\t' +
              std::to_string(k.size) + '\t' + wallTimeText(e.time) + '\t' + field(e.job) + '\t' + sizes +
              '\t' + std::to_string(e.sends) + '\t' + (e.readable ? "1" : "0") + '\t' + field(e.reason) +
              '\t' + field(e.lastOutcome) + '\t' + k.outline + '\n';
    }
    fs::create_directories(root_ / kIndexFolder, error);
    if (replaceFileAtomically(indexFileOf(name), text).ok()) m.dirty = false;
  }
}

void ArchiveStore::forget() { months_.clear(); }

}  // namespace kovrel
