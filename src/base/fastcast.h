#pragma once

#include <cstddef>
#include <cstdint>
#include <typeinfo>
#include <unordered_map>

namespace tw {

// dynamic_cast for paths run for every object of every band: whether and where a cast
// lands depends only on the object's dynamic type, so the answer is kept per type after
// the first cast of that type. Same result as dynamic_cast for pointers.
template <class ToPtr, class From>
ToPtr fastCast(From *p)
{
    if (!p)
        return nullptr;
    constexpr std::ptrdiff_t kNone = PTRDIFF_MIN;
    thread_local std::unordered_map<const std::type_info *, std::ptrdiff_t> offsets;
    const std::type_info *type = &typeid(*p);
    auto it = offsets.find(type);
    if (it == offsets.end()) {
        ToPtr to = dynamic_cast<ToPtr>(p);
        const std::ptrdiff_t offset =
            to ? reinterpret_cast<const char *>(to) - reinterpret_cast<const char *>(p) : kNone;
        it = offsets.emplace(type, offset).first;
    }
    if (it->second == kNone)
        return nullptr;
    return reinterpret_cast<ToPtr>(const_cast<char *>(reinterpret_cast<const char *>(p)) + it->second);
}

} // namespace tw
