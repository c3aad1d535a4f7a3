#pragma once

#include <memory>
#include <new>
#include <utility>

// std::make_unique without the exception, which the engine does not use:
// null when memory runs out, for the caller to report.
template <class T, class... Arguments>
std::unique_ptr<T> makeOwned(Arguments&&... arguments) {
    return std::unique_ptr<T>(new (std::nothrow) T(std::forward<Arguments>(arguments)...));
}
