// What a step that can fail gives back: its value, or why not, in words
// that go into a message as they are. The one way the settings, files and
// measuring parts report a failure that has a value; a step with no value
// returns a Problem. (The library keeps SQLite's codes beside its words:
// sql::Result; the sound server's adapters keep the device's error codes.)
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace quorvel {

// Why a step with no value of its own failed; empty when it went well.
using Problem = std::string;

template <typename T>
class Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    static Expected Failure(std::string why) { return Expected(std::in_place_index<1>, std::move(why)); }

    explicit operator bool() const { return state_.index() == 0; }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    // Why it failed; empty when it did not.
    const std::string& Error() const
    {
        static const std::string none;
        return state_.index() == 1 ? std::get<1>(state_) : none;
    }

private:
    template <std::size_t I>
    Expected(std::in_place_index_t<I> tag, std::string why) : state_(tag, std::move(why)) {}
    std::variant<T, std::string> state_;
};

}  // namespace quorvel
