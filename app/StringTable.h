// The string table: every user-facing text of the program, looked up by its
// numeric id. Constant data; any thread.
#pragma once

namespace app {

// The text of `id`, or an empty text for an unknown id.
const wchar_t* LoadStringText(int id);

}  // namespace app
