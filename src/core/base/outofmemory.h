#pragma once
// The one place where running out of memory is turned into an answer.
//
// A reader that runs out of memory throws std::bad_alloc from deep inside
// a library (a text image's line, a colour table, a decoder's buffers); the
// file is then "not an image", like any other that cannot be read, instead
// of the end of the program.

#include <new>
#include <utility>

namespace outofmemory {

// work(), or fallback() when work ran out of memory.
template <typename Work, typename Fallback> auto orElse(Work &&work, Fallback &&fallback) -> decltype(work())
{
    try {
        return std::forward<Work>(work)();
    } catch (const std::bad_alloc &) {
        return std::forward<Fallback>(fallback)();
    }
}

// work(), or a default-constructed result (a null image, an empty name)
// when work ran out of memory.
template <typename Work> auto orEmpty(Work &&work) -> decltype(work())
{
    using Result = decltype(work());
    return orElse(std::forward<Work>(work), [] { return Result(); });
}

} // namespace outofmemory
