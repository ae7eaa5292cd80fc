#pragma once
// The rule every error context of both programs follows: of several error reports in a row, only every
// other one brings a dialog. The context's flag lives with its owner (the program-wide values, a
// window) and is shared by whoever reports into that context; this only reads and turns it.

class EveryOtherError {
 public:
  // `shownLast` must outlive this object.
  explicit EveryOtherError(bool& shownLast) : shownLast_(shownLast) {}

  // An error came: whether its dialog is due. Turns the flag either way.
  bool DialogDue() {
    shownLast_ = !shownLast_;
    return shownLast_;
  }
  // Whether the last error brought its dialog (false before any).
  bool LastShown() const { return shownLast_; }
  // A dialog shown outside the turn (a failure the user must learn of, whose own report fell on the
  // silent turn) counts as the last one shown.
  void MarkShown() { shownLast_ = true; }

 private:
  bool& shownLast_;
};
