#pragma once

// The fuzz targets must be built with clang, and clang before 16 cannot compile
// libstdc++'s <expected> (it relies on conditionally trivial destructors), so
// the standard header hides std::expected. This stand-in supplies the same
// names with the parts of the interface the program uses. It is force-included
// into the fuzz build only (-include), and steps aside whenever the library's
// own std::expected is available.

#if __cplusplus > 202002L
#include <version>
#endif

#if __cplusplus > 202002L && !defined(__cpp_lib_expected)

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>
#include <variant>

namespace std {

template <class E>
class unexpected {
  public:
    template <class Err = E>
    requires(!is_same_v<remove_cvref_t<Err>, unexpected> &&
             !is_same_v<remove_cvref_t<Err>, in_place_t> &&
             is_constructible_v<E, Err>) constexpr explicit unexpected(Err&& error)
        : m_error(std::forward<Err>(error)) {}

    constexpr const E& error() const& noexcept { return m_error; }
    constexpr E& error() & noexcept { return m_error; }
    constexpr E&& error() && noexcept { return std::move(m_error); }

    template <class E2>
    friend constexpr bool operator==(const unexpected& a, const unexpected<E2>& b) {
        return a.error() == b.error();
    }

  private:
    E m_error;
};

template <class E>
unexpected(E) -> unexpected<E>;

struct unexpect_t {
    explicit unexpect_t() = default;
};
inline constexpr unexpect_t unexpect{};

template <class E>
class bad_expected_access : public exception {
  public:
    explicit bad_expected_access(E error) : m_error(std::move(error)) {}
    const char* what() const noexcept override { return "bad access to std::expected"; }
    const E& error() const& noexcept { return m_error; }

  private:
    E m_error;
};

template <class T>
inline constexpr bool is_unexpected_v = false;
template <class E>
inline constexpr bool is_unexpected_v<unexpected<E>> = true;

template <class T, class E>
class expected {
  public:
    using value_type = T;
    using error_type = E;
    using unexpected_type = unexpected<E>;

    constexpr expected() requires is_default_constructible_v<T> : m_store(in_place_index<0>) {}

    template <class U = T>
    requires(!is_same_v<remove_cvref_t<U>, expected> && !is_same_v<remove_cvref_t<U>, in_place_t> &&
             !is_same_v<remove_cvref_t<U>, unexpect_t> && !is_unexpected_v<remove_cvref_t<U>> &&
             is_constructible_v<T, U>) constexpr explicit(!is_convertible_v<U, T>)
        expected(U&& value)
        : m_store(in_place_index<0>, std::forward<U>(value)) {}

    template <class G>
    constexpr expected(const unexpected<G>& failure)
        : m_store(in_place_index<1>, failure.error()) {}
    template <class G>
    constexpr expected(unexpected<G>&& failure)
        : m_store(in_place_index<1>, std::move(failure).error()) {}

    template <class... Args>
    constexpr explicit expected(in_place_t, Args&&... args)
        : m_store(in_place_index<0>, std::forward<Args>(args)...) {}
    template <class... Args>
    constexpr explicit expected(unexpect_t, Args&&... args)
        : m_store(in_place_index<1>, std::forward<Args>(args)...) {}

    constexpr bool has_value() const noexcept { return m_store.index() == 0; }
    constexpr explicit operator bool() const noexcept { return has_value(); }

    constexpr T& operator*() & { return std::get<0>(m_store); }
    constexpr const T& operator*() const& { return std::get<0>(m_store); }
    constexpr T&& operator*() && { return std::get<0>(std::move(m_store)); }
    constexpr T* operator->() { return &std::get<0>(m_store); }
    constexpr const T* operator->() const { return &std::get<0>(m_store); }

    constexpr T& value() & {
        check();
        return **this;
    }
    constexpr const T& value() const& {
        check();
        return **this;
    }
    constexpr T&& value() && {
        check();
        return std::move(**this);
    }

