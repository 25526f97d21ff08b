#pragma once
// Numbered user-visible texts. Engines report messages by number so the UI can
// show the same wording everywhere; the numbers are stable and also used as
// bases (zip/unzip texts are heading number + engine code).
#include <string_view>

namespace km {

// The text for `id`, or an empty view when the table has no such number.
// The view points at static storage and stays valid for the whole run.
std::string_view LoadString(int id);

bool HasString(int id);

} // namespace km
