// Small helpers the protocol tests share.
#pragma once

#include "pavix/protocol/IfMessage.h"

#include <string_view>

namespace pavix::test {

inline Bytes B(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace pavix::test
