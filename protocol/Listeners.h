// Calls every listener of a list of (id, function) pairs with `arg`. A
// listener may remove itself or others while it runs: each is looked up by
// its id just before its call, and one removed meanwhile is skipped.
#pragma once

#include <utility>
#include <vector>

namespace corvane {

template <typename Fn, typename Arg>
void callListeners(const std::vector<std::pair<int, Fn>>& listeners, const Arg& arg)
{
    std::vector<int> ids;
    for (const auto& l : listeners)
        ids.push_back(l.first);
    for (int id : ids)
        for (const auto& l : listeners)
            if (l.first == id) {
                const Fn fn = l.second;
                fn(arg);
                break;
            }
}

} // namespace corvane
