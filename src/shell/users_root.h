#pragma once
// The folder that holds every user's profile ("C:\Users" on a standard installation). Windows
// keeps each user's virtualised copy of the program folder inside that user's profile, under
// AppData\Local\VirtualStore\Program Files\Kovrel; the clean-up walks the profiles from here.

#include <filesystem>

namespace kovrel {

// Asked of the system, so a machine whose profiles live on another drive or under another name
// is cleaned too; when the system cannot say, the Users folder on the Windows folder's drive.
// Empty only when neither can be found.
std::filesystem::path usersRoot();

}  // namespace kovrel
