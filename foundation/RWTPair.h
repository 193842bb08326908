// A plain pair of two values.
#pragma once

template <class A, class B>
struct RWTPair {
    RWTPair() : first(), second() {}
    RWTPair(const A& a, const B& b) : first(a), second(b) {}

    // Equal when both members are equal.
    bool operator==(const RWTPair& other) const { return first == other.first && second == other.second; }
    bool operator!=(const RWTPair& other) const { return !(*this == other); }
    // First by first, then by second.
    bool operator<(const RWTPair& other) const
    {
        if (first < other.first)
            return true;
        if (other.first < first)
            return false;
        return second < other.second;
    }

    A first;
    B second;
};
