#pragma once

#include <QCoro/QCoroTask>

#include <optional>
#include <utility>

namespace kestrune::test {

// Runs the event loop until `task` is done and returns its result; unlike QCoro::waitFor,
// the result type needs no default constructor.
template <typename T> T await(QCoro::Task<T> task)
{
    std::optional<T> result;
    auto run
        = [&result](QCoro::Task<T> awaited) -> QCoro::Task<> { result.emplace(co_await std::move(awaited)); };
    QCoro::waitFor(run(std::move(task)));
    return std::move(*result);
}

inline void await(QCoro::Task<> task)
{
    QCoro::waitFor(std::move(task));
}

} // namespace kestrune::test
