#pragma once
// Bytes of the OMA/VCA trace exchange with the lab's host: the trace request this program
// writes, and the answer with one absolute radius and 799 escaped one-byte differences.

#include <cstdint>
#include <string>
#include <vector>

namespace kovrel::oma {

inline constexpr std::uint8_t ACK = 6, LF = 10, CR = 13, NAK = 21, ESC = 27, FS = 28, GS = 29, RS = 30;
inline constexpr std::uint8_t QUOTE = 34;

using Bytes = std::vector<std::uint8_t>;

// FS "REQ=TRC" CR LF "JOB="<quote>job<quote> CR LF "MODEL=Kovrel" CR LF "TRCFMT=3;800;E;R;D" CR LF RS GS
Bytes requestBytes(const std::string& jobNumberText);

// True for the codes the host's framing would misread; they go as ESC, code + 128.
bool needsEscape(std::uint8_t code);

// The two bytes of the first radius, low byte first: x rounded to the nearest with ties to
// even, then high = Int(x / 256), low = x - 256*high. Returns false when the rounded radius is
// outside 0..65535 (no two-byte form).
bool firstRadiusBytes(double hundredths, std::uint8_t& low, std::uint8_t& high);

// ACK FS "ANS=1" CR LF "JOB="<quote>label<quote> CR LF "TRCFMT=3;800;E;R;D" CR LF "R=" r0 r1
// codes... CR LF RS GS ACK. `codes` are the 799 difference codes 0..255. Throws
// std::range_error when the first radius cannot be written.
Bytes answerBytes(const std::string& jobLabelText, double firstRadius, const std::vector<int>& codes);

// Host side: the 800 radii (hundredths of mm) an answer's R= record decodes to; used by the
// host simulator and the tests. Returns false when the framing is wrong.
bool decodeAnswerRadii(const Bytes& answer, std::vector<int>& radii, std::string* error = nullptr);

}  // namespace kovrel::oma
