#pragma once
// The author's contact address: INF header, disclaimer and mail link.

namespace vormlan {

inline constexpr char kContactAddress[] = "vormlan@ulvmarsk.dk";

}  // namespace vormlan