    constexpr E& error() & { return std::get<1>(m_store); }
    constexpr const E& error() const& { return std::get<1>(m_store); }
    constexpr E&& error() && { return std::get<1>(std::move(m_store)); }

    template <class U>
    constexpr T value_or(U&& other) const& {
        return has_value() ? **this : static_cast<T>(std::forward<U>(other));
    }
    template <class U>
    constexpr T value_or(U&& other) && {
        return has_value() ? std::move(**this) : static_cast<T>(std::forward<U>(other));
    }

    template <class... Args>
    constexpr T& emplace(Args&&... args) {
        return m_store.template emplace<0>(std::forward<Args>(args)...);
    }

    template <class F>
    constexpr auto and_then(F&& f) const& {
        using R = remove_cvref_t<invoke_result_t<F, const T&>>;
        return has_value() ? std::invoke(std::forward<F>(f), **this) : R(unexpect, error());
    }
    template <class F>
    constexpr auto transform(F&& f) const& {
        using U = remove_cv_t<invoke_result_t<F, const T&>>;
        if (!has_value()) {
            return expected<U, E>(unexpect, error());
        }
        if constexpr (is_void_v<U>) {
            std::invoke(std::forward<F>(f), **this);
            return expected<U, E>();
        } else {
            return expected<U, E>(std::invoke(std::forward<F>(f), **this));
        }
    }
    template <class F>
    constexpr auto or_else(F&& f) const& {
        return has_value() ? *this : std::invoke(std::forward<F>(f), error());
    }

    template <class T2, class E2>
    friend constexpr bool operator==(const expected& a, const expected<T2, E2>& b) {
        if (a.has_value() != b.has_value()) {
            return false;
        }
        return a.has_value() ? *a == *b : a.error() == b.error();
    }
    template <class T2>
    requires(!is_unexpected_v<T2>) friend constexpr bool operator==(const expected& a,
                                                                    const T2& b) {
        return a.has_value() && *a == b;
    }
    template <class E2>
    friend constexpr bool operator==(const expected& a, const unexpected<E2>& b) {
        return !a.has_value() && a.error() == b.error();
    }

  private:
    constexpr void check() const {
        if (!has_value()) {
            throw bad_expected_access<E>(error());
        }
    }

    variant<T, E> m_store;
};

template <class E>
class expected<void, E> {
  public:
    using value_type = void;
    using error_type = E;
    using unexpected_type = unexpected<E>;

    constexpr expected() noexcept : m_store(in_place_index<0>) {}
    constexpr explicit expected(in_place_t) noexcept : m_store(in_place_index<0>) {}
    template <class G>
    constexpr expected(const unexpected<G>& failure)
        : m_store(in_place_index<1>, failure.error()) {}
    template <class G>
    constexpr expected(unexpected<G>&& failure)
        : m_store(in_place_index<1>, std::move(failure).error()) {}
    template <class... Args>
    constexpr explicit expected(unexpect_t, Args&&... args)
        : m_store(in_place_index<1>, std::forward<Args>(args)...) {}

    constexpr bool has_value() const noexcept { return m_store.index() == 0; }
    constexpr explicit operator bool() const noexcept { return has_value(); }
    constexpr void operator*() const noexcept {}
    constexpr void value() const {
        if (!has_value()) {
            throw bad_expected_access<E>(error());
        }
    }
    constexpr void emplace() noexcept { m_store.template emplace<0>(); }

    constexpr E& error() & { return std::get<1>(m_store); }
    constexpr const E& error() const& { return std::get<1>(m_store); }
    constexpr E&& error() && { return std::get<1>(std::move(m_store)); }

    template <class F>
    constexpr auto and_then(F&& f) const& {
        using R = remove_cvref_t<invoke_result_t<F>>;
        return has_value() ? std::invoke(std::forward<F>(f)) : R(unexpect, error());
    }

    template <class E2>
    friend constexpr bool operator==(const expected& a, const unexpected<E2>& b) {
        return !a.has_value() && a.error() == b.error();
    }

  private:
    variant<monostate, E> m_store;
};

}  // namespace std

#endif
