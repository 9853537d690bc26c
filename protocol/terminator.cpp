#include "protocol/terminator.h"

TerminatorMatcher::State TerminatorMatcher::step(std::uint8_t b)
{
    switch (state_) {
    case State::Empty:
        state_ = b == ']' ? State::Bracket : State::Empty;
        break;
    case State::Bracket:
        state_ = b == '$' ? State::BracketDollar : State::Empty;
        break;
    case State::BracketDollar:
        state_ = b == '\r' ? State::Complete : State::Empty;
        break;
    case State::Complete:
        break;
    }
    return state_;
}
