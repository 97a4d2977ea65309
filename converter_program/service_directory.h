// The office suite service's private directory: made with mode 0700 when
// missing (its parent must exist), and used only while it is a real
// directory (no symbolic link), owned by this user, that no one else may
// enter. Otherwise another user could plant a socket there or read the
// documents passing through.
#pragma once

#include <string>

namespace NServiceDirectory {

// False with a one-line reason when dir cannot be made or is not private.
bool prepare(const std::string& dir, std::string& reason);

}  // namespace NServiceDirectory
