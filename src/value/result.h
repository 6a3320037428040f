// Fallible operations return Expected<T, E>: the value or one error.
#pragma once

#include <tl/expected.hpp>

namespace tersolite {

template <class T, class E>
using Expected = tl::expected<T, E>;

template <class E>
auto unexpected(E&& error) {
  return tl::make_unexpected(std::forward<E>(error));
}

}  // namespace tersolite
