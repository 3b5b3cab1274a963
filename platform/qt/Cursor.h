// The two cursors the program switches between around long operations: the arrow with an
// hourglass while a query runs, the plain arrow afterwards. Showing either twice in a row
// is harmless, as with the cursors they stand for.
#pragma once

namespace platform {

void ShowAppStartingCursor();
void ShowArrowCursor();

}  // namespace platform
