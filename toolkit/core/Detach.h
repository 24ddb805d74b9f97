// Takes a value out of its place for a while.
#pragma once
#include <utility>

// Takes a value out of its place (leaving it empty) and puts it back when it goes, on every
// path.
template <typename T>
class TDetach {
public:
    explicit TDetach(T& place) : place_(place), saved_(std::exchange(place, T{})) {}
    ~TDetach() { place_ = std::move(saved_); }
    TDetach(const TDetach&) = delete;
    TDetach& operator=(const TDetach&) = delete;

private:
    T& place_;
    T saved_;
};
