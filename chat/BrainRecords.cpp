#include "BrainRecords.h"

#include <fstream>
#include <string>

namespace {

// Walks the lines one by one, carrying the state of the record being read across pieces.
class RecordCounter {
 public:
  void Feed(std::string_view piece) {
    for (const char c : piece) {
      if (c == '\n') {
        EndLine(true);
      } else {
        line_ += c;
      }
    }
    result_.fileBytes += piece.size();
  }

  BrainRecords Finish() {
    if (!line_.empty()) EndLine(false);
    return result_;
  }

 private:
  // A line's length without its line end, and whether that end was CR LF.
  void EndLine(bool ended) {
    bool crlf = false;
    if (ended) {
      ++result_.lineEnds;
      if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
        crlf = true;
      }
    }
    const std::uint64_t lf = line_.size() + (ended ? 1 : 0);
    const std::uint64_t full = line_.size() + (crlf ? 2 : (ended ? 1 : 0));
    const bool star = line_ == "*";
    const bool item = !star && line_.find(',') == std::string::npos;
    switch (state_) {
      case State::Between:
        if (star) {
          state_ = State::Question;
          pendingLf_ = lf;
          pendingFull_ = full;
        } else if (line_.empty()) {
          // The empty line written before each record belongs to the brain's layout.
          result_.wholeBytesLf += lf;
          result_.wholeBytesCrLf += full;
        }
        break;
      case State::Question:
        if (item && !line_.empty()) {
          state_ = State::Answer;
          pendingLf_ += lf;
          pendingFull_ += full;
        } else {
          Restart(star, lf, full);
        }
        break;
      case State::Answer:
        if (item && ended) {
          ++result_.records;
          result_.wholeBytesLf += pendingLf_ + lf;
          result_.wholeBytesCrLf += pendingFull_ + full;
          state_ = State::Between;
        } else {
          Restart(star, lf, full);
        }
        break;
    }
    line_.clear();
  }

  // A broken record; a "*" that broke it opens the next one.
  void Restart(bool star, std::uint64_t lf, std::uint64_t full) {
    state_ = star ? State::Question : State::Between;
    pendingLf_ = lf;
    pendingFull_ = full;
  }

  enum class State { Between, Question, Answer };
  State state_ = State::Between;
  std::string line_;
  std::uint64_t pendingLf_ = 0;
  std::uint64_t pendingFull_ = 0;
  BrainRecords result_;
};

constexpr std::size_t kPieceBytes = 1u << 16;

}  // namespace

BrainRecords CountBrainRecordsIn(std::string_view text) {
  RecordCounter counter;
  counter.Feed(text);
  return counter.Finish();
}

BrainRecords CountBrainRecords(const std::filesystem::path& brainFile) {
  RecordCounter counter;
  std::ifstream in(brainFile, std::ios::binary);
  if (!in) return {};
  std::string piece(kPieceBytes, '\0');
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    counter.Feed(std::string_view(piece.data(), static_cast<std::size_t>(in.gcount())));
  }
  return counter.Finish();
}
