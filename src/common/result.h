#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace velgrin {

// An error with a machine-readable code and a message for people; carried by Result.
template <typename Code>
struct Error {
    Code code;
    std::string message;
};

// A value or the reason there is none. A small stand-in for std::expected (C++23).
template <typename T, typename E>
class [[nodiscard]] Result {
  public:
    Result(T value) : data_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : data_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return data_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() {
        assert(ok());
        return std::get<0>(data_);
    }
    const T& value() const {
        assert(ok());
        return std::get<0>(data_);
    }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const E& error() const {
        assert(!ok());
        return std::get<1>(data_);
    }

  private:
    std::variant<T, E> data_;
};

// Result of an operation that yields nothing but may fail.
template <typename E>
class [[nodiscard]] Result<void, E> {
  public:
    Result() = default;
    Result(E error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const E& error() const {
        assert(failed_);
        return error_;
    }

  private:
    E error_{};
    bool failed_ = false;
};

}  // namespace velgrin
