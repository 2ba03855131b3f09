// A value, or the reason there is none. The readers here report what is
// wrong with a file instead of stopping the test at the first bad byte.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace korvel::chm {

struct Failure {
    std::string why;
};

template <typename T>
class Outcome {
public:
    Outcome(T value) : m_Value(std::move(value)) {}
    Outcome(Failure failure) : m_Why(std::move(failure.why)) {}

    bool Ok() const { return m_Value.has_value(); }
    explicit operator bool() const { return Ok(); }
    const T& Value() const& { return *m_Value; }
    T& Value() & { return *m_Value; }
    T&& Value() && { return std::move(*m_Value); }
    const std::string& Why() const { return m_Why; }

private:
    std::optional<T> m_Value;
    std::string m_Why;
};

}  // namespace korvel::chm
