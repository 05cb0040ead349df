#pragma once
// One process-wide "shut down now" flag that blocking waits can watch: its file descriptor
// turns readable once triggered, so every poll() in the server can include it and no thread
// sleeps past a SIGTERM.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Trigger();
    bool Triggered() const;
    int Fd() const { return readEnd_; }
    // Waits ms milliseconds; false when the stop came first.
    bool SleepFor(int ms) const;

private:
    int readEnd_ = -1;
    int writeEnd_ = -1;
};
