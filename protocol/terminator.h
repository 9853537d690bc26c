#pragma once

#include <cstdint>

// Recognises the end of a reply: the bytes "]", "$" and carriage return in a row.
// A second "]" after "]" starts over, so "]]$" + CR and "]$]$" + CR do not complete a reply.
class TerminatorMatcher
{
public:
    enum class State { Empty, Bracket, BracketDollar, Complete };

    void reset() { state_ = State::Empty; }
    // Steps with one received byte; the complete state stays until reset().
    State step(std::uint8_t b);
    State state() const { return state_; }
    bool complete() const { return state_ == State::Complete; }

private:
    State state_ = State::Empty;
};
