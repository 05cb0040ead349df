#pragma once

// One more of a count for as long as it lives, on every way out, an exception's included:
// how many requests, boxes or ticks are under way while the message loop runs nested.
class CountedScope {
public:
    explicit CountedScope(int& count) : count_(count) { ++count_; }
    CountedScope(const CountedScope&) = delete;
    CountedScope& operator=(const CountedScope&) = delete;
    ~CountedScope() { --count_; }

private:
    int& count_;
};
