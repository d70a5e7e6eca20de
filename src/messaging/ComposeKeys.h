#pragma once
// Enter and Esc as the compose and name fields hand them to their handlers: the character codes
// the key-press handlers of the original fields received.

namespace pelmora {

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

}  // namespace pelmora
