#include "host_session.h"

#include <algorithm>
#include <array>

#include "host/oma_framing.h"

namespace kovrel::tools {
namespace {

using oma::ACK;
using oma::CR;
using oma::FS;
using oma::GS;
using oma::LF;
using oma::NAK;
using oma::RS;

// More than the 50 records the program keeps of a host message.
constexpr int kTooManyRecords = 30;
// A slow host: late, yet inside the program's 5 s and 9 s limits counted in whole seconds.
constexpr std::chrono::seconds kSlowAck{4};
constexpr std::chrono::seconds kSlowMessage{8};

struct NamedMisbehaviour {
  std::string_view name;
  Misbehaviour value;
};
constexpr std::array<NamedMisbehaviour, 8> kNames{{
    {"none", Misbehaviour::None},
    {"nak", Misbehaviour::Nak},
    {"silence", Misbehaviour::Silence},
    {"no-gs", Misbehaviour::NoGs},
    {"many-records", Misbehaviour::ManyRecords},
    {"garbage", Misbehaviour::Garbage},
    {"slow", Misbehaviour::Slow},
    {"close-mid", Misbehaviour::CloseMid},
}};

void append(HostSession::Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

// The labels a lab host typically sends back to a tracer's request, then numbered fillers.
std::string recordText(int index, const std::string& job) {
  switch (index) {
    case 0:
      return "REQ=TRC";
    case 1:
      return "JOB=\"" + job + "\"";
    case 2:
      return "STATUS=0";
    case 3:
      return "DO=B";
    case 4:
      return "TRCFMT=3;800;E;R;D";
    default:
      return "LBL" + std::to_string(index) + "=" + std::to_string(index);
  }
}

// Line noise with a stray GS and a stray FS: the program must drop all of it while it waits for
// the acknowledgement. ACK and NAK are left out, they would be taken as the host's verdict.
const HostSession::Bytes kNoise = {0x00, 0x01, 'x', GS, 0xFF, FS, 'z', 0x7F};

}  // namespace

std::optional<Misbehaviour> misbehaviourFromName(std::string_view name) {
  for (const auto& n : kNames)
    if (n.name == name) return n.value;
  return std::nullopt;
}

std::string_view misbehaviourName(Misbehaviour m) {
  for (const auto& n : kNames)
    if (n.value == m) return n.name;
  return "none";
}

bool expectsAnswer(Misbehaviour m) {
  return m == Misbehaviour::None || m == Misbehaviour::Garbage || m == Misbehaviour::Slow;
}

HostSession::HostSession(HostConfig config) : config_(config) {}

void HostSession::reset() {
  phase_ = Phase::WaitingRequest;
  outcome_ = Outcome::Pending;
  request_.clear();
  answer_.clear();
  outbox_.clear();
  answerDeadline_.reset();
  closeAt_.reset();
  closeRequested_ = false;
  requestJob_.clear();
  answerJob_.clear();
  radii_.clear();
  problem_.clear();
}

HostSession::Bytes HostSession::message(const std::string& job, int records, Misbehaviour m) {
  if (m == Misbehaviour::ManyRecords) records = std::max(records, kTooManyRecords);
  Bytes out;
  out.push_back(FS);
  for (int i = 0; i < records; ++i) {
    append(out, recordText(i, job));
    if (m == Misbehaviour::Garbage && i == 0) {
      // Bytes a record may carry: kept by the program, never interpreted.
      out.insert(out.end(), {0x01, 0x7F, 0x80, 0xFE, oma::ESC});
    }
    out.push_back(CR);
    out.push_back(LF);
  }
  out.push_back(RS);
  if (m != Misbehaviour::NoGs) out.push_back(GS);
  return out;
}

bool HostSession::parseRequest(const Bytes& request, std::string& job, std::string& why) {
  // FS, then records ended by CR LF, then RS GS; the records in this order.
  if (request.empty() || request.front() != FS) {
    why = "request does not start with FS";
    return false;
  }
  if (request.size() < 3 || request[request.size() - 2] != RS || request.back() != GS) {
    why = "request does not end with RS GS";
    return false;
  }
  // The records between FS and RS GS, each ended by CR LF.
  std::vector<std::string> records;
  std::string current;
  const std::size_t bodyEnd = request.size() - 2;
  for (std::size_t i = 1; i < bodyEnd; ++i) {
    const std::uint8_t b = request[i];
    if (b != CR) {
      current.push_back(static_cast<char>(b));
      continue;
    }
    if (i + 1 >= bodyEnd || request[i + 1] != LF) {
      why = "CR without LF in the request";
      return false;
    }
    records.push_back(current);
    current.clear();
    ++i;
  }
  if (!current.empty()) {
    why = "last request record not ended by CR LF";
    return false;
  }
  const std::array<std::string_view, 4> labels = {"REQ=TRC", "JOB=", "MODEL=Kovrel", "TRCFMT=3;800;E;R;D"};
  if (records.size() != labels.size()) {
    why = "request has " + std::to_string(records.size()) + " records, expected 4";
    return false;
  }
  if (records[0] != labels[0] || records[2] != labels[2] || records[3] != labels[3]) {
    why = "request records differ from REQ=TRC / MODEL=Kovrel / TRCFMT=3;800;E;R;D";
    return false;
  }
  const std::string& jobRecord = records[1];
  if (jobRecord.size() < 6 || jobRecord.rfind("JOB=\"", 0) != 0 || jobRecord.back() != '"') {
    why = "JOB record is not JOB=\"...\"";
    return false;
  }
  job = jobRecord.substr(5, jobRecord.size() - 6);
  return true;
}

void HostSession::received(std::span<const std::uint8_t> bytes, Nanoseconds now) {
  for (std::uint8_t b : bytes) {
    switch (phase_) {
      case Phase::WaitingRequest:
        // Anything before the FS that opens a request is not addressed to the host.
        if (request_.empty() && b != FS) break;
        request_.push_back(b);
        if (b == GS) onRequest(now);
        break;
      case Phase::Replying:
      case Phase::WaitingAnswer:
        answer_.push_back(b);
        break;
      case Phase::Finished:
        break;
    }
  }
  if (phase_ == Phase::WaitingAnswer) tryAnswer();
}

void HostSession::onRequest(Nanoseconds now) {
  std::string why;
  if (!parseRequest(request_, requestJob_, why)) {
    problem_ = why;
    outbox_.push_back({now, {NAK}});
    phase_ = Phase::Replying;
    return;
  }
  scheduleReply(now);
}

void HostSession::scheduleReply(Nanoseconds now) {
  const Misbehaviour m = config_.misbehaviour;
  const Bytes msg = message(requestJob_, config_.records, m);
  phase_ = Phase::Replying;
  switch (m) {
    case Misbehaviour::Nak:
      outbox_.push_back({now, {NAK}});
      break;
    case Misbehaviour::Silence:
      phase_ = Phase::WaitingAnswer;
      answerDeadline_ = now + config_.answerTimeout;
      break;
    case Misbehaviour::Garbage: {
      Bytes first = kNoise;
      first.push_back(ACK);
      outbox_.push_back({now, first});
      outbox_.push_back({now, msg});
      break;
    }
    case Misbehaviour::Slow: {
      const Nanoseconds ack = now + kSlowAck;
      outbox_.push_back({ack, {ACK}});
      // Byte by byte, the last one (GS) exactly kSlowMessage after the ACK.
      const auto n = static_cast<std::int64_t>(msg.size());
      for (std::int64_t i = 0; i < n; ++i) {
        const Nanoseconds at = ack + std::chrono::duration_cast<Nanoseconds>(kSlowMessage) * (i + 1) / n;
        outbox_.push_back({at, {msg[static_cast<std::size_t>(i)]}});
      }
      break;
    }
    case Misbehaviour::CloseMid: {
      outbox_.push_back({now, {ACK}});
      const auto half = static_cast<std::ptrdiff_t>(msg.size() / 2);
      outbox_.push_back({now, Bytes(msg.begin(), msg.begin() + half)});
      closeAt_ = now;
      break;
    }
    case Misbehaviour::None:
    case Misbehaviour::NoGs:
    case Misbehaviour::ManyRecords:
      outbox_.push_back({now, {ACK}});
      outbox_.push_back({now, msg});
      break;
  }
}

HostSession::Bytes HostSession::due(Nanoseconds now) {
  Bytes out;
  while (!outbox_.empty() && outbox_.front().at <= now) {
    out.insert(out.end(), outbox_.front().bytes.begin(), outbox_.front().bytes.end());
    outbox_.erase(outbox_.begin());
  }
  if (phase_ == Phase::Replying && outbox_.empty()) {
    if (!problem_.empty()) {
      finish(Outcome::BadRequest);
    } else if (closeAt_) {
      closeRequested_ = true;
      finish(Outcome::ClosedMidway);
    } else {
      phase_ = Phase::WaitingAnswer;
      answerDeadline_ = now + config_.answerTimeout;
      tryAnswer();
    }
  }
  if (phase_ == Phase::WaitingAnswer && answerDeadline_ && now >= *answerDeadline_) {
    if (answer_.empty()) {
      finish(Outcome::NoAnswer);
    } else {
      if (problem_.empty()) problem_ = "answer incomplete: " + std::to_string(answer_.size()) + " bytes";
      finish(Outcome::BadAnswer);
    }
  }
  return out;
}

void HostSession::tryAnswer() {
  // The answer ends with RS GS ACK. Those three can only meet at its end: inside the R= record
  // ACK is always escaped, and the two raw bytes of the first radius are followed by a code.
  const std::size_t n = answer_.size();
  if (n < 3 || answer_[n - 3] != RS || answer_[n - 2] != GS || answer_[n - 1] != ACK) return;
  std::string why;
  std::vector<int> radii;
  if (!oma::decodeAnswerRadii(answer_, radii, &why)) {
    problem_ = why;  // keep listening: the time-out turns this into a bad answer
    return;
  }
  problem_.clear();
  radii_ = std::move(radii);
  // The job label the program put in its answer (the label, not the number it requested).
  const std::string text(answer_.begin(), answer_.end());
  const auto at = text.find("JOB=\"");
  if (at != std::string::npos) {
    const auto end = text.find('"', at + 5);
    if (end != std::string::npos) answerJob_ = text.substr(at + 5, end - at - 5);
  }
  finish(Outcome::GoodAnswer);
}

void HostSession::finish(Outcome o) {
  outcome_ = o;
  phase_ = Phase::Finished;
  outbox_.clear();
  answerDeadline_.reset();
}

std::optional<HostSession::Nanoseconds> HostSession::nextDeadline() const {
  if (!outbox_.empty()) return outbox_.front().at;
  return answerDeadline_;
}

bool HostSession::outcomeAsExpected() const {
  const Misbehaviour m = config_.misbehaviour;
  switch (outcome_) {
    case Outcome::GoodAnswer:
      return expectsAnswer(m);
    case Outcome::NoAnswer:
      return !expectsAnswer(m);
    case Outcome::ClosedMidway:
      return m == Misbehaviour::CloseMid;
    case Outcome::Pending:
    case Outcome::BadAnswer:
    case Outcome::BadRequest:
      return false;
  }
  return false;
}

}  // namespace kovrel::tools
