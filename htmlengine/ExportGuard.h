#pragma once
// No exception may leave the DLL: an export runs its body under this guard and
// reports `onError` when anything (bad_alloc first of all) escapes it.

namespace he {

template <typename Result, typename Body> Result Guarded(Result onError, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return onError;
    }
}

}  // namespace he
