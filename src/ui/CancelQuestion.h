#pragma once
// A run's cancel question is a modal loop: the end of the run it is about
// can arrive while it is open. That end is held, and handled once the
// question has its answer. The wake run and the tool run share this.
#include <functional>

template <class Result>
class CancelQuestion {
public:
    bool IsOpen() const { return open_; }

    // Asks through `ask` (true for Yes); an end held from an earlier
    // question is forgotten.
    bool Ask(const std::function<bool()>& ask) {
        held_ = false;
        open_ = true;
        const bool yes = ask();
        open_ = false;
        return yes;
    }

    // The run's end arrived: held, and true, while the question is open.
    bool HoldEnd(Result result) {
        if (!open_) return false;
        held_ = true;
        result_ = result;
        return true;
    }

    // After Ask: whether an end arrived while the question was open.
    bool EndHeld() const { return held_; }
    // Hands that end over once; false when there is none.
    bool TakeHeldEnd(Result* result) {
        if (!held_) return false;
        held_ = false;
        *result = result_;
        return true;
    }

private:
    bool open_ = false;
    bool held_ = false;
    Result result_{};
};
