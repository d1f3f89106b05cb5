#include "links/folder_link.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "archive/archive_store.h"
#include "files/atomic_write.h"
#include "geometry/shape_sizes.h"
#include "host/oma_framing.h"

namespace kovrel {
namespace {

std::string shown(const std::filesystem::path& folder) {
  const std::u8string text = folder.u8string();
  return {text.begin(), text.end()};
}

std::string missingText(const std::filesystem::path& folder) {
  return "Carpeta no disponible: " + shown(folder) + " >conectar la unidad o elegir otra carpeta";
}

std::string writeText(const std::filesystem::path& folder, WriteProblem problem) {
  if (problem == WriteProblem::DiskFull)
    return "Carpeta llena: " + shown(folder) + " >liberar espacio y enviar de nuevo";
  return "Carpeta sin permiso de escritura: " + shown(folder) + " >dar permiso o elegir otra carpeta";
}

// The job number of the request, kept to characters every file system takes in a name.
std::string requestJob(const std::vector<std::uint8_t>& request) {
  const std::string text(request.begin(), request.end());
  const std::string key = "JOB=\"";
  const std::size_t start = text.find(key);
  if (start == std::string::npos) return {};
  const std::size_t end = text.find('"', start + key.size());
  if (end == std::string::npos || end - start > 64) return {};
  std::string job = text.substr(start + key.size(), end - start - key.size());
  std::replace_if(
      job.begin(), job.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '-'; },
      '_');
  return job;
}

}  // namespace

std::string vcaTraceText(const std::string& job, const std::vector<int>& radii, const WallTime& time) {
  KeptRead shape;
  shape.job = job;
  shape.time = time;
  shape.radii = radii;
  shape.sizes = measureShape(std::vector<double>(radii.begin(), radii.end()));
  return writeKeptRead(shape);
}

std::optional<std::string> folderProblem(const std::filesystem::path& folder) {
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) return missingText(folder);
  const std::filesystem::path probe = folder / ".kovrel-prueba.tmp";
  const WriteOutcome outcome = replaceFileAtomically(probe, "kovrel");
  std::filesystem::remove(probe, error);
  if (!outcome.ok()) return writeText(folder, outcome.problem);
  return std::nullopt;
}

FolderLink::FolderLink(std::filesystem::path folder, TraceFileText text)
    : folder_(std::move(folder)), text_(std::move(text)) {
  if (!text_)
    text_ = [](const std::string& job, const std::vector<int>& radii) {
      return vcaTraceText(job, radii, systemWallTime());
    };
}

void FolderLink::open() {
  std::error_code error;
  if (!std::filesystem::is_directory(folder_, error))
    throw HostLinkError("folder missing", missingText(folder_));
}

void FolderLink::prepare() { input_.clear(), job_.clear(); }

void FolderLink::write(const std::vector<std::uint8_t>& bytes) {
  if (!bytes.empty() && bytes.front() == oma::FS) {
    // The request: the folder is the host, it asks for nothing more than the trace.
    job_ = requestJob(bytes);
    input_ = {oma::ACK, oma::GS};
    return;
  }
  std::vector<int> radii;
  if (job_.empty() || !oma::decodeAnswerRadii(bytes, radii)) throw HostLinkError("answer not decodable");
  const std::filesystem::path file = folder_ / (job_ + ".vca");
  // The host reads it, often through a share under another account.
  const WriteOutcome outcome = replaceFileAtomically(file, text_(job_, radii), NewFileAccess::Readable);
  if (!outcome.ok()) {
    std::error_code error;
    const bool gone = !std::filesystem::is_directory(folder_, error);
    throw HostLinkError("trace file not written",
                        gone ? missingText(folder_) : writeText(folder_, outcome.problem));
  }
  lastFile_ = file;
}

std::vector<std::uint8_t> FolderLink::read(int n) {
  const auto count = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), input_.size());
  std::vector<std::uint8_t> out(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
  return out;
}

}  // namespace kovrel
