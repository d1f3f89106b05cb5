#pragma once
// The lab's host program on its side of one OMA trace exchange, as a state machine fed with the
// bytes the tracer program writes and the time, and asked what to write back. It waits for the
// trace request (FS ... RS GS), checks it, acknowledges, sends its own message ended by GS and
// then reads the answer: ACK FS records, the R= record with one absolute radius and 799 escaped
// differences, CR LF RS GS ACK.
//
// It can misbehave on purpose, the ways real hosts and cables do, so that the program's
// time-outs and error messages can be watched on a real line.

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel::tools {

enum class Misbehaviour {
  None,
  Nak,          // NAK instead of ACK: the program reports a time-out at once
  Silence,      // never answers the request: the program gives up after 5 s
  NoGs,         // ACK and records but no closing GS: the program gives up 9 s after the ACK
  ManyRecords,  // a message of more than 50 records: more than the program keeps
  Garbage,      // line noise (a stray GS among it) before the ACK and inside a record
  Slow,         // ACK after 4 s, message spread over 8 s: late but inside both limits
  CloseMid,     // closes the port halfway through its message
};

// "nak", "silence", ... ; nullopt for an unknown name.
std::optional<Misbehaviour> misbehaviourFromName(std::string_view name);
std::string_view misbehaviourName(Misbehaviour m);
// True when the program should still deliver a good answer to a host behaving this way.
bool expectsAnswer(Misbehaviour m);

struct HostConfig {
  Misbehaviour misbehaviour = Misbehaviour::None;
  int records = 3;  // message records sent after the ACK
  // How long to wait for the answer after the host's message (or after its NAK or silence).
  std::chrono::milliseconds answerTimeout{20'000};
};

class HostSession {
 public:
  using Nanoseconds = std::chrono::nanoseconds;
  using Bytes = std::vector<std::uint8_t>;

  enum class Phase { WaitingRequest, Replying, WaitingAnswer, Finished };
  enum class Outcome {
    Pending,
    GoodAnswer,    // a well-framed answer with 800 radii
    BadAnswer,     // bytes came back but their framing is wrong
    NoAnswer,      // nothing came back before the time-out
    BadRequest,    // the request was not the trace request; the host refused it with NAK
    ClosedMidway,  // the host closed the line on purpose (close-mid)
  };

  explicit HostSession(HostConfig config);

  // Bytes the program wrote, received at `now`.
  void received(std::span<const std::uint8_t> bytes, Nanoseconds now);
  // Moves time on: returns the bytes due to be written by `now` and settles time-outs.
  Bytes due(Nanoseconds now);
  // The host must close its line now (close-mid, once its first half is out).
  bool closeRequested() const { return closeRequested_; }
  // When something is next scheduled (a reply byte or a time-out), to arm a timer.
  std::optional<Nanoseconds> nextDeadline() const;

  Phase phase() const { return phase_; }
  Outcome outcome() const { return outcome_; }
  // The outcome is what a host behaving this way should see from a sound program.
  bool outcomeAsExpected() const;
  // Starts over for another exchange (the host keeps the line and waits again).
  void reset();

  const std::string& requestJob() const { return requestJob_; }
  const std::string& answerJob() const { return answerJob_; }
  const std::vector<int>& radii() const { return radii_; }
  const Bytes& answerBytes() const { return answer_; }
  // What went wrong (bad request, bad framing), for the operator running the simulator.
  const std::string& problem() const { return problem_; }

  // The host's message as this host sends it: FS, then records each ended by CR LF, then RS GS
  // (no closing GS for NoGs). `job` goes back in the second record.
  static Bytes message(const std::string& job, int records, Misbehaviour m);
  // Checks a complete request and takes its job text; false (and `why`) when it is not one.
  static bool parseRequest(const Bytes& request, std::string& job, std::string& why);

 private:
  struct Scheduled {
    Nanoseconds at;
    Bytes bytes;
  };
  void onRequest(Nanoseconds now);
  void scheduleReply(Nanoseconds now);
  void tryAnswer();
  void finish(Outcome o);

  HostConfig config_;
  Phase phase_ = Phase::WaitingRequest;
  Outcome outcome_ = Outcome::Pending;
  Bytes request_;
  Bytes answer_;
  std::vector<Scheduled> outbox_;
  std::optional<Nanoseconds> answerDeadline_;
  std::optional<Nanoseconds> closeAt_;
  bool closeRequested_ = false;
  std::string requestJob_;
  std::string answerJob_;
  std::vector<int> radii_;
  std::string problem_;
};

}  // namespace kovrel::tools
