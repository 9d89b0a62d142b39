// The object that asks for a transfer: the client asks it whether to stop and tells it how
// far the transfer has come. An observer that never cancels and ignores progress is valid,
// and so is a null observer.
// Thread: the thread that runs the transfer calls both operations.
#pragma once

namespace tw {

class LTransferObserver {
  public:
    virtual ~LTransferObserver() = default;

    // Asked before every wait slice, so at least every 200 ms while the client waits. In the
    // program this also lets the progress dialog handle its events (its Cancel button).
    virtual bool IsCancelled() { return false; }

    // The fraction (0..1) of the body received so far.
    virtual void SetProgress(double /*fraction*/) {}
};

}  // namespace tw
