// Control ids of Corvane's about box.
#pragma once

namespace corvane::about_id {

inline constexpr int kOk = 1;

} // namespace corvane::about_id
